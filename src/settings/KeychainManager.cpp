#include "settings/KeychainManager.h"

#include "settings/UserDefaults.h"

#include <QStringDecoder>

namespace lexwick {

KeychainManager::KeychainManager(UserDefaults& defaults)
    : m_defaults(defaults)
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

std::expected<void, KeychainError> KeychainManager::save(const QString& key,
                                                         APIProvider provider) const
{
    return save(key, rawValue(provider));
}

std::expected<void, KeychainError> KeychainManager::save(const QString& key,
                                                         const QString& account) const
{
    if (!QStringView(key).isValidUtf16())
        return std::unexpected(KeychainError{KeychainError::Kind::invalidData});
    m_defaults.setObject(key.toUtf8(), storageKey(account));
    return {};
}

std::optional<QString> KeychainManager::load(APIProvider provider) const
{
    return load(rawValue(provider));
}

std::optional<QString> KeychainManager::load(const QString& account) const
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

void KeychainManager::remove(APIProvider provider) const
{
    remove(rawValue(provider));
}

void KeychainManager::remove(const QString& account) const
{
    m_defaults.removeObject(storageKey(account));
}

} // namespace lexwick
