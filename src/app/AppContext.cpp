// SPDX-License-Identifier: MIT
#include "app/AppContext.h"

#include "app/ApplicationService.h"

namespace lexwick {

AppContext::AppContext(const QString& defaultsFile)
    : defaults(defaultsFile)
    , localModel(http)
    , settings(defaults, localModel)
    , providerModels(settings, http)
    , history(HistoryManager::standardFilePath(), defaults)
    , router(settings, http, cache)
{
    // Runs on by itself: until the keyring has answered, saves wait and reads give the file's.
    settings.keychain().openKeyring(ApplicationService::serviceName);
}

} // namespace lexwick
