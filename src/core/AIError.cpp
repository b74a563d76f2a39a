#include "core/AIError.h"

#include "core/Error.h"
#include "core/Overloaded.h"

#include <QStringList>

namespace lexwick {

namespace {

QString availabilityMessage(LocalAIAvailability availability)
{
    switch (availability) {
    case LocalAIAvailability::available:
        return QStringLiteral("On-device AI is ready");
    case LocalAIAvailability::appleIntelligenceDisabled:
        return QStringLiteral("Enable Apple Intelligence in System Settings to use on-device AI");
    case LocalAIAvailability::modelNotReady:
        return QStringLiteral("On-device AI model is downloading. Please try again later.");
    case LocalAIAvailability::deviceNotEligible:
        return QStringLiteral("Your device doesn't support on-device AI. Using cloud API instead.");
    case LocalAIAvailability::unavailable:
        return QStringLiteral("On-device AI is not available. Using cloud API instead.");
    }
    std::unreachable();
}

} // namespace

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
                return availabilityMessage(e.availability);
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
            [](const MissingAPIKey&) -> QString {
                return QStringLiteral("API key not configured. Please add your Groq API key.");
            },
            [](const InvalidURL&) -> QString { return QStringLiteral("Invalid API URL."); },
            [](const InvalidResponse&) -> QString {
                return QStringLiteral("Received an invalid response from the server.");
            },
            [](const NoContent&) -> QString {
                return QStringLiteral("No response content received.");
            },
            [](const Cancelled&) -> QString { return QStringLiteral("Request was cancelled."); },
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
        return true;
    }
    std::unreachable();
}

} // namespace lexwick
