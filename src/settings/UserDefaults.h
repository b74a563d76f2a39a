// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QCborMap>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace lexwick {

// The per-user key–value store: strings, booleans and byte strings under flat keys, in one
// file that every write replaces atomically before it returns. Safe from any thread.
class UserDefaults {
public:
    using Value = std::variant<QString, bool, QByteArray>;

    // The file of the current user's store, in the application's configuration folder.
    static QString standardFilePath();

    // A store kept in that file (tests, or another location).
    explicit UserDefaults(QString filePath);
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    // Each typed read gives nothing when the key is absent or holds another type.
    std::optional<QString> stringForKey(const QString& key) const;
    std::optional<Value> objectForKey(const QString& key) const;
    bool boolForKey(const QString& key) const; // false when absent
    std::optional<QByteArray> dataForKey(const QString& key) const;
    QStringList keys() const;

    void setObject(const QString& value, const QString& key);
    void setObject(const QByteArray& value, const QString& key);
    void setBool(bool value, const QString& key);
    void removeObject(const QString& key);

    const QString& filePath() const { return m_filePath; }

private:
    void removeStaleCopies();
    void load();
    void store(const QString& key, std::optional<Value> value);
    bool write(const QByteArray& encoded) const;

    const QString m_filePath;
    mutable QMutex m_mutex; // guards m_values and m_generation
    QCborMap m_values;
    quint64 m_generation = 0;
    QMutex m_writeMutex; // one writer at a time; guards m_writtenGeneration
    quint64 m_writtenGeneration = 0;
};

} // namespace lexwick
