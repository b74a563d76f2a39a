// SPDX-License-Identifier: MIT
#include "settings/AIProviderMode.h"


#include <utility>

namespace lexwick {

QString rawValue(AIProviderMode mode)
{
    switch (mode) {
    case AIProviderMode::local:
        return QStringLiteral("local");
    case AIProviderMode::cloud:
        return QStringLiteral("cloud");
    case AIProviderMode::custom:
        return QStringLiteral("custom");
    }
    std::unreachable();
}

QString displayName(AIProviderMode mode)
{
    switch (mode) {
    case AIProviderMode::local:
        return QStringLiteral("On-Device (Local Model)");
    case AIProviderMode::cloud:
        return QStringLiteral("Cloud (Built-in)");
    case AIProviderMode::custom:
        return QStringLiteral("Custom API Key");
    }
    std::unreachable();
}

QString description(AIProviderMode mode)
{
    switch (mode) {
    case AIProviderMode::local:
        return QStringLiteral(
            "Private, no internet required. Requires a local model server such as Ollama.");
    case AIProviderMode::cloud:
        return QStringLiteral("Built-in cloud service coming soon.");
    case AIProviderMode::custom:
        return QStringLiteral("Use your own API key from Groq, OpenAI, or Anthropic.");
    }
    std::unreachable();
}

QString icon(AIProviderMode mode)
{
    switch (mode) {
    case AIProviderMode::local:
        return QStringLiteral("cpu");
    case AIProviderMode::cloud:
        return QStringLiteral("cloud");
    case AIProviderMode::custom:
        return QStringLiteral("key");
    }
    std::unreachable();
}

} // namespace lexwick
