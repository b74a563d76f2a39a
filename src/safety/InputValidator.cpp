// SPDX-License-Identifier: MIT
#include "safety/InputValidator.h"

#include <unicode/brkiter.h>
#include <unicode/utext.h>

#include <QTextBoundaryFinder>

#include <algorithm>
#include <memory>

namespace lexwick {

namespace {

// Below U+0300 no code point extends or joins a grapheme cluster (the first combining mark,
// prepend mark, spacing mark, joiner and regional indicator all lie above), so every code unit
// is a cluster of its own, except that CR LF is one.
bool countWithoutBreakIterator(QStringView text, qsizetype& count)
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

qsizetype countWithQt(QStringView text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data(), text.size());
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

qsizetype graphemeCount(QStringView text)
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

// Whether a cluster boundary lies before position i whatever comes before i - 1 or after i: the
// two code units there are both below U+0300 (see countWithoutBreakIterator) and not CR LF. No
// rule joins across such a pair, and none looks further than the pair.
bool isFirmBoundary(QStringView text, qsizetype i)
{
    if (i == 0 || i == text.size())
        return true;
    const char16_t before = text[i - 1].unicode();
    const char16_t after = text[i].unicode();
    return before < 0x300 && after < 0x300 && !(before == u'\r' && after == u'\n');
}

} // namespace

qsizetype CharacterCount::update(const QString& text)
{
    // How far to look for a firm boundary either side of an edit before counting the whole text.
    constexpr qsizetype reach = 256;
    const QStringView before(m_text);
    const QStringView after(text);
    const qsizetype shorter = std::min(before.size(), after.size());
    const qsizetype prefix =
        std::mismatch(before.begin(), before.begin() + shorter, after.begin()).first -
        before.begin();
    qsizetype suffix = 0;
    while (suffix < shorter - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;

    // Both ends of the recounted stretch lie in the part the versions share, on a boundary
    // that is one in either version.
    qsizetype start = prefix == 0 ? 0 : prefix - 1;
    while (start > 0 && prefix - start < reach && !isFirmBoundary(before, start))
        --start;
    qsizetype end = suffix == 0 ? 0 : suffix - 1; // counted from the end
    while (end > 0 && suffix - end < reach && !isFirmBoundary(before, before.size() - end))
        --end;
    if (!isFirmBoundary(before, start) || !isFirmBoundary(before, before.size() - end)) {
        m_count = graphemeCount(after);
    } else {
        m_count += graphemeCount(after.sliced(start, after.size() - end - start)) -
                   graphemeCount(before.sliced(start, before.size() - end - start));
    }
    m_text = text;
    return m_count;
}

ValidationResult InputValidator::validate(const QString& text)
{
    return validate(text, graphemeCount(text));
}

ValidationResult InputValidator::validate(const QString& text, qsizetype count)
{
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
