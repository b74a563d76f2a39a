// SPDX-License-Identifier: MIT
#include "core/RetryHandler.h"

#include "core/CancellableSleep.h"
#include "core/Log.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <limits>

namespace lexwick {

namespace {

// Uniform in the closed range [0, 0.25]: 2^53 + 1 equally likely steps, both ends included.
double drawJitter()
{
    constexpr quint64 steps = quint64(1) << 53;
    const quint64 draw = QRandomGenerator::system()->bounded(steps + 1);
    return 0.25 * (double(draw) / double(steps));
}

// QTimer counts whole milliseconds in an int.
QCoro::Task<Result<void>> timerSleep(std::chrono::nanoseconds duration, std::stop_token stop)
{
    using std::chrono::milliseconds;
    const milliseconds longest(std::numeric_limits<int>::max());
    const milliseconds rounded = std::chrono::ceil<milliseconds>(duration);
    return cancellableSleep(std::min(rounded, longest), std::move(stop));
}

} // namespace

RetryHandler::RetryHandler(int maxAttempts, double baseDelay, double maxDelay, Sleeper sleeper)
    : m_maxAttempts(maxAttempts)
    , m_baseDelay(baseDelay)
    , m_maxDelay(maxDelay)
    , m_sleeper(sleeper ? std::move(sleeper) : Sleeper(&timerSleep))
{
}

bool RetryHandler::isRetryable(const Error& error)
{
    if (const auto* transport = error.as<TransportError>()) {
        switch (transport->kind) {
        case TransportError::Kind::timedOut:
        case TransportError::Kind::networkConnectionLost:
        case TransportError::Kind::notConnectedToInternet:
        case TransportError::Kind::cannotConnectToHost:
        case TransportError::Kind::cannotFindHost:
            return true;
        case TransportError::Kind::cancelled:
        case TransportError::Kind::other:
            return false;
        }
    }
    if (const auto* retry = error.as<RetryError>())
        return retry->kind == RetryError::Kind::retryableHTTPError;
    return false;
}

bool RetryHandler::isRetryableStatusCode(int code)
{
    return std::ranges::find(retryableStatusCodes, code) != retryableStatusCodes.end();
}

double RetryHandler::pauseAfter(int attemptIndex) const
{
    const double raw = std::ldexp(m_baseDelay, attemptIndex);
    const double stretched = raw + raw * drawJitter();
    const double pause = std::min(stretched, m_maxDelay);
    return pause > 0 ? pause : 0; // also when a parameter is not a number
}

void RetryHandler::logRetry(int attemptIndex, double pause, const Error& error) const
{
    logWarning(lcHttp, QStringLiteral("Retry attempt ") + QString::number(attemptIndex + 1) + u'/' +
                           QString::number(m_maxAttempts) + QStringLiteral(" after ") +
                           QString::asprintf("%.1f", pause) + QStringLiteral("s - ") +
                           error.localizedDescription());
}

QCoro::Task<Result<void>> RetryHandler::sleep(double pause, std::stop_token stop) const
{
    // Whole nanoseconds, truncated; a pause beyond what the clock can count is cut to its limit.
    const double nanoseconds = std::trunc(pause * 1e9);
    const auto duration =
        nanoseconds < double(std::chrono::nanoseconds::max().count())
            ? std::chrono::nanoseconds(static_cast<std::chrono::nanoseconds::rep>(nanoseconds))
            : std::chrono::nanoseconds::max();
    return m_sleeper(duration, std::move(stop));
}

} // namespace lexwick
