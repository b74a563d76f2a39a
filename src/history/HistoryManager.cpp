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
    // Kept whole, even past the limit: the next add trims it.
    Result<DecodedHistory> decoded = decodeHistory(*stored);
    QString problem;
    if (!decoded) {
        problem = decoded.error().localizedDescription();
    } else {
        m_items = std::move(decoded->items);
        problem = decoded->problem;
    }
    if (problem.isEmpty())
        return;
    logLine(QStringLiteral("Failed to load history: ") + problem);
    m_unreadable = *stored;
}

void HistoryManager::save()
{
    if (m_unreadable) {
        const QString aside = unreadableKeyPrefix +
                              QDateTime::currentDateTimeUtc().toString(
                                  QStringLiteral("yyyyMMdd-hhmmss-zzz"));
        m_defaults.setObject(*m_unreadable, aside);
        m_unreadable.reset();
        logLine(QStringLiteral("History that could not be read is kept under ") + aside);
    }
    m_defaults.setObject(encodeHistory(m_items), storageKey);
}

} // namespace lexwick
