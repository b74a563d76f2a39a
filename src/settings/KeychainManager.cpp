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
    return QStringLiteral("lexwick_apikey_") + rawValue(provider);
}

std::expected<void, KeychainError> KeychainManager::save(const QString& key,
                                                         APIProvider provider) const
{
    if (!QStringView(key).isValidUtf16())
        return std::unexpected(KeychainError{KeychainError::Kind::invalidData});
    m_defaults.setObject(key.toUtf8(), storageKey(provider));
    return {};
}

std::optional<QString> KeychainManager::load(APIProvider provider) const
{
    const std::optional<QByteArray> bytes = m_defaults.dataForKey(storageKey(provider));
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
    m_defaults.removeObject(storageKey(provider));
}

} // namespace lexwick
