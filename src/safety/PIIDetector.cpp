// SPDX-License-Identifier: MIT
#include "safety/PIIDetector.h"

#include <unicode/regex.h>
#include <unicode/uchar.h>
#include <unicode/uniset.h>
#include <unicode/utext.h>

#include <QStringList>

#include <array>
#include <memory>
#include <vector>

namespace lexwick {

namespace {

// Running every pattern over the whole text costs far more than compiling them; most of the
// time goes into starting the e-mail pattern at every letter of ordinary prose. So each pattern
// runs only on the maximal runs of characters that can occur in one of its matches, and only
// on runs holding enough of the characters every match needs. A match never leaves such a run,
// and the matcher sees the text beyond the run (transparent bounds), so \b and the
// left-to-right order give exactly the matches of a scan over the whole text.

// Classes of characters, as bits.
enum Class : quint16 {
    inEmail = 1 << 0,
    inPhone = 1 << 1,
    inSSN = 1 << 2,
    inCardIssuer = 1 << 3,
    inCardGroups = 1 << 4,
    inIPv4 = 1 << 5,
    inIPv6 = 1 << 6,
    decimalDigit = 1 << 7, // \d
    asciiDigit = 1 << 8,
    atSign = 1 << 9,
    fullStop = 1 << 10,
    colon = 1 << 11,
};

struct Requirement {
    quint16 bit = 0;
    int minimum = 0;
};

struct Scan {
    PIIType type;
    std::u16string_view source;
    quint16 allowed;
    std::array<Requirement, 2> requirements;
    std::unique_ptr<icu::RegexPattern> pattern; // null when it did not compile
};

class CompiledPatterns {
public:
    enum Index { email, phone, ssn, cardIssuer, cardGroups, ipv4, ipv6, count };

    static const CompiledPatterns& instance()
    {
        static const CompiledPatterns patterns;
        return patterns;
    }

    const Scan& scan(Index index) const { return m_scans[index]; }

