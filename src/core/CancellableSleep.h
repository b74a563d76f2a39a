// SPDX-License-Identifier: MIT
#pragma once

#include "core/Error.h"

#include <QCoroTask>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <stop_token>

namespace lexwick {

// Suspends the calling coroutine for the duration without blocking its thread. Ends early with
// CancellationError as soon as a stop is requested.
QCoro::Task<Result<void>> cancellableSleep(std::chrono::milliseconds duration,
                                           std::stop_token stop);

// Runs `then` once the duration is over, or at once when a stop is requested first, unless the
// owner is gone by then: how a short confirmation ("Copied!", "Saved") ends, also when its
// screen closes early. Runs on by itself; nobody needs to await it.
QCoro::Task<void> runAfter(std::chrono::milliseconds duration, std::stop_token stop,
                           QPointer<QObject> owner, std::function<void()> then);

} // namespace lexwick
