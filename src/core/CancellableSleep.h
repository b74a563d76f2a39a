#pragma once

#include "core/Error.h"

#include <QCoroTask>

#include <chrono>
#include <stop_token>

namespace lexwick {

// Suspends the calling coroutine for the duration without blocking its thread. Ends early with
// CancellationError as soon as a stop is requested.
QCoro::Task<Result<void>> cancellableSleep(std::chrono::milliseconds duration,
                                           std::stop_token stop);

} // namespace lexwick
