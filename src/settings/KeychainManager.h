#pragma once

#include "core/Error.h"
#include "settings/APIProvider.h"

#include <expected>
#include <optional>

namespace lexwick {

class UserDefaults;

// One API key per provider (and one for the local model server, the account "local"), kept as
// the key's UTF-8 bytes in the key–value store under "lexwick_apikey_" + the provider's raw
// value (or the account). Holds no state of its own.
class KeychainManager {
public:
    static inline const QString localServerAccount = QStringLiteral("local");

    explicit KeychainManager(UserDefaults& defaults);

    // Fails with invalidData when the text is not valid UTF-16 (a lone surrogate) and so has
    // no UTF-8 form; nothing is stored then.
    std::expected<void, KeychainError> save(const QString& key, APIProvider provider) const;
    std::expected<void, KeychainError> save(const QString& key, const QString& account) const;
    // Nothing when no key is stored or its bytes are not UTF-8.
    std::optional<QString> load(APIProvider provider) const;
    std::optional<QString> load(const QString& account) const;
    void remove(APIProvider provider) const;
    void remove(const QString& account) const;

    static QString storageKey(APIProvider provider);
    static QString storageKey(const QString& account);

private:
    UserDefaults& m_defaults;
};

} // namespace lexwick