    quint16 classify(char32_t c) const
    {
        if (c < 0x80)
            return m_ascii[c];
        if (m_decimalDigits.contains(static_cast<UChar32>(c)))
            return inPhone | inSSN | inCardIssuer | inCardGroups | decimalDigit;
        if (m_whiteSpace.contains(static_cast<UChar32>(c)))
            return inPhone | inSSN | inCardGroups;
        return 0;
    }

private:
    CompiledPatterns()
    {
        using namespace PIIDetector;
        // The minimum counts follow from the patterns: seven digits for the shortest phone
        // match, 13 for the shortest card number, four octets with three dots, seven colons.
        m_scans[email] = {PIIType::email, emailPattern, inEmail, {{{atSign, 1}}}};
        m_scans[phone] = {PIIType::phone, phonePattern, inPhone, {{{decimalDigit, 7}}}};
        m_scans[ssn] = {PIIType::ssn, ssnPattern, inSSN, {{{decimalDigit, 9}}}};
        m_scans[cardIssuer] = {
            PIIType::creditCard, cardIssuerPattern, inCardIssuer, {{{decimalDigit, 13}}}};
        m_scans[cardGroups] = {
            PIIType::creditCard, cardGroupsPattern, inCardGroups, {{{decimalDigit, 16}}}};
        m_scans[ipv4] = {
            PIIType::ipAddress, ipv4Pattern, inIPv4, {{{asciiDigit, 4}, {fullStop, 3}}}};
        m_scans[ipv6] = {PIIType::ipAddress, ipv6Pattern, inIPv6, {{{colon, 7}}}};
        for (Scan& scan : m_scans) {
            UErrorCode status = U_ZERO_ERROR;
            UParseError error;
            const icu::UnicodeString source(false, scan.source.data(),
                                            static_cast<int32_t>(scan.source.size()));
            scan.pattern.reset(icu::RegexPattern::compile(source, 0, error, status));
            if (U_FAILURE(status))
                scan.pattern.reset();
        }

        // ICU's \d is \p{Nd}; its \s is this union.
        UErrorCode status = U_ZERO_ERROR;
        m_decimalDigits.applyPattern(icu::UnicodeString(u"[\\p{Nd}]"), status);
        m_whiteSpace.applyPattern(icu::UnicodeString(u"[\\p{WhiteSpace}\\p{Z}\\t\\n\\f\\r]"),
                                  status);
        m_decimalDigits.freeze();
        m_whiteSpace.freeze();

        for (char32_t c = 0; c < 0x80; ++c) {
            const auto is = [c](std::u16string_view set) {
                return set.find(char16_t(c)) != set.npos;
            };
            const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
            const bool digit = c >= u'0' && c <= u'9';
            const bool hexLetter = (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
            const bool space = m_whiteSpace.contains(static_cast<UChar32>(c));
            quint16 bits = 0;
            if (letter || digit || is(u"._%+-@"))
                bits |= inEmail;
            if (digit || space || is(u"+-.()"))
                bits |= inPhone;
            if (digit || space || c == u'-')
                bits |= inSSN | inCardGroups;
            if (digit)
                bits |= inCardIssuer | inIPv4 | inIPv6 | decimalDigit | asciiDigit;
            if (c == u'.')
                bits |= inIPv4 | fullStop;
            if (hexLetter || c == u':')
                bits |= inIPv6;
            if (c == u':')
                bits |= colon;
            if (c == u'@')
                bits |= atSign;
            m_ascii[c] = bits;
        }
    }

    std::array<Scan, count> m_scans;
    std::array<quint16, 0x80> m_ascii{};
    icu::UnicodeSet m_decimalDigits;
    icu::UnicodeSet m_whiteSpace;
};

struct Run {
    qsizetype start;
    qsizetype end;
};

// The classes of each code unit; the trailing half of a surrogate pair repeats the pair's
// membership but none of its counts.
std::vector<quint16> classifyText(const CompiledPatterns& patterns, QStringView text)
{
    constexpr quint16 counted = decimalDigit | asciiDigit | atSign | fullStop | colon;
    std::vector<quint16> classes(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            classes[i] = patterns.classify(QChar::surrogateToUcs4(c, text[i + 1]));
            classes[i + 1] = classes[i] & ~counted;
            ++i;
        } else {
            classes[i] = patterns.classify(c.unicode());
        }
    }
    return classes;
}

std::vector<Run> candidateRuns(const std::vector<quint16>& classes, const Scan& scan)
{
    std::vector<Run> runs;
    const qsizetype size = static_cast<qsizetype>(classes.size());
    qsizetype i = 0;
    while (i < size) {
        if (!(classes[i] & scan.allowed)) {
            ++i;
            continue;
        }
        const qsizetype start = i;
        std::array<int, 2> counts{};
        while (i < size && (classes[i] & scan.allowed)) {
            for (std::size_t r = 0; r < counts.size(); ++r)
                if (classes[i] & scan.requirements[r].bit)
                    ++counts[r];
            ++i;
        }
        bool enough = true;
        for (std::size_t r = 0; r < counts.size(); ++r)
            enough = enough && counts[r] >= scan.requirements[r].minimum;
        if (enough)
            runs.push_back({start, i});
    }
    return runs;
}

// Every non-overlapping match, left to right.
void collectMatches(const QString& text, UText* input, const std::vector<quint16>& classes,
                    const Scan& scan, QStringList& out)
{
    if (!scan.pattern)
        return;
    const std::vector<Run> runs = candidateRuns(classes, scan);
    if (runs.empty())
        return;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(scan.pattern->matcher(status));
    if (U_FAILURE(status))
        return;
    matcher->reset(input);
    matcher->useTransparentBounds(true);
    matcher->useAnchoringBounds(false);
    for (const Run& run : runs) {
        matcher->region(run.start, run.end, status);
        while (U_SUCCESS(status) && matcher->find(status)) {
            const int64_t start = matcher->start64(status);
            const int64_t end = matcher->end64(status);
            if (U_FAILURE(status))
                break;
            out.append(text.mid(start, end - start));
        }
        if (U_FAILURE(status))
            return;
    }
}

// The numeric values of the digits, or -1 for a digit outside 0-9.
template <typename Visit> void forEachDigit(QStringView text, Visit visit)
{
    for (char32_t c : text.toUcs4()) {
        if (u_getIntPropertyValue(static_cast<UChar32>(c), UCHAR_NUMERIC_TYPE) == U_NT_NONE)
            continue;
        visit(c >= U'0' && c <= U'9' ? int(c - U'0') : -1, c);
    }
}

void keep(DetectionResult& result, PIIType type, QStringList matches)
{
    if (matches.isEmpty())
        return;
    result.detectedTypes.append(type);
    result.matches.insert(type, std::move(matches));
}

} // namespace

bool PIIDetector::isPlausiblePhone(QStringView match)
{
    int digits = 0;
    forEachDigit(match, [&](int, char32_t) { ++digits; });
    return digits >= 10;
}

bool PIIDetector::isPlausibleSSN(QStringView match)
{
    int digits = 0;
    bool allZero = true;
    forEachDigit(match, [&](int, char32_t c) {
        ++digits;
        allZero = allZero && c == U'0';
    });
    return digits == 9 && !allZero;
}

bool PIIDetector::passesCardCheck(QStringView candidate)
{
    std::vector<int> digits;
    forEachDigit(candidate, [&](int value, char32_t) { digits.push_back(value); });
    if (digits.size() < 13 || digits.size() > 19)
        return false;
    int sum = 0;
    int position = 0;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it, ++position) {
        const int digit = *it;
        if (digit < 0)
            return false;
        if (position % 2 == 0)
            sum += digit;
        else
            sum += digit >= 5 ? digit * 2 - 9 : digit * 2;
    }
    return sum % 10 == 0;
}

