// SPDX-License-Identifier: MIT
#pragma once

#include "core/AIError.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <string_view>

namespace lexwick {

struct DetectionResult {
    bool hasPII = false;
    QList<PIIType> detectedTypes;       // each kind once, in the order of PIIType
    QMap<PIIType, QStringList> matches; // only the detected kinds

    bool operator==(const DetectionResult&) const = default;
};

// Finds personal data in a text with fixed ICU regular expressions and plausibility checks.
// Stateless; callable from any thread.
namespace PIIDetector {

// ICU syntax, no options: \d and \s are Unicode classes, \b a simple word boundary.
inline constexpr std::u16string_view emailPattern =
    u"[a-zA-Z0-9._%+-]+@[a-zA-Z0-9.-]+\\.[a-zA-Z]{2,}";
inline constexpr std::u16string_view phonePattern =
    u"(?:\\+1[-.\\s]?)?(?:\\(?\\d{3}\\)?[-.\\s]?)?\\d{3}[-.\\s]?\\d{4}";
inline constexpr std::u16string_view ssnPattern = u"\\b\\d{3}[-\\s]?\\d{2}[-\\s]?\\d{4}\\b";
inline constexpr std::u16string_view cardIssuerPattern =
    u"\\b(?:4[0-9]{12}(?:[0-9]{3})?|5[1-5][0-9]{14}|3[47][0-9]{13}|6(?:011|5[0-9]{2})[0-9]{12}|"
    u"(?:2131|1800|35\\d{3})\\d{11})\\b";
inline constexpr std::u16string_view cardGroupsPattern = u"\\b(?:\\d{4}[-\\s]?){3}\\d{4}\\b";
inline constexpr std::u16string_view ipv4Pattern =
    u"\\b(?:(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\.){3}"
    u"(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\b";
inline constexpr std::u16string_view ipv6Pattern =
    u"\\b(?:[0-9a-fA-F]{1,4}:){7}[0-9a-fA-F]{1,4}\\b";

DetectionResult detect(const QString& text);

// The checks applied to raw matches. "Digits" are characters with a Unicode numeric type.
bool isPlausiblePhone(QStringView match); // at least 10 digits
bool isPlausibleSSN(QStringView match);   // exactly 9 digits, not all "0"
// 13 to 19 digits, all of them 0-9, passing the Luhn check.
bool passesCardCheck(QStringView candidate);

} // namespace PIIDetector

} // namespace lexwick
