#include "history/HistoryManager.h"

#include "core/Log.h"
#include "settings/UserDefaults.h"

#include <QCoroFuture>
#include <QtConcurrent>

namespace lexwick {

HistoryManager::HistoryManager(UserDefaults& defaults)
    : m_defaults(defaults)
{
    // One thread, and a queue served in order: the operations are serialised.
    m_worker.setMaxThreadCount(1);
    m_worker.start([this] { load(); });
}

HistoryManager::~HistoryManager()
{
    m_worker.waitForDone();
}

QCoro::Task<QList<HistoryItem>> HistoryManager::items()
{
    QFuture<QList<HistoryItem>> copy = QtConcurrent::run(&m_worker, [this] { return m_items; });
    co_return co_await copy;
}

QCoro::Task<void> HistoryManager::add(HistoryItem item)
{
    QFuture<void> done = QtConcurrent::run(&m_worker, [this, item = std::move(item)] {
        m_items.prepend(item);
        if (m_items.size() > maxItems)
            m_items.resize(maxItems);
        save();
    });
    co_await done;
}

QCoro::Task<void> HistoryManager::deleteItem(QUuid id)
{
    QFuture<void> done = QtConcurrent::run(&m_worker, [this, id] {
        m_items.removeIf([id](const HistoryItem& item) { return item.id == id; });
        save();
    });
    co_await done;
}

QCoro::Task<void> HistoryManager::clear()
{
    QFuture<void> done = QtConcurrent::run(&m_worker, [this] {
        m_items.clear();
        save();
    });
    co_await done;
}

void HistoryManager::load()
{
    const std::optional<QByteArray> stored = m_defaults.dataForKey(storageKey);
    if (!stored)
        return;
    // Kept whole, even past the limit: the next add trims it. An unreadable document stays
    // in the store until the next save replaces it.
    Result<QList<HistoryItem>> decoded = decodeHistory(*stored);
    if (decoded)
        m_items = std::move(*decoded);
    else
        logLine(QStringLiteral("Failed to load history: ") +
                decoded.error().localizedDescription());
}

void HistoryManager::save() const
{
    m_defaults.setObject(encodeHistory(m_items), storageKey);
}

} // namespace lexwick
