// SPDX-License-Identifier: MIT
#include "settings/KeychainManager.h"

#include "core/Log.h"
#include "settings/UserDefaults.h"

#include <QCoroSignal>
#include <QStringDecoder>

#include <qt6keychain/keychain.h>

using namespace Qt::StringLiterals;

namespace lexwick {

namespace {

struct Answer {
    QKeychain::Error error = QKeychain::OtherError;
    QString detail;
    QString text; // what a read found
};

// Runs one job and waits for its answer, at most `limit`. The job is ours until it answered:
// one that answers late deletes itself then, and its answer is not used.
QCoro::Task<Answer> finish(QKeychain::Job* job, std::chrono::milliseconds limit)
{
    job->setAutoDelete(false);
    job->start();
    const std::optional<QKeychain::Job*> finished =
        co_await qCoro(job, &QKeychain::Job::finished, limit);
    if (!finished) {
        job->setAutoDelete(true);
        co_return Answer{QKeychain::OtherError, QStringLiteral("no answer"), {}};
    }
    Answer answer{job->error(), job->errorString(), {}};
    if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(job))
        answer.text = read->textData();
    job->deleteLater();
    co_return answer;
}

QCoro::Task<Answer> readEntry(QObject* owner, QString service, QString account,
                              std::chrono::milliseconds limit)
{
    auto* job = new QKeychain::ReadPasswordJob(service, owner);
    job->setKey(account);
    auto task = finish(job, limit);
    co_return co_await std::move(task);
}

QCoro::Task<Answer> writeEntry(QObject* owner, QString service, QString account, QString key,
                               std::chrono::milliseconds limit)
{
    auto* job = new QKeychain::WritePasswordJob(service, owner);
    job->setKey(account);
    job->setTextData(key);
    auto task = finish(job, limit);
    co_return co_await std::move(task);
}

QCoro::Task<Answer> deleteEntry(QObject* owner, QString service, QString account,
                                std::chrono::milliseconds limit)
{
    auto* job = new QKeychain::DeletePasswordJob(service, owner);
    job->setKey(account);
    auto task = finish(job, limit);
    co_return co_await std::move(task);
}

std::unexpected<KeychainError> keyringFailed(const Answer& answer)
{
    return std::unexpected(KeychainError{KeychainError::Kind::keyringFailed, answer.detail});
}

} // namespace

QStringList KeychainManager::accounts()
{
    QStringList all;
    for (APIProvider provider : allAPIProviders)
        all.append(rawValue(provider));
    all.append(localServerAccount);
    return all;
}

KeychainManager::KeychainManager(UserDefaults& defaults, QObject* parent)
    : QObject(parent)
    , m_defaults(defaults)
{
}

QString KeychainManager::storageKey(APIProvider provider)
{
    return storageKey(rawValue(provider));
}

QString KeychainManager::storageKey(const QString& account)
{
    return QStringLiteral("lexwick_apikey_") + account;
}

QCoro::Task<void> KeychainManager::openKeyring(QString service,
                                               std::chrono::milliseconds answerLimit)
{
    if (m_store != Store::file || !m_service.isEmpty())
        co_return;
    m_service = service;
    m_answerLimit = answerLimit;
    m_store = Store::opening;

    // Every account must read cleanly (found or not found): a keyring that is locked, refuses
    // or is slow is not used for this run, so no key can be missed or written to the wrong
    // store.
    QHash<QString, QString> found;
    for (const QString& account : accounts()) {
        auto task = readEntry(this, m_service, account, m_answerLimit);
        const Answer answer = co_await std::move(task);
        if (answer.error == QKeychain::NoError) {
            found.insert(account, answer.text);
        } else if (answer.error != QKeychain::EntryNotFound) {
            m_keyringProblem =
                answer.detail.isEmpty() ? QStringLiteral("no keyring") : answer.detail;
            m_store = Store::file;
            logWarning(lcSettings,
                       QStringLiteral("Keyring not used, API keys stay in the settings file: ") +
                           m_keyringProblem);
            Q_EMIT storeChanged();
            co_return;
        }
    }
    m_keys = std::move(found);
    auto moving = migrate();
    if (!co_await std::move(moving)) {
        m_keys.clear();
        m_store = Store::file;
        Q_EMIT storeChanged();
        co_return;
    }
    m_store = Store::keyring;
    logLine(lcSettings, QStringLiteral("API keys are kept in the keyring"));
    Q_EMIT storeChanged();
}

