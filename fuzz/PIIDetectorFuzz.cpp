// SPDX-License-Identifier: MIT
#include "Fuzz.h"

#include "safety/PIIDetector.h"

#include <unicode/regex.h>

#include <memory>

namespace {

using namespace lexwick;

// The straightforward detector: each pattern over the whole text, then the same checks.
DetectionResult wholeTextScan(const QString& text)
{
    DetectionResult result;
    const icu::UnicodeString input(false, reinterpret_cast<const char16_t*>(text.utf16()),
                                   int32_t(text.size()));
    const auto scan = [&](PIIType type, std::initializer_list<std::u16string_view> sources,
                          bool (*check)(QStringView)) {
        QStringList found;
        for (std::u16string_view source : sources) {
            UErrorCode status = U_ZERO_ERROR;
            UParseError error;
            std::unique_ptr<icu::RegexPattern> pattern(icu::RegexPattern::compile(
                icu::UnicodeString(source.data(), int32_t(source.size())), 0, error, status));
            std::unique_ptr<icu::RegexMatcher> matcher(pattern->matcher(input, status));
            while (matcher->find(status)) {
                const int32_t start = matcher->start(status);
                const QString match = text.mid(start, matcher->end(status) - start);
                if (!check || check(match))
                    found.append(match);
            }
        }
        if (!found.isEmpty()) {
            result.hasPII = true;
            result.detectedTypes.append(type);
            result.matches.insert(type, found);
        }
    };
    using namespace PIIDetector;
    scan(PIIType::email, {emailPattern}, nullptr);
    scan(PIIType::phone, {phonePattern}, isPlausiblePhone);
    scan(PIIType::ssn, {ssnPattern}, isPlausibleSSN);
    scan(PIIType::creditCard, {cardIssuerPattern, cardGroupsPattern}, passesCardCheck);
    scan(PIIType::ipAddress, {ipv4Pattern, ipv6Pattern}, nullptr);
    return result;
}

void run(const QByteArray& input)
{
    const QString text = fuzz::textOf(input);
    fuzz::require(PIIDetector::detect(text) == wholeTextScan(text),
                  "the detector finds what a whole-text scan finds");
}

} // namespace

const lexwick::fuzz::Target lexwick::fuzz::target{
    "pii_detector", run,
    {"\x00mail jane.doe@example.com or call (555) 123-4567",
     "\x00ssn 123-45-6789, card 4111 1111 1111 1111, ip 192.168.0.1",
     "\x00 fe80:0:0:0:202:b3ff:fe1e:8329 \xd9\xa1\xd9\xa2\xd9\xa3"}};
