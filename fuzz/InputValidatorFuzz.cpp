// SPDX-License-Identifier: MIT
#include "Fuzz.h"

#include "safety/InputValidator.h"

#include <unicode/brkiter.h>

#include <memory>

namespace {

// Extended grapheme clusters counted the plain way, with ICU over the whole text.
qsizetype graphemeCount(const QString& text)
{
    UErrorCode status = U_ZERO_ERROR;
    static std::unique_ptr<icu::BreakIterator> clusters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    const icu::UnicodeString input(false, reinterpret_cast<const char16_t*>(text.utf16()),
                                   int32_t(text.size()));
    clusters->setText(input);
    qsizetype count = 0;
    for (int32_t at = clusters->next(); at != icu::BreakIterator::DONE; at = clusters->next())
        ++count;
    return count;
}

void run(const QByteArray& input)
{
    const QString text = lexwick::fuzz::textOf(input);
    lexwick::fuzz::require(lexwick::InputValidator::validate(text).characterCount ==
                               graphemeCount(text),
                           "the count is ICU's grapheme count");
}

} // namespace

const lexwick::fuzz::Target lexwick::fuzz::target{
    "input_validator", run,
    {"\x00plain text\r\n", "\x00" "e\xcc\x81\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x92\xbb",
     "\x01\x00\xd8\x41\x00"}};
