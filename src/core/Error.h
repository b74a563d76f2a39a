// SPDX-License-Identifier: MIT
#pragma once

#include "core/AIError.h"

#include <QString>

#include <expected>
#include <variant>

namespace lexwick {

// The task that ran the operation was cancelled.
struct CancellationError {
    QString localizedDescription() const;
};

// A failure of the transport below HTTP, or of the transfer itself.
struct TransportError {
    enum class Kind {
        timedOut,
        networkConnectionLost,
        notConnectedToInternet,
        cannotConnectToHost,
        cannotFindHost,
        cancelled, // the transfer was aborted, but not by the task's cancellation
        other
    };
    Kind kind;
    QString description; // readable and localised

    QString localizedDescription() const { return description; }
};

// A body that is not what the protocol promised.
struct DecodingError {
    QString description;

    QString localizedDescription() const { return description; }
};

struct RetryError {
    enum class Kind { retryableHTTPError, maxAttemptsReached, invalidResponse };
    Kind kind;
    int statusCode = 0; // with retryableHTTPError

    QString errorDescription() const;
    QString localizedDescription() const { return errorDescription(); }
};

struct KeychainError {
    // keyringFailed: the system keyring refused or did not answer; detail says what it said.
    enum class Kind { invalidData, keyringFailed };
    Kind kind = Kind::invalidData;
    QString detail;

    QString errorDescription() const;
    QString localizedDescription() const { return errorDescription(); }
};

// A failure of the on-device model while it generates. It reads two ways, as the platform's
// own generation errors do: a localised description for people, and a plain one that names
// the case and its detail (a cancelled generation's says "cancelled").
struct GenerationError {
    enum class Kind { cancelled, modelUnavailable, connectionFailed, serverError, invalidAnswer };
    Kind kind;
    QString description;      // readable and localised
    QString debugDescription; // plain: "GenerationError.<case>(<detail>)"

    QString localizedDescription() const { return description; }
};

// Any error of the system. Failing operations return it (or one of its alternatives) through
// std::expected; nothing is thrown.
class Error {
public:
    using Value = std::variant<AIError, TransportError, DecodingError, RetryError, KeychainError,
                               CancellationError, GenerationError>;

    template <typename E>
    requires std::is_constructible_v<Value, E> Error(E error)
        : m_value(std::move(error))
    {
    }

    const Value& value() const { return m_value; }
    template <typename E> const E* as() const { return std::get_if<E>(&m_value); }
    template <typename E> bool is() const { return std::holds_alternative<E>(m_value); }

    QString localizedDescription() const;

private:
    Value m_value;
};

template <typename T> using Result = std::expected<T, Error>;

} // namespace lexwick
