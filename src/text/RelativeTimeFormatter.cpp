// SPDX-License-Identifier: MIT
#include "text/RelativeTimeFormatter.h"

#include <unicode/locid.h>
#include <unicode/reldatefmt.h>
#include <unicode/unistr.h>

namespace lexwick {

RelativeTimeFormatter::RelativeTimeFormatter(const QLocale& locale)
    // The C locale (LANG=C) is English to ICU only by that name; as "C" it gets root data
    // without plurals ("1 days ago").
    : m_localeName(locale.language() == QLocale::C ? QByteArray("en") : locale.name().toLatin1())
{
}

const icu::RelativeDateTimeFormatter* RelativeTimeFormatter::formatter() const
{
    if (m_loaded)
        return m_formatter.get();
    m_loaded = true;
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale icuLocale(m_localeName.constData());
    m_formatter = std::make_unique<icu::RelativeDateTimeFormatter>(
        icuLocale, nullptr, UDAT_STYLE_SHORT, UDISPCTX_CAPITALIZATION_NONE, status);
    if (U_FAILURE(status)) {
        // A locale ICU has no data for: its root data still reads sensibly.
        status = U_ZERO_ERROR;
        m_formatter = std::make_unique<icu::RelativeDateTimeFormatter>(
            icu::Locale::getRoot(), nullptr, UDAT_STYLE_SHORT, UDISPCTX_CAPITALIZATION_NONE,
            status);
        if (U_FAILURE(status))
            m_formatter.reset();
    }
    return m_formatter.get();
}

RelativeTimeFormatter::~RelativeTimeFormatter() = default;

QString RelativeTimeFormatter::format(const QDateTime& date, const QDateTime& now) const
{
    const icu::RelativeDateTimeFormatter* const icuFormatter = formatter();
    if (!icuFormatter || !date.isValid() || !now.isValid())
        return QString();
    const bool past = date <= now;
    // Calendar units count in the user's time zone, as the user reads dates.
    const QDateTime from = (past ? date : now).toLocalTime();
    const QDateTime to = (past ? now : date).toLocalTime();

    int months = (to.date().year() - from.date().year()) * 12 + to.date().month() -
                 from.date().month();
    if (months > 0 && from.addMonths(months) > to)
        --months;
    const qint64 seconds = from.secsTo(to);
    qint64 days = from.daysTo(to);
    if (days > 0 && from.addDays(days) > to)
        --days;

    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString text;
    const auto numeric = [&](qint64 value, URelativeDateTimeUnit unit) {
        icuFormatter->formatNumeric(past ? -double(value) : double(value), unit, text, status);
    };
    if (months >= 12)
        numeric(months / 12, UDAT_REL_UNIT_YEAR);
    else if (months >= 1)
        numeric(months, UDAT_REL_UNIT_MONTH);
    else if (days >= 7)
        numeric(days / 7, UDAT_REL_UNIT_WEEK);
    else if (days >= 1)
        numeric(days, UDAT_REL_UNIT_DAY);
    else if (seconds >= 3600)
        numeric(seconds / 3600, UDAT_REL_UNIT_HOUR);
    else if (seconds >= 60)
        numeric(seconds / 60, UDAT_REL_UNIT_MINUTE);
    else if (seconds >= 1)
        numeric(seconds, UDAT_REL_UNIT_SECOND);
    else
        icuFormatter->format(UDAT_DIRECTION_PLAIN, UDAT_ABSOLUTE_NOW, text, status);
    if (U_FAILURE(status))
        return QString();
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

} // namespace lexwick