QCoro::Task<bool> KeychainManager::migrate()
{
    // Each key leaves the file only once the keyring has confirmed it and given it back
    // unchanged; a key that fails stays in the file (and in use) and moves on a later start.
    // A keyring that refuses the first key takes none (a locked one finds nothing to read,
    // but can store nothing either): the file stays the store then.
    bool movedAny = false;
    for (const QString& account : accounts()) {
        const std::optional<QString> key = loadFromFile(account);
        if (!key) {
            // Bytes that are not text are no key, but they are not ours to drop.
            if (m_defaults.dataForKey(storageKey(account)))
                logWarning(
                    lcSettings,
                    u"The stored key of %1 is not text; left in the settings file"_s.arg(account));
            continue;
        }
        auto writing = writeEntry(this, m_service, account, *key, m_answerLimit);
        Answer readBack = co_await std::move(writing);
        if (readBack.error == QKeychain::NoError) {
            auto reading = readEntry(this, m_service, account, m_answerLimit);
            readBack = co_await std::move(reading);
        }
        if (readBack.error != QKeychain::NoError || readBack.text != *key) {
            const QString problem = readBack.error != QKeychain::NoError
                                        ? readBack.detail
                                        : u"it read back differently"_s;
            if (!movedAny) {
                m_keyringProblem = problem;
                logWarning(lcSettings,
                           u"Keyring not used, API keys stay in the settings file: "_s + problem);
                co_return false;
            }
            logWarning(
                lcSettings,
                u"Could not move the key of %1 to the keyring (%2); it stays in the settings "
                u"file"_s.arg(account, problem));
            m_keys.insert(account, *key);
            continue;
        }
        m_keys.insert(account, *key);
        m_defaults.removeObject(storageKey(account));
        movedAny = true;
    }
    co_return true;
}

QCoro::Task<void> KeychainManager::decided()
{
    while (m_store == Store::opening)
        co_await qCoro(this, &KeychainManager::storeChanged);
}

QCoro::Task<std::expected<void, KeychainError>> KeychainManager::save(QString key,
                                                                      APIProvider provider)
{
    auto task = save(std::move(key), rawValue(provider));
    co_return co_await std::move(task);
}

QCoro::Task<std::expected<void, KeychainError>> KeychainManager::save(QString key, QString account)
{
    if (!QStringView(key).isValidUtf16())
        co_return std::unexpected(KeychainError{KeychainError::Kind::invalidData, {}});
    auto waiting = decided();
    co_await std::move(waiting);
    if (m_store == Store::file) {
        m_defaults.setObject(key.toUtf8(), storageKey(account));
        co_return {};
    }
    auto writing = writeEntry(this, m_service, account, key, m_answerLimit);
    const Answer written = co_await std::move(writing);
    if (written.error != QKeychain::NoError)
        co_return keyringFailed(written);
    m_keys.insert(account, key);
    // A copy the file still held (not moved yet) is older than this one.
    if (m_defaults.dataForKey(storageKey(account)))
        m_defaults.removeObject(storageKey(account));
    co_return {};
}

std::optional<QString> KeychainManager::load(APIProvider provider) const
{
    return load(rawValue(provider));
}

std::optional<QString> KeychainManager::load(const QString& account) const
{
    if (m_store == Store::keyring) {
        const auto found = m_keys.constFind(account);
        return found == m_keys.cend() ? std::nullopt : std::optional<QString>(*found);
    }
    return loadFromFile(account);
}

std::optional<QString> KeychainManager::loadFromFile(const QString& account) const
{
    const std::optional<QByteArray> bytes = m_defaults.dataForKey(storageKey(account));
    if (!bytes)
        return std::nullopt;
    // A leading byte-order mark is part of the stored text, not a marker to drop.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    QString key = decoder.decode(*bytes);
    if (decoder.hasError())
        return std::nullopt;
    return key;
}

QCoro::Task<std::expected<void, KeychainError>> KeychainManager::remove(APIProvider provider)
{
    auto task = remove(rawValue(provider));
    co_return co_await std::move(task);
}

QCoro::Task<std::expected<void, KeychainError>> KeychainManager::remove(QString account)
{
    auto waiting = decided();
    co_await std::move(waiting);
    if (m_store == Store::keyring) {
        auto deleting = deleteEntry(this, m_service, account, m_answerLimit);
        const Answer deleted = co_await std::move(deleting);
        if (deleted.error != QKeychain::NoError && deleted.error != QKeychain::EntryNotFound)
            co_return keyringFailed(deleted);
        m_keys.remove(account);
    }
    if (m_defaults.dataForKey(storageKey(account)))
        m_defaults.removeObject(storageKey(account));
    co_return {};
}

} // namespace lexwick
