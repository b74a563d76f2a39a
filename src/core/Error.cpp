// SPDX-License-Identifier: MIT
#include "core/Error.h"

namespace lexwick {

QString CancellationError::localizedDescription() const
{
    return QStringLiteral("The operation was cancelled.");
}

QString RetryError::errorDescription() const
{
    switch (kind) {
    case Kind::retryableHTTPError:
        return QStringLiteral("HTTP error %1 (retrying)").arg(statusCode);
    case Kind::maxAttemptsReached:
        return QStringLiteral("Maximum retry attempts reached");
    case Kind::invalidResponse:
        return QStringLiteral("Invalid response received");
    }
    std::unreachable();
}

QString KeychainError::errorDescription() const
{
    switch (kind) {
    case Kind::invalidData:
        return QStringLiteral("Invalid data");
    case Kind::keyringFailed:
        return QStringLiteral("The keyring failed: ") + detail;
    }
    std::unreachable();
}

QString Error::localizedDescription() const
{
    return std::visit([](const auto& error) { return error.localizedDescription(); }, m_value);
}

} // namespace lexwick
