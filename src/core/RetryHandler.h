// SPDX-License-Identifier: MIT
#pragma once

#include "core/Error.h"

#include <QCoroTask>

#include <array>
#include <chrono>
#include <functional>
#include <stop_token>
#include <type_traits>
#include <utility>

namespace lexwick {

namespace detail {

template <typename> struct RetryTaskValue {
};
template <typename T> struct RetryTaskValue<QCoro::Task<Result<T>>> {
    using type = T;
};

} // namespace detail

// Runs an operation again when it fails with an error judged transient, after a pause that
// doubles with every attempt and is stretched by a random jitter, up to a fixed number of
// attempts. A small value: copied freely, keeps nothing between calls.
class RetryHandler {
public:
    // Waits for the pause without blocking the thread; ends early with CancellationError when
    // the stop is requested. The default one is a real timer; tests may hand in their own.
    using Sleeper =
        std::function<QCoro::Task<Result<void>>(std::chrono::nanoseconds, std::stop_token)>;
    // Whether an error is transient.
    using Predicate = std::function<bool(const Error&)>;

    static constexpr std::array retryableStatusCodes{429, 500, 502, 503, 504};

    explicit RetryHandler(int maxAttempts = 3, double baseDelay = 1.0, double maxDelay = 30.0,
                          Sleeper sleeper = {});

    int maxAttempts() const { return m_maxAttempts; }
    double baseDelay() const { return m_baseDelay; }
    double maxDelay() const { return m_maxDelay; }

    // Runs operation (a callable returning QCoro::Task<Result<T>>, called afresh for every
    // attempt) and returns its result, or the error of the last attempt, or the first error
    // that shouldRetry (isRetryable when empty) does not judge transient, or CancellationError,
    // or RetryError::maxAttemptsReached when maxAttempts is below 1. The handler may be
    // destroyed while the returned task runs.
    template <typename Operation>
    auto execute(Operation operation, Predicate shouldRetry, std::stop_token stop) const
        -> QCoro::Task<Result<typename detail::RetryTaskValue<
            std::remove_cvref_t<std::invoke_result_t<Operation&>>>::type>>
    {
        using T = typename detail::RetryTaskValue<
            std::remove_cvref_t<std::invoke_result_t<Operation&>>>::type;
        return run<T>(*this, std::move(operation), std::move(shouldRetry), std::move(stop));
    }

    template <typename Operation> auto execute(Operation operation, std::stop_token stop) const
    {
        return execute(std::move(operation), Predicate{}, std::move(stop));
    }

    // The default classification: the transport's transient failures and
    // RetryError::retryableHTTPError.
    static bool isRetryable(const Error& error);
    static bool isRetryableStatusCode(int code);

private:
    template <typename T, typename Operation>
    static QCoro::Task<Result<T>> run(RetryHandler self, Operation operation, Predicate shouldRetry,
                                      std::stop_token stop);

    // The pause in seconds after the attempt with this index (0 = the first attempt).
    double pauseAfter(int attemptIndex) const;
    void logRetry(int attemptIndex, double pause, const Error& error) const;
    QCoro::Task<Result<void>> sleep(double pause, std::stop_token stop) const;

    int m_maxAttempts;
    double m_baseDelay;
    double m_maxDelay;
    Sleeper m_sleeper;
};

// The handler is taken by value so that a caller may drop its own copy while this runs.
template <typename T, typename Operation>
QCoro::Task<Result<T>> RetryHandler::run(RetryHandler self, Operation operation,
                                         Predicate shouldRetry, std::stop_token stop)
{
    if (self.m_maxAttempts < 1)
        co_return std::unexpected(Error(RetryError{RetryError::Kind::maxAttemptsReached}));

    for (int attempt = 0;; ++attempt) {
        if (stop.stop_requested())
            co_return std::unexpected(Error(CancellationError{}));

        Result<T> result = co_await operation();
        if (result)
            co_return std::move(result);
        if (result.error().template is<CancellationError>())
            co_return std::unexpected(Error(CancellationError{}));

        const bool transient =
            shouldRetry ? shouldRetry(result.error()) : isRetryable(result.error());
        if (!transient || attempt >= self.m_maxAttempts - 1)
            co_return std::move(result);

        const double pause = self.pauseAfter(attempt);
        self.logRetry(attempt, pause, result.error());
        auto sleeping = self.sleep(pause, stop);
        Result<void> slept = co_await std::move(sleeping);
        if (!slept)
            co_return std::unexpected(std::move(slept.error()));
    }
}

} // namespace lexwick
