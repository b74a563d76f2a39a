// SPDX-License-Identifier: MIT
#pragma once

#include "backends/ProviderModels.h"
#include "core/HttpClient.h"
#include "core/ResponseCache.h"
#include "history/HistoryManager.h"
#include "localmodel/SystemLanguageModel.h"
#include "router/AIServiceProvider.h"
#include "settings/SettingsManager.h"
#include "settings/UserDefaults.h"

#include <QString>

namespace lexwick {

// The objects of which the application has one: built once, in dependency order, and handed
// down to whatever needs them; destroyed in the reverse order. Lives on the main thread.
class AppContext {
public:
    // On the key–value store kept in that file (the current user's by default).
    explicit AppContext(const QString& defaultsFile = UserDefaults::standardFilePath());
    AppContext(const AppContext&) = delete;
    AppContext& operator=(const AppContext&) = delete;

    UserDefaults defaults;
    HttpClient http;
    SystemLanguageModel localModel;
    SettingsManager settings;
    ProviderModels providerModels;
    ResponseCache cache;
    HistoryManager history;
    AIServiceProvider router;
};

} // namespace lexwick
