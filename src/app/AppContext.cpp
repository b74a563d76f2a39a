#include "app/AppContext.h"

namespace lexwick {

AppContext::AppContext(const QString& defaultsFile)
    : defaults(defaultsFile)
    , localModel(http)
    , settings(defaults, localModel)
    , providerModels(settings, http)
    , history(defaults)
    , router(settings, http, cache)
{
}

} // namespace lexwick