DetectionResult PIIDetector::detect(const QString& text)
{
    DetectionResult result;
    if (text.isEmpty())
        return result;
    const CompiledPatterns& patterns = CompiledPatterns::instance();
    const std::vector<quint16> classes = classifyText(patterns, text);
    // ICU reads the QString's own buffer, with 64-bit indexes.
    UErrorCode status = U_ZERO_ERROR;
    UText input = UTEXT_INITIALIZER;
    utext_openUChars(&input, reinterpret_cast<const UChar*>(text.utf16()), text.size(), &status);
    if (U_FAILURE(status))
        return result;
    const auto matchesOf = [&](std::initializer_list<CompiledPatterns::Index> indices) {
        QStringList found;
        for (CompiledPatterns::Index index : indices)
            collectMatches(text, &input, classes, patterns.scan(index), found);
        return found;
    };
    const auto filtered = [](QStringList list, bool (*check)(QStringView)) {
        list.removeIf([check](const QString& match) { return !check(match); });
        return list;
    };

    keep(result, PIIType::email, matchesOf({CompiledPatterns::email}));
    keep(result, PIIType::phone, filtered(matchesOf({CompiledPatterns::phone}), isPlausiblePhone));
    keep(result, PIIType::ssn, filtered(matchesOf({CompiledPatterns::ssn}), isPlausibleSSN));
    keep(result, PIIType::creditCard,
         filtered(matchesOf({CompiledPatterns::cardIssuer, CompiledPatterns::cardGroups}),
                  passesCardCheck));
    keep(result, PIIType::ipAddress, matchesOf({CompiledPatterns::ipv4, CompiledPatterns::ipv6}));
    result.hasPII = !result.detectedTypes.isEmpty();
    utext_close(&input);
    return result;
}

} // namespace lexwick
