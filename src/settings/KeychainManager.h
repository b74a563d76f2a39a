// SPDX-License-Identifier: MIT
#pragma once

#include "core/Error.h"
#include "settings/APIProvider.h"

#include <QCoroTask>
#include <QHash>
#include <QObject>
#include <QStringList>

#include <chrono>
#include <expected>
#include <optional>

namespace lexwick {

class UserDefaults;

// One API key per provider (and one for the local model server, the account "local").
//
// Keys live in one of two stores, decided once per run and never mixed per call: the system
// keyring (the Secret Service, through QtKeychain, one entry per account under the
// application id), or the key–value store's file as "lexwick_apikey_" + the account, the
// key's UTF-8 bytes. A store starts on the file; openKeyring() looks for the keyring and, when
// it answers, moves the file's keys into it. Reads come from memory and never wait: the
// keyring's entries are read once when it is opened, and every write goes through to the store
// before it is kept in memory. Lives on the main thread.
class KeychainManager : public QObject {
    Q_OBJECT

public:
    enum class Store {
        file,    // no keyring was asked, or none answered: keys are in the settings file
        opening, // the keyring is being asked; reads give the file's keys, writes wait
        keyring, // the keyring answered: keys are there
    };
    Q_ENUM(Store)

    static inline const QString localServerAccount = QStringLiteral("local");
    // Every account a key may be stored under.
    static QStringList accounts();

    explicit KeychainManager(UserDefaults& defaults, QObject* parent = nullptr);

    // Asks the keyring under `service`, at most `answerLimit` for each answer. When every
    // account could be read, the keyring is the store for this run and each key of the file
    // is written to it, read back, and only then removed from the file. Otherwise the file
    // stays the store and keyringProblem() says why. Runs once; later calls do nothing.
    QCoro::Task<void> openKeyring(QString service,
                                  std::chrono::milliseconds answerLimit = std::chrono::seconds(30));

    Store store() const { return m_store; }
    // What the keyring answered when it was not chosen; empty otherwise.
    const QString& keyringProblem() const { return m_keyringProblem; }
    // Resolves when the store is decided (at once when it already is).
    QCoro::Task<void> decided();

    // Fails with invalidData when the text is not valid UTF-16 (a lone surrogate) and so has
    // no UTF-8 form, and with keyringFailed when the keyring refuses; nothing is stored then.
    QCoro::Task<std::expected<void, KeychainError>> save(QString key, QString account);
    QCoro::Task<std::expected<void, KeychainError>> save(QString key, APIProvider provider);
    // Nothing when no key is stored or its bytes are not UTF-8.
    std::optional<QString> load(APIProvider provider) const;
    std::optional<QString> load(const QString& account) const;
    // Removing an absent key is no error; a keyring that refuses is.
    QCoro::Task<std::expected<void, KeychainError>> remove(QString account);
    QCoro::Task<std::expected<void, KeychainError>> remove(APIProvider provider);

    static QString storageKey(APIProvider provider);
    static QString storageKey(const QString& account);

Q_SIGNALS:
    // The store was decided; the keys read may differ from before.
    void storeChanged();

private:
    std::optional<QString> loadFromFile(const QString& account) const;
    // False when the keyring took none of the file's keys and should not be used.
    QCoro::Task<bool> migrate();

    UserDefaults& m_defaults;
    Store m_store = Store::file;
    QString m_service;
    std::chrono::milliseconds m_answerLimit{0};
    QString m_keyringProblem;
    // With the keyring: its keys, and those of the file not moved yet.
    QHash<QString, QString> m_keys;
};

} // namespace lexwick
