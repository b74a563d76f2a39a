// SPDX-License-Identifier: MIT
#include "history/HistoryItem.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cmath>

namespace lexwick {

namespace {

// Stored timestamps count seconds from 2001-01-01 00:00:00 UTC.
constexpr qint64 referenceEpochMSecs = 978307200000;
// A stored number may be any double; dates are clamped to the years 1 to 9999 so that the
// conversion to milliseconds cannot overflow.
constexpr double earliestSeconds = (-62135596800000 - referenceEpochMSecs) / 1000.0;
constexpr double latestSeconds = (253402300799999 - referenceEpochMSecs) / 1000.0;

QJsonObject encodeItem(const HistoryItem& item)
{
    QJsonObject object{
        {QStringLiteral("id"), item.id.toString(QUuid::WithoutBraces).toUpper()},
        {QStringLiteral("originalText"), item.originalText},
        {QStringLiteral("resultText"), item.resultText},
        {QStringLiteral("action"), rawValue(item.action)},
        {QStringLiteral("provider"), item.provider},
        {QStringLiteral("timestamp"),
         (item.timestamp.toMSecsSinceEpoch() - referenceEpochMSecs) / 1000.0},
        {QStringLiteral("wasCached"), item.wasCached},
    };
    if (item.tone)
        object.insert(QStringLiteral("tone"), rawValue(*item.tone));
    return object;
}

std::optional<HistoryItem> decodeItem(const QJsonValue& value)
{
    const QJsonObject object = value.toObject();
    const auto string = [&object](const char* name) -> std::optional<QString> {
        const QJsonValue member = object.value(QLatin1String(name));
        return member.isString() ? std::optional(member.toString()) : std::nullopt;
    };
    const auto id = string("id");
    const auto originalText = string("originalText");
    const auto resultText = string("resultText");
    const auto action = string("action");
    const auto provider = string("provider");
    const QJsonValue timestamp = object.value(QLatin1String("timestamp"));
    const QJsonValue wasCached = object.value(QLatin1String("wasCached"));
    if (!value.isObject() || !id || !originalText || !resultText || !action || !provider ||
        !timestamp.isDouble() || !wasCached.isBool())
        return std::nullopt;

    HistoryItem item;
    item.id = QUuid::fromString(*id);
    const auto decodedAction = textActionFromRawValue(*action);
    if (item.id.isNull() || !decodedAction)
        return std::nullopt;
    item.action = *decodedAction;
    if (object.contains(QLatin1String("tone"))) {
        const auto tone = string("tone");
        item.tone = tone ? toneOptionFromRawValue(*tone) : std::nullopt;
        if (!item.tone)
            return std::nullopt;
    }
    item.originalText = *originalText;
    item.resultText = *resultText;
    item.provider = *provider;
    const double seconds = timestamp.toDouble();
    if (std::isnan(seconds))
        return std::nullopt;
    item.timestamp = QDateTime::fromMSecsSinceEpoch(
        referenceEpochMSecs + qRound64(std::clamp(seconds, earliestSeconds, latestSeconds) * 1000.0),
        Qt::UTC);
    item.wasCached = wasCached.toBool();
    return item;
}

} // namespace

bool HistoryItem::matches(const QString& query) const
{
    if (query.isEmpty())
        return true;
    // Both sides lower-cased (full mappings, so "İ" becomes "i̇"), not case-folded.
    const QString needle = query.toLower();
    return originalText.toLower().contains(needle) || resultText.toLower().contains(needle);
}

QByteArray encodeHistory(const QList<HistoryItem>& items)
{
    QJsonArray array;
    for (const HistoryItem& item : items)
        array.append(encodeItem(item));
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

Result<DecodedHistory> decodeHistory(const QByteArray& document)
{
    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(document, &error);
    if (error.error != QJsonParseError::NoError)
        return std::unexpected(Error(DecodingError{error.errorString()}));
    if (!json.isArray())
        return std::unexpected(Error(DecodingError{QStringLiteral("the history is not a list")}));
    DecodedHistory decoded;
    const QJsonArray array = json.array();
    decoded.items.reserve(array.size());
    QStringList unreadable;
    for (qsizetype i = 0; i < array.size(); ++i) {
        if (std::optional<HistoryItem> item = decodeItem(array.at(i)))
            decoded.items.append(std::move(*item));
        else
            unreadable.append(QString::number(i));
    }
    decoded.skipped = unreadable.size();
    if (!unreadable.isEmpty())
        decoded.problem = QStringLiteral("records %1 of %2 are incomplete or malformed")
                              .arg(unreadable.join(u", "))
                              .arg(array.size());
    return decoded;
}

} // namespace lexwick
