// SPDX-License-Identifier: MIT
#include "ui/HistoryView.h"

#include "core/CancellableSleep.h"
#include "history/HistoryManager.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QJSEngine>
#include <QPointer>

#include <chrono>

namespace lexwick {

using namespace std::chrono_literals;

HistoryView::HistoryView(HistoryManager& history, QObject* parent)
    : QObject(parent)
    , m_history(history)
{
    QJSEngine::setObjectOwnership(&m_filtered, QJSEngine::CppOwnership);
    connect(&m_clock, &QTimer::timeout, this, &HistoryView::refreshTimes);
}

HistoryView::~HistoryView()
{
    m_lifetime.request_stop();
}

QString HistoryView::emptyTitle() const
{
    return m_searchQuery.isEmpty() ? QStringLiteral("No history yet")
                                   : QStringLiteral("No results found");
}

QString HistoryView::emptyMessage() const
{
    return m_searchQuery.isEmpty() ? QStringLiteral("Processed text will appear here")
                                   : QStringLiteral("Try a different search term");
}

QString HistoryView::footerText() const
{
    return QString::number(m_filtered.rowCount()) + QStringLiteral(" items");
}

void HistoryView::setSearchQuery(const QString& query)
{
    if (m_searchQuery == query)
        return;
    m_searchQuery = query;
    Q_EMIT searchQueryChanged();
    refilter();
}

void HistoryView::appear()
{
    ++m_appearance;
    m_filtered.clearCopied();
    setSearchQuery(QString());
    setItems({});
    refreshTimes();
    load();
}

void HistoryView::setItems(const QList<HistoryItem>& items)
{
    m_items = items;
    refilter();
}

void HistoryView::refilter()
{
    QList<HistoryItem> filtered;
    for (const HistoryItem& item : std::as_const(m_items)) {
        if (item.matches(m_searchQuery))
            filtered.append(item);
    }
    m_filtered.setItems(filtered);
    Q_EMIT listChanged();
}

// Relative times are redrawn every second while one of them counts seconds, otherwise every
// half minute, so none is more than a minute stale.
void HistoryView::refreshTimes()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    m_filtered.setNow(now);
    bool countsSeconds = false;
    for (const HistoryItem& item : m_filtered.items())
        countsSeconds |= item.timestamp.secsTo(now) < 60;
    m_clock.start(countsSeconds ? 1s : 30s);
}

QCoro::Task<void> HistoryView::load()
{
    QPointer self(this);
    QCoro::Task<QList<HistoryItem>> reading = m_history.items();
    const QList<HistoryItem> items = co_await std::move(reading);
    if (!self)
        co_return;
    setItems(items);
    refreshTimes();
    Q_EMIT itemsReplaced();
}

void HistoryView::reuse(int row)
{
    if (row >= 0 && row < m_filtered.rowCount())
        Q_EMIT selected(m_filtered.items()[row]);
}

void HistoryView::copy(int row)
{
    if (row < 0 || row >= m_filtered.rowCount())
        return;
    const HistoryItem& item = m_filtered.items()[row];
    QGuiApplication::clipboard()->setText(item.resultText);
    m_filtered.setCopied(item.id, true);
    // The first confirmation timer to end clears the card's confirmation, unless the screen
    // has been shown afresh since.
    runAfter(1500ms, m_lifetime.get_token(), this, [this, id = item.id, appearance = m_appearance] {
        if (m_appearance == appearance)
            m_filtered.setCopied(id, false);
    });
}

void HistoryView::remove(int row)
{
    if (row >= 0 && row < m_filtered.rowCount())
        deleteAndReload(m_filtered.items()[row].id);
}

QCoro::Task<void> HistoryView::deleteAndReload(QUuid id)
{
    QPointer self(this);
    QCoro::Task<void> deleting = m_history.deleteItem(id);
    co_await std::move(deleting);
    if (!self)
        co_return;
    QCoro::Task<void> reloading = load();
    co_await std::move(reloading);
}

void HistoryView::clearAll()
{
    clearStore();
}

QCoro::Task<void> HistoryView::clearStore()
{
    QPointer self(this);
    QCoro::Task<void> clearing = m_history.clear();
    co_await std::move(clearing);
    if (!self)
        co_return;
    setItems({});
    Q_EMIT itemsReplaced();
}

} // namespace lexwick
