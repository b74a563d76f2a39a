// SPDX-License-Identifier: MIT
#include "core/AIError.h"

#include "core/Error.h"
#include "core/Overloaded.h"

#include <QStringList>

namespace lexwick {

QString localModelStateMessage(LocalAIAvailability availability)
{
    switch (availability) {
    case LocalAIAvailability::available:
        return QStringLiteral("On-device AI is ready");
    case LocalAIAvailability::appleIntelligenceDisabled:
        return QStringLiteral("Enable Apple Intelligence in System Settings to use on-device AI");
    case LocalAIAvailability::modelNotReady:
        return QStringLiteral("The local model server does not have the model.");
    case LocalAIAvailability::deviceNotEligible:
        return QStringLiteral("Your device doesn't support on-device AI.");
    case LocalAIAvailability::unavailable:
        return QStringLiteral("No local model server answers.");
    case LocalAIAvailability::modelLoading:
        return QStringLiteral("The local model server is still loading the model.");
    case LocalAIAvailability::serverNeedsKey:
        return QStringLiteral("The local model server asks for an API key.");
    }
    std::unreachable();
}

QString rawValue(PIIType type)
{
    switch (type) {
    case PIIType::email:
        return QStringLiteral("Email");
    case PIIType::phone:
        return QStringLiteral("Phone Number");
    case PIIType::ssn:
        return QStringLiteral("Social Security Number");
    case PIIType::creditCard:
        return QStringLiteral("Credit Card");
    case PIIType::ipAddress:
        return QStringLiteral("IP Address");
    }
    std::unreachable();
}

AIError AIError::networkError(Error underlying)
{
    return AIError(NetworkError{std::make_shared<const Error>(std::move(underlying))});
}

AIError AIError::wrapping(const Error& error)
{
    if (const AIError* aiError = error.as<AIError>())
        return *aiError;
    return networkError(error);
}

QString AIError::errorDescription() const
{
    return std::visit(
        Overloaded{
            [](const HttpError& e) -> QString {
                return QStringLiteral("Server error: HTTP ") + QString::number(e.statusCode);
            },
            [](const ApiError& e) -> QString { return QStringLiteral("API Error: ") + e.message; },
            [](const NetworkError& e) -> QString {
                return QStringLiteral("Network error: ") + e.underlying->localizedDescription();
            },
            [](const LocalModelUnavailable& e) -> QString {
                const QString state = localModelStateMessage(e.availability);
                return e.answeredBy.isEmpty()
                           ? state
                           : state + u' ' + e.answeredBy + QStringLiteral(" answered instead.");
            },
            [](const InputTooLong& e) -> QString {
                return QStringLiteral("Text too long (%1 characters). Maximum is %2.")
                    .arg(e.current)
                    .arg(e.max);
            },
            [](const PiiDetected& e) -> QString {
                QStringList names;
                for (PIIType type : e.types)
                    names << rawValue(type);
                return QStringLiteral("Sensitive data detected: ") + names.join(u", ") +
                       QStringLiteral(". Please remove before processing.");
            },
            [](const EmptyInput&) -> QString {
                return QStringLiteral("Please enter some text to process.");
            },
            [](const MissingAPIKey& e) -> QString {
                const QString missing = QStringLiteral("API key not configured. Please add your ") +
                                        e.provider + QStringLiteral(" API key.");
                return e.localModel ? localModelStateMessage(*e.localModel) + u' ' + missing
                                    : missing;
            },
            [](const InvalidURL&) -> QString { return QStringLiteral("Invalid API URL."); },
            [](const InvalidResponse&) -> QString {
                return QStringLiteral("Received an invalid response from the server.");
            },
            [](const NoContent&) -> QString {
                return QStringLiteral("No response content received.");
            },
            [](const Cancelled&) -> QString { return QStringLiteral("Request was cancelled."); },
            [](const LocalModelError& e) -> QString {
                return QStringLiteral("Local model error: ") + e.description;
            },
        },
        m_case);
}

bool AIError::concernsProvider() const
{
    switch (kind()) {
    case Kind::inputTooLong:
    case Kind::piiDetected:
    case Kind::emptyInput:
    case Kind::cancelled:
        return false;
    case Kind::httpError:
    case Kind::apiError:
    case Kind::networkError:
    case Kind::localModelUnavailable:
    case Kind::missingAPIKey:
    case Kind::invalidURL:
    case Kind::invalidResponse:
    case Kind::noContent:
    case Kind::localModelError:
        return true;
    }
    std::unreachable();
}

} // namespace lexwick
