#pragma once

#include "history/HistoryItem.h"

#include <QCoroTask>
#include <QList>
#include <QThreadPool>
#include <QUuid>

namespace lexwick {

class UserDefaults;

// The 50 most recent records, newest first, kept in memory and in the key–value store.
// Every operation runs on the store's own worker thread, one at a time and in the order the
// operations were issued; callers await them without blocking their thread.
class HistoryManager {
public:
    static constexpr qsizetype maxItems = 50;
    static inline const QString storageKey = QStringLiteral("lexwick_history");
    // Followed by the time it was set aside.
    static inline const QString unreadableKeyPrefix =
        QStringLiteral("lexwick_history_unreadable-");

    // Loads what the store holds, as the first operation on the worker thread.
    explicit HistoryManager(UserDefaults& defaults);
    ~HistoryManager();
    HistoryManager(const HistoryManager&) = delete;
    HistoryManager& operator=(const HistoryManager&) = delete;

    QCoro::Task<QList<HistoryItem>> items();
    QCoro::Task<void> add(HistoryItem item);
    // Removes every record with that id, then saves.
    QCoro::Task<void> deleteItem(QUuid id);
    QCoro::Task<void> clear();

private:
    // Worker-thread side; m_items is only touched from there.
    void load();
    void save();

    UserDefaults& m_defaults;
    QList<HistoryItem> m_items;
    // The stored document as it was, when part of it could not be read; kept aside by the
    // first save, which would otherwise lose it.
    std::optional<QByteArray> m_unreadable;
    QThreadPool m_worker;
};

} // namespace lexwick
