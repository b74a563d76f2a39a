#include "safety/InputValidator.h"

#include <unicode/brkiter.h>
#include <unicode/utext.h>

#include <QTextBoundaryFinder>

#include <memory>

namespace lexwick {

namespace {

// Below U+0300 no code point extends or joins a grapheme cluster (the first combining mark,
// prepend mark, spacing mark, joiner and regional indicator all lie above), so every code unit
// is a cluster of its own, except that CR LF is one.
bool countWithoutBreakIterator(const QString& text, qsizetype& count)
{
    qsizetype pairs = 0;
    char16_t previous = 0;
    for (QChar c : text) {
        const char16_t unit = c.unicode();
        if (unit >= 0x300)
            return false;
        if (unit == u'\n' && previous == u'\r')
            ++pairs;
        previous = unit;
    }
    count = text.size() - pairs;
    return true;
}

// Break iterators are expensive to create and not safe to share between threads.
icu::BreakIterator* characterBreakIterator()
{
    thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> created(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        return U_SUCCESS(status) ? std::move(created) : nullptr;
    }();
    return iterator.get();
}

qsizetype countWithQt(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

qsizetype graphemeCount(const QString& text)
{
    qsizetype count = 0;
    if (countWithoutBreakIterator(text, count))
        return count;

    icu::BreakIterator* iterator = characterBreakIterator();
    UErrorCode status = U_ZERO_ERROR;
    UText utext = UTEXT_INITIALIZER;
    utext_openUChars(&utext, reinterpret_cast<const UChar*>(text.utf16()), text.size(), &status);
    if (iterator)
        iterator->setText(&utext, status);
    if (!iterator || U_FAILURE(status)) {
        utext_close(&utext);
        return countWithQt(text); // only without ICU's break data
    }
    iterator->first();
    while (iterator->next() != icu::BreakIterator::DONE)
        ++count;
    // The iterator keeps a shallow copy of the UText; it is reset before its next use.
    utext_close(&utext);
    return count;
}

} // namespace

ValidationResult InputValidator::validate(const QString& text)
{
    const qsizetype count = graphemeCount(text);
    ValidationResult result{.characterCount = count, .maxCharacters = maxCharacters};
    if (count > maxCharacters) {
        result.state = CharacterState::exceeded;
        result.message =
            QStringLiteral("Character limit exceeded (%1 over)").arg(count - maxCharacters);
        result.isValid = false;
        return result;
    }
    if (count >= 4500) {
        result.state = CharacterState::danger;
        result.message = QStringLiteral("Near maximum length");
    } else if (count >= 4000) {
        result.state = CharacterState::warning;
        result.message = QStringLiteral("Approaching character limit");
    }
    // QString's white space is Unicode's White_Space: spaces, tabs and every kind of line break.
    result.isValid = !QStringView(text).trimmed().isEmpty();
    return result;
}

} // namespace lexwick
