// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>

#include <unicode/uversion.h>

#include <memory>

U_NAMESPACE_BEGIN
class RelativeDateTimeFormatter;
U_NAMESPACE_END

namespace lexwick {

// "5 min. ago", "2 hr. ago", "3 days ago": how long ago a moment was, in the abbreviated
// style of the locale, in its largest whole calendar unit (years, months, weeks, days, hours,
// minutes, seconds). ICU's formatter and its locale data are loaded on the first format():
// a process that never shows the history never pays for them.
class RelativeTimeFormatter {
public:
    explicit RelativeTimeFormatter(const QLocale& locale = QLocale());
    ~RelativeTimeFormatter();
    RelativeTimeFormatter(const RelativeTimeFormatter&) = delete;
    RelativeTimeFormatter& operator=(const RelativeTimeFormatter&) = delete;

    // A moment after `now` reads as a time to come ("in 5 min."); the same second as "now".
    QString format(const QDateTime& date, const QDateTime& now) const;

private:
    const icu::RelativeDateTimeFormatter* formatter() const;

    QByteArray m_localeName;
    mutable bool m_loaded = false;
    mutable std::unique_ptr<icu::RelativeDateTimeFormatter> m_formatter;
};

} // namespace lexwick
