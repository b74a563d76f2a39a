// SPDX-License-Identifier: MIT
#include "ui/SymbolCatalogue.h"

#include <QFontDatabase>
#include <QResource>

#include <algorithm>
#include <array>
#include <ranges>

namespace lexwick {

namespace {

struct Entry {
    std::u16string_view name;
    char32_t codePoint;
};

// Sorted by name for the binary search. The Material glyph named after each code point is
// the closest look to the symbol; where the symbol is an outline, the outlined glyph.
constexpr std::array entries = std::to_array<Entry>({
    {u"arrow.counterclockwise", 0xe042},        // replay
    {u"arrow.right", 0xe5c8},                   // arrow_forward
    {u"arrow.triangle.2.circlepath", 0xe627},   // sync
    {u"arrow.up.right.square", 0xe89e},         // open_in_new
    {u"arrow.uturn.backward", 0xe166},          // undo
    {u"book", 0xea19},                          // menu_book
    {u"briefcase", 0xe8f9},                     // work
    {u"building.2", 0xea40},                    // apartment
    {u"checkmark", 0xe5ca},                     // check
    {u"checkmark.circle", 0xe92d},              // check_circle_outline
    {u"checkmark.circle.fill", 0xe86c},         // check_circle
    {u"chevron.left", 0xe5cb},                  // chevron_left
    {u"chevron.right", 0xe5cc},                 // chevron_right
    {u"clock.arrow.circlepath", 0xe889},        // history
    {u"clock.badge.questionmark", 0xf17d},      // history_toggle_off
    {u"cloud", 0xe2bd},                         // cloud
    {u"cpu", 0xe322},                           // memory
    {u"cube", 0xe9fe},                          // view_in_ar
    {u"doc.on.doc", 0xe14d},                    // content_copy
    {u"exclamationmark.shield.fill", 0xf014},   // gpp_maybe
    {u"exclamationmark.triangle", 0xf083},      // warning_amber
    {u"exclamationmark.triangle.fill", 0xe002}, // warning
    {u"eye.fill", 0xe8f4},                      // visibility
    {u"eye.slash.fill", 0xe8f5},                // visibility_off
    {u"face.smiling", 0xe7f2},                  // mood
    {u"gearshape.fill", 0xe8b8},                // settings
    {u"hand.wave", 0xe766},                     // waving_hand
    {u"heart", 0xe87e},                         // favorite_border
    {u"info.circle", 0xe88f},                   // info_outline
    {u"info.circle.fill", 0xe88e},              // info
    {u"key", 0xe73c},                           // key
    {u"keyboard", 0xe312},                      // keyboard
    {u"magnifyingglass", 0xe8b6},               // search
    {u"megaphone", 0xef49},                     // campaign
    {u"menubar.rectangle", 0xe069},             // web_asset
    {u"plus.forwardslash.minus", 0xe3ca},       // exposure
    {u"power", 0xe8ac},                         // power_settings_new
    {u"shield", 0xe9e0},                        // shield
    {u"sparkles", 0xe65f},                      // auto_awesome
    {u"speaker.wave.2", 0xe050},                // volume_up
    {u"star", 0xe83a},                          // star_border
    {u"text.alignleft", 0xe236},                // format_align_left
    {u"text.bubble", 0xe0cb},                   // chat_bubble_outline
    {u"text.bubble.fill", 0xe0b7},              // chat
    {u"trash", 0xe92e},                         // delete_outline
    {u"wand.and.stars", 0xe663},                // auto_fix_high
    {u"xmark.circle.fill", 0xe5c9},             // cancel
});

static_assert(std::ranges::is_sorted(entries, {}, &Entry::name),
              "the symbol table must stay sorted by name");

} // namespace

std::optional<char32_t> SymbolCatalogue::codePoint(QStringView name)
{
    const std::u16string_view key(name.utf16(), static_cast<std::size_t>(name.size()));
    const auto found = std::ranges::lower_bound(entries, key, {}, &Entry::name);
    if (found == entries.end() || found->name != key)
        return std::nullopt;
    return found->codePoint;
}

QStringList SymbolCatalogue::names()
{
    QStringList result;
    result.reserve(static_cast<qsizetype>(entries.size()));
    for (const Entry& entry : entries)
        result.append(
            QString::fromUtf16(entry.name.data(), static_cast<qsizetype>(entry.name.size())));
    return result;
}

QString SymbolCatalogue::fontResource()
{
    return QStringLiteral(":/lexwick/fonts/MaterialIcons-Regular.ttf");
}

QString SymbolCatalogue::fontFamily()
{
    // Registered once per process: every further call would add another copy of the font.
    // Registered from the resource's own bytes: from its path, Qt read the file twice into
    // copies of its own (half a megabyte each) and kept both for the rest of the run.
    static const QString family = [] {
        const QResource resource(fontResource());
        const QByteArray data =
            resource.compressionAlgorithm() == QResource::NoCompression
                ? QByteArray::fromRawData(reinterpret_cast<const char*>(resource.data()),
                                          resource.size())
                : resource.uncompressedData();
        const int id = QFontDatabase::addApplicationFontFromData(data);
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        return families.isEmpty() ? QString() : families.constFirst();
    }();
    return family;
}

Symbols::Symbols(QObject* parent)
    : QObject(parent)
{
}

QString Symbols::fontFamily() const
{
    return SymbolCatalogue::fontFamily();
}

QString Symbols::glyph(const QString& name) const
{
    const std::optional<char32_t> point = SymbolCatalogue::codePoint(name);
    return point ? QString::fromUcs4(&*point, 1) : QString();
}

} // namespace lexwick
