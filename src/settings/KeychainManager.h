#pragma once

#include "core/Error.h"
#include "settings/APIProvider.h"

#include <expected>
#include <optional>

namespace lexwick {

class UserDefaults;

// One API key per provider, kept as the key's UTF-8 bytes in the key–value store under
// "lexwick_apikey_" + the provider's raw value. Holds no state of its own.
class KeychainManager {
public:
    explicit KeychainManager(UserDefaults& defaults);

    // Fails with invalidData when the text is not valid UTF-16 (a lone surrogate) and so has
    // no UTF-8 form; nothing is stored then.
    std::expected<void, KeychainError> save(const QString& key, APIProvider provider) const;
    // Nothing when no key is stored or its bytes are not UTF-8.
    std::optional<QString> load(APIProvider provider) const;
    void remove(APIProvider provider) const;

    static QString storageKey(APIProvider provider);

private:
    UserDefaults& m_defaults;
};

} // namespace lexwick
