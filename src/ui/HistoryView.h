// SPDX-License-Identifier: MIT
#pragma once

#include "history/HistoryItem.h"
#include "ui/HistoryListModel.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QtQml/qqmlregistration.h>

#include <stop_token>

namespace lexwick {

class HistoryManager;

// The state behind the history screen: the records last read from the store, the search, and
// what the footer and the empty state say. The popover keeps one and calls appear() each time
// the screen comes into view, which starts the screen afresh. Lives on the main thread.
class HistoryView : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the popover")
    Q_PROPERTY(QString searchQuery READ searchQuery WRITE setSearchQuery NOTIFY searchQueryChanged)
    Q_PROPERTY(lexwick::HistoryListModel* filteredItems READ filteredItems CONSTANT)
    Q_PROPERTY(bool showsEmptyState READ showsEmptyState NOTIFY listChanged)
    Q_PROPERTY(QString emptyTitle READ emptyTitle NOTIFY searchQueryChanged)
    Q_PROPERTY(QString emptyMessage READ emptyMessage NOTIFY searchQueryChanged)
    Q_PROPERTY(QString footerText READ footerText NOTIFY listChanged)
    Q_PROPERTY(bool showsClearAll READ showsClearAll NOTIFY listChanged)

public:
    explicit HistoryView(HistoryManager& history, QObject* parent = nullptr);
    ~HistoryView() override;

    const QList<HistoryItem>& items() const { return m_items; }
    const QString& searchQuery() const { return m_searchQuery; }
    HistoryListModel* filteredItems() { return &m_filtered; }
    bool showsEmptyState() const { return m_filtered.rowCount() == 0; }
    QString emptyTitle() const;
    QString emptyMessage() const;
    QString footerText() const;
    // Clear All is offered while there is anything to clear, found by the search or not.
    bool showsClearAll() const { return !m_items.isEmpty(); }

    void setSearchQuery(const QString& query);

    // The screen comes into view: empty search, no confirmations, the store's records.
    void appear();
    // The screen went: its relative times need no redrawing.
    void disappear() { m_clock.stop(); }

    // The card in that row of the filtered list: reuse, copy or delete its record.
    Q_INVOKABLE void reuse(int row);
    Q_INVOKABLE void copy(int row);
    Q_INVOKABLE void remove(int row);
    // Deletes every record, also those the search hides.
    Q_INVOKABLE void clearAll();
    // The close button and Done.
    Q_INVOKABLE void close() { Q_EMIT closeRequested(); }

Q_SIGNALS:
    void searchQueryChanged();
    // The records or the filtered list changed.
    void listChanged();
    // The screen's list was replaced by what the store handed back (tests wait for it).
    void itemsReplaced();
    void selected(const lexwick::HistoryItem& item);
    void closeRequested();

private:
    QCoro::Task<void> load();
    QCoro::Task<void> deleteAndReload(QUuid id);
    QCoro::Task<void> clearStore();
    void setItems(const QList<HistoryItem>& items);
    void refilter();
    void refreshTimes();

    HistoryManager& m_history;
    QList<HistoryItem> m_items;
    QString m_searchQuery;
    HistoryListModel m_filtered;
    QTimer m_clock;
    int m_appearance = 0; // confirmations of an earlier appearance are not shown again
    std::stop_source m_lifetime;
};

} // namespace lexwick
