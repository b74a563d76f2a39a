// SPDX-License-Identifier: MIT
#include "settings/APIProvider.h"

#include "core/RawValue.h"

#include <utility>

namespace lexwick {

QString rawValue(APIProvider provider)
{
    switch (provider) {
    case APIProvider::groq:
        return QStringLiteral("groq");
    case APIProvider::openai:
        return QStringLiteral("openai");
    case APIProvider::anthropic:
        return QStringLiteral("anthropic");
    }
    std::unreachable();
}

QString displayName(APIProvider provider)
{
    switch (provider) {
    case APIProvider::groq:
        return QStringLiteral("Groq");
    case APIProvider::openai:
        return QStringLiteral("OpenAI");
    case APIProvider::anthropic:
        return QStringLiteral("Anthropic");
    }
    std::unreachable();
}

QString defaultModelId(APIProvider provider)
{
    return availableModels(provider).constFirst().id;
}

QUrl keyConsolePage(APIProvider provider)
{
    switch (provider) {
    case APIProvider::groq:
        return QUrl(QStringLiteral("https://console.groq.com/keys"));
    case APIProvider::openai:
        return QUrl(QStringLiteral("https://platform.openai.com/api-keys"));
    case APIProvider::anthropic:
        return QUrl(QStringLiteral("https://console.anthropic.com/settings/keys"));
    }
    std::unreachable();
}

QList<AIModel> availableModels(APIProvider provider)
{
    const auto model = [provider](const char* id, const char* name) {
        return AIModel{QString::fromLatin1(id), QString::fromLatin1(name), provider};
    };
    switch (provider) {
    case APIProvider::groq:
        return {model("llama-3.1-8b-instant", "Llama 3.1 8B (Fast)"),
                model("llama-3.1-70b-versatile", "Llama 3.1 70B (Smart)"),
                model("mixtral-8x7b-32768", "Mixtral 8x7B")};
    case APIProvider::openai:
        return {model("gpt-4o-mini", "GPT-4o Mini (Fast)"), model("gpt-4o", "GPT-4o (Smart)"),
                model("gpt-4-turbo", "GPT-4 Turbo")};
    case APIProvider::anthropic:
        return {model("claude-3-haiku-20240307", "Claude 3 Haiku (Fast)"),
                model("claude-3-5-sonnet-20241022", "Claude 3.5 Sonnet (Smart)"),
                model("claude-3-opus-20240229", "Claude 3 Opus (Best)")};
    }
    std::unreachable();
}

std::optional<APIProvider> apiProviderFromRawValue(QStringView raw)
{
    return fromRawValue(raw, allAPIProviders, rawValue);
}

} // namespace lexwick
