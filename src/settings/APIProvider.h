// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringView>
#include <QUrl>

#include <array>
#include <optional>

namespace lexwick {

namespace APIProviders {
Q_NAMESPACE
// The providers a user can bring an API key for.
enum class APIProvider { groq, openai, anthropic };
Q_ENUM_NS(APIProvider)
} // namespace APIProviders
using APIProviders::APIProvider;

inline constexpr std::array allAPIProviders{APIProvider::groq, APIProvider::openai,
                                            APIProvider::anthropic};

// One selectable model of a provider; its identity is `id`.
struct AIModel {
    QString id;   // sent to the provider's API
    QString name; // shown in the model picker
    APIProvider provider;

    friend bool operator==(const AIModel&, const AIModel&) = default;
};

QString rawValue(APIProvider provider);
QString displayName(APIProvider provider);
QString defaultModelId(APIProvider provider);
// The provider's page where users create API keys.
QUrl keyConsolePage(APIProvider provider);
// The three models of the provider, in the order of the picker.
QList<AIModel> availableModels(APIProvider provider);
std::optional<APIProvider> apiProviderFromRawValue(QStringView raw);

} // namespace lexwick
