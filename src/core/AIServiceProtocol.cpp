// SPDX-License-Identifier: MIT
#include "core/AIServiceProtocol.h"

namespace lexwick {

void AIServiceProtocol::beginRequest()
{
    setProcessing(true);
    setLastError(std::nullopt);
}

Result<GeneratedText>
AIServiceProtocol::finishRequest(std::expected<GeneratedText, AIError> outcome)
{
    if (!outcome)
        setLastError(outcome.error());
    setProcessing(false);
    if (!outcome)
        return std::unexpected(outcome.error());
    return *outcome;
}

void AIServiceProtocol::setProcessing(bool processing)
{
    if (m_isProcessing == processing)
        return;
    m_isProcessing = processing;
    Q_EMIT isProcessingChanged();
}

void AIServiceProtocol::setLastError(std::optional<AIError> error)
{
    // Errors carry no equality: every assignment is published, except none over none.
    if (!m_lastError && !error)
        return;
    m_lastError = std::move(error);
    Q_EMIT lastErrorChanged();
}

} // namespace lexwick
