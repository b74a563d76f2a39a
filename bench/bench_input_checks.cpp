// SPDX-License-Identifier: MIT
#include "core/ResponseCache.h"
#include "safety/InputValidator.h"
#include "safety/PIIDetector.h"

#include <unicode/regex.h>

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

using namespace lexwick;

namespace {

// 5000 characters of ordinary prose with figures, one e-mail address and one phone number.
QString prose()
{
    const QString sentence = QStringLiteral(
        "The quick brown fox jumps over the lazy dog while the committee reviews its 2024 plan. ");
    QString text;
    while (text.size() < 5000)
        text += sentence;
    text.insert(2100, QStringLiteral("Write to jane.doe@example.com or call (555) 123-4567. "));
    text.truncate(5000);
    return text;
}

// The straightforward detector: all seven patterns compiled on every call and run over the
// whole text, with the same checks.
DetectionResult naiveDetect(const QString& text)
{
    const icu::UnicodeString input(false, reinterpret_cast<const UChar*>(text.utf16()),
                                   static_cast<int32_t>(text.size()));
    const auto matches = [&](std::u16string_view source) {
        UErrorCode status = U_ZERO_ERROR;
        UParseError error;
        std::unique_ptr<icu::RegexPattern> pattern(icu::RegexPattern::compile(
            icu::UnicodeString(false, source.data(), static_cast<int32_t>(source.size())), 0, error,
            status));
        QStringList found;
        if (U_FAILURE(status))
            return found;
        std::unique_ptr<icu::RegexMatcher> matcher(pattern->matcher(input, status));
        while (matcher->find(status))
            found << text.mid(matcher->start(status),
                              matcher->end(status) - matcher->start(status));
        return found;
    };
    const auto kept = [](QStringList list, bool (*check)(QStringView)) {
        list.removeIf([check](const QString& s) { return !check(s); });
        return list;
    };
    using namespace PIIDetector;
    DetectionResult result;
    const auto add = [&result](PIIType type, QStringList found) {
        if (found.isEmpty())
            return;
        result.detectedTypes << type;
        result.matches.insert(type, found);
    };
    add(PIIType::email, matches(emailPattern));
    add(PIIType::phone, kept(matches(phonePattern), isPlausiblePhone));
    add(PIIType::ssn, kept(matches(ssnPattern), isPlausibleSSN));
    add(PIIType::creditCard,
        kept(matches(cardIssuerPattern) + matches(cardGroupsPattern), passesCardCheck));
    add(PIIType::ipAddress, matches(ipv4Pattern) + matches(ipv6Pattern));
    result.hasPII = !result.detectedTypes.isEmpty();
    return result;
}

void BM_ValidateAndDetect(benchmark::State& state)
{
    const QString text = prose();
    for (auto _ : state) {
        ValidationResult validation = InputValidator::validate(text);
        DetectionResult detection = PIIDetector::detect(text);
        benchmark::DoNotOptimize(validation);
        benchmark::DoNotOptimize(detection);
    }
}
BENCHMARK(BM_ValidateAndDetect)->Unit(benchmark::kMicrosecond);

void BM_NaiveDetect(benchmark::State& state)
{
    const QString text = prose();
    for (auto _ : state) {
        DetectionResult detection = naiveDetect(text);
        benchmark::DoNotOptimize(detection);
    }
}
BENCHMARK(BM_NaiveDetect)->Unit(benchmark::kMicrosecond);

// 100 000 characters of prose in paragraphs, as a long paste.
QString longPaste()
{
    QString text;
    while (text.size() < 100'000)
        text += prose().left(700) + u"\n\n";
    text.truncate(100'000);
    return text;
}

// A key press in the middle of a 100 000-character text: the count and the level, as the
// input's checks now do them (the edit recounted where it happened)...
void BM_KeystrokeCount100k(benchmark::State& state)
{
    QString text = longPaste();
    CharacterCount count;
    count.update(text);
    bool typed = false;
    for (auto _ : state) {
        if (typed)
            text.remove(50'000, 1);
        else
            text.insert(50'000, u'x');
        typed = !typed;
        ValidationResult validation = InputValidator::validate(text, count.update(text));
        benchmark::DoNotOptimize(validation);
    }
}
BENCHMARK(BM_KeystrokeCount100k)->Unit(benchmark::kMicrosecond);

// ...and as they were done before: the whole text counted and searched on every key. Over the
// limit the search now waits for a pause in typing.
void BM_KeystrokeFullChecks100k(benchmark::State& state)
{
    QString text = longPaste();
    bool typed = false;
    for (auto _ : state) {
        if (typed)
            text.remove(50'000, 1);
        else
            text.insert(50'000, u'x');
        typed = !typed;
        ValidationResult validation = InputValidator::validate(text);
        DetectionResult detection = PIIDetector::detect(text);
        benchmark::DoNotOptimize(validation);
        benchmark::DoNotOptimize(detection);
    }
}
BENCHMARK(BM_KeystrokeFullChecks100k)->Unit(benchmark::kMicrosecond);

void BM_CacheHit(benchmark::State& state)
{
    ResponseCache cache;
    const CacheKey key{prose().trimmed(), QStringLiteral("Paraphrase"), QStringLiteral("Formal"),
                       QStringLiteral("Groq")};
    cache.set(QStringLiteral("The answer."), key);
    for (auto _ : state) {
        std::optional<QString> hit = cache.get(key);
        benchmark::DoNotOptimize(hit);
    }
}
BENCHMARK(BM_CacheHit)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // Both detectors must see the same input the same way, or the comparison means nothing.
    const QString text = prose();
    const DetectionResult detected = PIIDetector::detect(text);
    if (text.size() != 5000 || detected != naiveDetect(text) ||
        detected.detectedTypes != QList{PIIType::email, PIIType::phone}) {
        std::fputs("bench_input_checks: the input or the detectors are not as intended\n", stderr);
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
