// SPDX-License-Identifier: MIT
#pragma once

#include "history/HistoryItem.h"
#include "text/RelativeTimeFormatter.h"

#include <QAbstractListModel>
#include <QDateTime>
#include <QList>
#include <QSet>
#include <QUuid>
#include <QtQml/qqmlregistration.h>

namespace lexwick {

// The records the history screen lists, one row per card, with the texts the card shows.
// Replacing the list removes or inserts only the rows that changed when it can, so a search or
// a delete keeps the list's scroll position and the cards that stay.
class HistoryListModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the history screen's state")

public:
    enum Role {
        recordIdRole = Qt::UserRole + 1,
        actionTitleRole,
        actionSymbolRole,
        toneTitleRole, // empty when the record has no tone
        wasCachedRole,
        inputLineRole,
        resultLineRole,
        relativeTimeRole,
        showCopiedRole,
    };
    Q_ENUM(Role)

    explicit HistoryListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    const QList<HistoryItem>& items() const { return m_items; }
    void setItems(const QList<HistoryItem>& items);

    // Whether the copy buttons of the record's cards show their confirmation.
    void setCopied(const QUuid& id, bool copied);
    void clearCopied();

    // The moment the relative times are measured from; their texts follow.
    void setNow(const QDateTime& now);
    const QDateTime& now() const { return m_now; }

private:
    bool removeRowsMissingFrom(const QList<HistoryItem>& items);
    bool insertRowsMissingFrom(const QList<HistoryItem>& items);

    QList<HistoryItem> m_items;
    QSet<QUuid> m_copied;
    QDateTime m_now = QDateTime::currentDateTimeUtc();
    RelativeTimeFormatter m_formatter;
};

} // namespace lexwick
