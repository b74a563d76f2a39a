// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <type_traits>
#include <variant>

namespace lexwick {

class Error;

namespace LocalAIAvailabilities {
Q_NAMESPACE
// The states of the on-device model. On this platform it is a model server on this machine:
// `unavailable` is no server answering, `modelNotReady` a server without the model,
// `modelLoading` a server still loading it, `serverNeedsKey` a server that asks for an API key.
// The other platform's two remaining states never occur here.
enum class LocalAIAvailability {
    available,
    appleIntelligenceDisabled,
    modelNotReady,
    deviceNotEligible,
    unavailable,
    modelLoading,
    serverNeedsKey
};
Q_ENUM_NS(LocalAIAvailability)
} // namespace LocalAIAvailabilities
using LocalAIAvailabilities::LocalAIAvailability;

namespace PIITypes {
Q_NAMESPACE
// The kinds of personal data that stop a request from leaving the machine.
enum class PIIType { email, phone, ssn, creditCard, ipAddress };
Q_ENUM_NS(PIIType)
} // namespace PIITypes
using PIITypes::PIIType;

inline constexpr std::array allPIITypes{PIIType::email, PIIType::phone, PIIType::ssn,
                                        PIIType::creditCard, PIIType::ipAddress};

// The user-facing label of a kind of personal data.
QString rawValue(PIIType type);

// The one error type that callers above the router see. Every case has a fixed message.
class AIError {
public:
    struct HttpError {
        int statusCode;
    };
    struct ApiError {
        QString message;
    };
    struct NetworkError {
        std::shared_ptr<const Error> underlying; // shared between copies, never null
    };
    struct LocalModelUnavailable {
        LocalAIAvailability availability;
        // The custom provider that answered instead, when one did.
        QString answeredBy = {};
    };
    struct InputTooLong {
        int current;
        int max;
    };
    struct PiiDetected {
        QList<PIIType> types;
    };
    struct EmptyInput {};
    struct MissingAPIKey {
        QString provider = QStringLiteral("Groq"); // whose key is missing
        // Why the on-device model, which the user chose, could not answer first.
        std::optional<LocalAIAvailability> localModel = std::nullopt;
    };
    struct InvalidURL {};
    struct InvalidResponse {};
    struct NoContent {};
    struct Cancelled {};
    // The on-device model failed to generate; its own words.
    struct LocalModelError {
        QString description;
    };

    // In the order of the alternatives of Case; the assertions below the class hold them together.
    enum class Kind {
        httpError,
        apiError,
        networkError,
        localModelUnavailable,
        inputTooLong,
        piiDetected,
        emptyInput,
        missingAPIKey,
        invalidURL,
        invalidResponse,
        noContent,
        cancelled,
        localModelError
    };

    using Case = std::variant<HttpError, ApiError, NetworkError, LocalModelUnavailable,
                              InputTooLong, PiiDetected, EmptyInput, MissingAPIKey, InvalidURL,
                              InvalidResponse, NoContent, Cancelled, LocalModelError>;

    AIError(Case value)
        : m_case(std::move(value))
    {
    }

    static AIError networkError(Error underlying);
    // The error itself when it is an AIError, else a networkError around it.
    static AIError wrapping(const Error& error);

    Kind kind() const { return static_cast<Kind>(m_case.index()); }
    const Case& value() const { return m_case; }
    template <typename C> const C* as() const { return std::get_if<C>(&m_case); }

    // The message shown to the user; also the localised description.
    QString errorDescription() const;
    QString localizedDescription() const { return errorDescription(); }

    // Whether the error is about where the text went (the provider, its key, the model server,
    // their answers) rather than about the text itself or the user's cancelling: such an error
    // says nothing once the user has changed that setting.
    bool concernsProvider() const;

private:
    Case m_case;
};

namespace detail {
template <AIError::Kind kind, typename Alternative>
inline constexpr bool kindNames =
    std::is_same_v<std::variant_alternative_t<static_cast<std::size_t>(kind), AIError::Case>,
                   Alternative>;
} // namespace detail

static_assert(std::variant_size_v<AIError::Case> ==
              static_cast<std::size_t>(AIError::Kind::localModelError) + 1);
static_assert(detail::kindNames<AIError::Kind::httpError, AIError::HttpError>);
static_assert(detail::kindNames<AIError::Kind::apiError, AIError::ApiError>);
static_assert(detail::kindNames<AIError::Kind::networkError, AIError::NetworkError>);
static_assert(
    detail::kindNames<AIError::Kind::localModelUnavailable, AIError::LocalModelUnavailable>);
static_assert(detail::kindNames<AIError::Kind::inputTooLong, AIError::InputTooLong>);
static_assert(detail::kindNames<AIError::Kind::piiDetected, AIError::PiiDetected>);
static_assert(detail::kindNames<AIError::Kind::emptyInput, AIError::EmptyInput>);
static_assert(detail::kindNames<AIError::Kind::missingAPIKey, AIError::MissingAPIKey>);
static_assert(detail::kindNames<AIError::Kind::invalidURL, AIError::InvalidURL>);
static_assert(detail::kindNames<AIError::Kind::invalidResponse, AIError::InvalidResponse>);
static_assert(detail::kindNames<AIError::Kind::noContent, AIError::NoContent>);
static_assert(detail::kindNames<AIError::Kind::cancelled, AIError::Cancelled>);
static_assert(detail::kindNames<AIError::Kind::localModelError, AIError::LocalModelError>);

// What the on-device model's state means for the user, in one sentence.
QString localModelStateMessage(LocalAIAvailability availability);

} // namespace lexwick
