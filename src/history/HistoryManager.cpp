// SPDX-License-Identifier: MIT
#include "history/HistoryManager.h"

#include "core/Log.h"
#include "settings/UserDefaults.h"

#include <QCoroFuture>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QtConcurrent>

namespace lexwick {

QString HistoryManager::standardFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/lexwick/history.json");
}

HistoryManager::HistoryManager(QString filePath, UserDefaults& settings)
    : m_filePath(std::move(filePath))
    , m_settings(settings)
{
    // One thread, and a queue served in order: the operations are serialised.
    m_worker.setMaxThreadCount(1);
    m_worker.start([this] {
        moveFromSettings();
        load();
    });
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

namespace {

// Replaces the file atomically, readable by its owner alone, in a folder only they can enter.
bool writePrivately(const QString& path, const QByteArray& bytes)
{
    const QString folder = QFileInfo(path).absolutePath();
    QSaveFile file(path);
    const bool written =
        QDir().mkpath(folder) &&
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner) &&
        file.open(QIODevice::WriteOnly) &&
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
        file.write(bytes) == bytes.size() && file.commit();
    if (!written)
        logCritical(lcHistory, QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    return written;
}

} // namespace

void HistoryManager::moveFromSettings()
{
    // The stored bytes move unchanged, records that cannot be read included; each leaves the
    // settings only once its file is written. A start that finds both (a kill came between
    // the two writes) keeps the file, written from those same bytes.
    const QStringList asideKeys = m_settings.keys().filter(unreadableKeyPrefix);
    for (const QString& key : asideKeys) {
        const QString path = m_filePath + QStringLiteral(".") + key.mid(storageKey.size() + 1);
        const std::optional<QByteArray> bytes = m_settings.dataForKey(key);
        if (bytes && (QFile::exists(path) || writePrivately(path, *bytes)))
            m_settings.removeObject(key);
    }
    const std::optional<QByteArray> stored = m_settings.dataForKey(storageKey);
    if (!stored)
        return;
    if (!QFile::exists(m_filePath) && !writePrivately(m_filePath, *stored))
        return; // stays in the settings; read from there below
    m_settings.removeObject(storageKey);
    logLine(lcHistory, QStringLiteral("History moved from the settings to ") + m_filePath);
}

void HistoryManager::load()
{
    std::optional<QByteArray> stored;
    QFile file(m_filePath);
    if (file.open(QIODevice::ReadOnly))
        stored = file.readAll();
    else
        stored = m_settings.dataForKey(storageKey); // a move that could not write its file
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
    logWarning(lcHistory, QStringLiteral("Failed to load history: ") + problem);
    m_unreadable = *stored;
}

QString HistoryManager::asideFilePath() const
{
    return m_filePath + QStringLiteral(".unreadable-") +
           QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-hhmmss-zzz"));
}

void HistoryManager::save()
{
    if (m_unreadable) {
        const QString aside = asideFilePath();
        if (writePrivately(aside, *m_unreadable)) {
            m_unreadable.reset();
            logWarning(lcHistory,
                       QStringLiteral("History that could not be read is kept in ") + aside);
        } else {
            return; // saving now would lose it
        }
    }
    // The copy that could not be moved at start-up is replaced by this file.
    if (writePrivately(m_filePath, encodeHistory(m_items)) && m_settings.dataForKey(storageKey))
        m_settings.removeObject(storageKey);
}

} // namespace lexwick
