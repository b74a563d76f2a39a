// SPDX-License-Identifier: MIT
#pragma once

#include "history/HistoryItem.h"

#include <QCoroTask>
#include <QList>
#include <QThreadPool>
#include <QUuid>

namespace lexwick {

class UserDefaults;

// The 50 most recent records, newest first, kept in memory and in a file of their own in the
// user's data folder (written atomically, mode 0600 in a 0700 folder), away from the settings,
// which people copy between machines. A history the settings file still holds (older
// versions kept it there) moves to that file on the first start. Every operation runs on the
// store's own worker thread, one at a time and in the order the operations were issued; callers
// await them without blocking their thread.
class HistoryManager {
public:
    static constexpr qsizetype maxItems = 50;
    // Where older versions kept the history in the settings, and what they set aside.
    static inline const QString storageKey = QStringLiteral("lexwick_history");
    static inline const QString unreadableKeyPrefix =
        QStringLiteral("lexwick_history_unreadable-");

    // $XDG_DATA_HOME/lexwick/history.json
    static QString standardFilePath();

    // Loads the history kept in `filePath` (after moving the one `settings` still holds there),
    // as the first operation on the worker thread.
    HistoryManager(QString filePath, UserDefaults& settings);
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
    void moveFromSettings();
    void save();
    // Beside the history file, named after it and the time.
    QString asideFilePath() const;

    const QString m_filePath;
    UserDefaults& m_settings;
    QList<HistoryItem> m_items;
    // The stored document as it was, when part of it could not be read; kept aside by the
    // first save, which would otherwise lose it.
    std::optional<QByteArray> m_unreadable;
    QThreadPool m_worker;
};

} // namespace lexwick
