// SPDX-License-Identifier: MIT
#pragma once

#include "core/Error.h"
#include "core/TextAction.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace lexwick {

// One processed request as the history keeps it. A value the screens can hold and hand back.
struct HistoryItem {
    Q_GADGET
    Q_PROPERTY(QUuid id MEMBER id)
    Q_PROPERTY(QString originalText MEMBER originalText)
    Q_PROPERTY(QString resultText MEMBER resultText)
    Q_PROPERTY(lexwick::TextActions::TextAction action MEMBER action)
    Q_PROPERTY(bool hasTone READ hasTone)
    Q_PROPERTY(lexwick::ToneOptions::ToneOption tone READ toneOrFormal)
    Q_PROPERTY(QString provider MEMBER provider)
    Q_PROPERTY(QDateTime timestamp MEMBER timestamp)
    Q_PROPERTY(bool wasCached MEMBER wasCached)

public:
    QUuid id = QUuid::createUuid();
    QString originalText;
    QString resultText;
    TextAction action = TextAction::correct;
    std::optional<ToneOption> tone;
    QString provider; // the router's provider name when the record was made
    QDateTime timestamp = QDateTime::currentDateTimeUtc();
    bool wasCached = false;

    friend bool operator==(const HistoryItem&, const HistoryItem&) = default;

    // Whether the history screen's search shows the item: an empty query shows everything,
    // otherwise either text, lower-cased, must contain the lower-cased query.
    bool matches(const QString& query) const;

    bool hasTone() const { return tone.has_value(); }
    ToneOption toneOrFormal() const { return tone.value_or(ToneOption::formal); }
};

// The stored form: a compact JSON array, newest first.
QByteArray encodeHistory(const QList<HistoryItem>& items);

struct DecodedHistory {
    QList<HistoryItem> items;
    qsizetype skipped = 0; // records that could not be read
    QString problem;       // what was wrong with them; empty when nothing was skipped
};
// Reads every record that can be read and skips the others. Fails with DecodingError only when
// the document is not a JSON array.
Result<DecodedHistory> decodeHistory(const QByteArray& document);

} // namespace lexwick
