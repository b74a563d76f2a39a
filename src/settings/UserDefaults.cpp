// SPDX-License-Identifier: MIT
#include "settings/UserDefaults.h"

#include "core/Log.h"

#include <QCborValue>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

namespace lexwick {

namespace {

// Strings, booleans and byte strings are CBOR's own types, so each value keeps its type on
// disk without any tagging of ours.
std::optional<UserDefaults::Value> fromCbor(const QCborValue& value)
{
    if (value.isString())
        return value.toString();
    if (value.isBool())
        return value.toBool();
    if (value.isByteArray())
        return value.toByteArray();
    return std::nullopt;
}

QCborValue toCbor(const UserDefaults::Value& value)
{
    return std::visit([](const auto& v) { return QCborValue(v); }, value);
}

} // namespace

QString UserDefaults::standardFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
           QStringLiteral("/defaults.cbor");
}

UserDefaults::UserDefaults(QString filePath)
    : m_filePath(std::move(filePath))
{
    removeStaleCopies();
    load();
}

void UserDefaults::removeStaleCopies()
{
    // A writer killed before its commit leaves QSaveFile's copy, "<name>.XXXXXX", which holds
    // the API keys like the store itself. Only names of exactly that form are ours.
    const QFileInfo store(m_filePath);
    const QRegularExpression copy(QStringLiteral("^%1\\.[A-Za-z0-9]{6}$")
                                      .arg(QRegularExpression::escape(store.fileName())));
    const QFileInfoList candidates = store.dir().entryInfoList(
        {store.fileName() + QStringLiteral(".??????")}, QDir::Files | QDir::Hidden | QDir::System);
    QStringList removed;
    for (const QFileInfo& candidate : candidates) {
        if (!candidate.isSymLink() && copy.match(candidate.fileName()).hasMatch() &&
            QFile::remove(candidate.filePath()))
            removed.append(candidate.fileName());
    }
    if (!removed.isEmpty())
        logLine(lcSettings, QStringLiteral("Removed unfinished copies of the settings file: ") +
                                removed.join(QStringLiteral(", ")));
}

void UserDefaults::load()
{
    QFile file(m_filePath);
    if (!file.exists())
        return;
    QString problem;
    if (file.open(QIODevice::ReadOnly)) {
        QCborParserError error;
        const QCborValue document = QCborValue::fromCbor(file.readAll(), &error);
        if (error.error != QCborError::NoError)
            problem = error.errorString();
        else if (!document.isMap())
            problem = QStringLiteral("not a map of values");
        else
            m_values = document.toMap();
    } else {
        problem = file.errorString();
    }
    if (problem.isEmpty())
        return;

    // Keep the unreadable file for whoever wants to rescue it; start afresh.
    file.close();
    const QString aside =
        m_filePath + QStringLiteral(".unreadable-") +
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-hhmmss-zzz"));
    const bool moved = QFile::rename(m_filePath, aside);
    logWarning(lcSettings, QStringLiteral("Settings file %1 could not be read (%2); %3")
                               .arg(m_filePath, problem,
                                    moved ? QStringLiteral("set aside as ") + aside
                                          : QStringLiteral("left in place")));
}

std::optional<QString> UserDefaults::stringForKey(const QString& key) const
{
    const auto value = objectForKey(key);
    if (const QString* string = value ? std::get_if<QString>(&*value) : nullptr)
        return *string;
    return std::nullopt;
}

std::optional<UserDefaults::Value> UserDefaults::objectForKey(const QString& key) const
{
    QMutexLocker lock(&m_mutex);
    return fromCbor(m_values.value(key));
}

bool UserDefaults::boolForKey(const QString& key) const
{
    const auto value = objectForKey(key);
    const bool* boolean = value ? std::get_if<bool>(&*value) : nullptr;
    return boolean && *boolean;
}

std::optional<QByteArray> UserDefaults::dataForKey(const QString& key) const
{
    const auto value = objectForKey(key);
    if (const QByteArray* data = value ? std::get_if<QByteArray>(&*value) : nullptr)
        return *data;
    return std::nullopt;
}

QStringList UserDefaults::keys() const
{
    QMutexLocker lock(&m_mutex);
    QStringList keys;
    for (auto it = m_values.constBegin(); it != m_values.constEnd(); ++it)
        keys.append(it.key().toString());
    return keys;
}

void UserDefaults::setObject(const QString& value, const QString& key)
{
    store(key, value);
}

void UserDefaults::setObject(const QByteArray& value, const QString& key)
{
    store(key, value);
}

void UserDefaults::setBool(bool value, const QString& key)
{
    store(key, value);
}

void UserDefaults::removeObject(const QString& key)
{
    store(key, std::nullopt);
}

void UserDefaults::store(const QString& key, std::optional<Value> value)
{
    QCborMap snapshot;
    quint64 generation = 0;
    {
        QMutexLocker lock(&m_mutex);
        if (value)
            m_values.insert(key, toCbor(*value));
        else
            m_values.remove(key);
        snapshot = m_values; // shared until the next change; encoded outside the lock
        generation = ++m_generation;
    }
    const QByteArray encoded = QCborValue(snapshot).toCbor();

    QMutexLocker writing(&m_writeMutex);
    // A writer that took its snapshot later may have got here first: the newer file stands.
    if (generation < m_writtenGeneration)
        return;
    if (write(encoded))
        m_writtenGeneration = generation;
}

bool UserDefaults::write(const QByteArray& encoded) const
{
    const QString folder = QFileInfo(m_filePath).absolutePath();
    if (!QDir().mkpath(folder) ||
        !QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner)) {
        logCritical(lcSettings,
                    QStringLiteral("Cannot prepare the settings folder %1").arg(folder));
        return false;
    }
    QSaveFile file(m_filePath);
    const bool written = file.open(QIODevice::WriteOnly) &&
                         file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
                         file.write(encoded) == encoded.size() && file.commit();
    if (!written)
        logCritical(lcSettings, QStringLiteral("Cannot save the settings file %1: %2")
                                    .arg(m_filePath, file.errorString()));
    return written;
}

} // namespace lexwick
