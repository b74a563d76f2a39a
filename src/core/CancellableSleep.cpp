// SPDX-License-Identifier: MIT
#include "core/CancellableSleep.h"

#include <QCoroTimer>
#include <QTimer>

namespace lexwick {

QCoro::Task<Result<void>> cancellableSleep(std::chrono::milliseconds duration, std::stop_token stop)
{
    if (stop.stop_requested())
        co_return std::unexpected(CancellationError{});

    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    timer.start(duration);
    // The stop may come from any thread: cut the wait short on the timer's own thread.
    std::stop_callback onStop(stop, [&timer] {
        QMetaObject::invokeMethod(
            &timer, [&timer] { timer.start(0); }, Qt::QueuedConnection);
    });
    co_await timer;

    if (stop.stop_requested())
        co_return std::unexpected(CancellationError{});
    co_return {};
}

QCoro::Task<void> runAfter(std::chrono::milliseconds duration, std::stop_token stop,
                           QPointer<QObject> owner, std::function<void()> then)
{
    QCoro::Task<Result<void>> sleeping = cancellableSleep(duration, std::move(stop));
    co_await std::move(sleeping);
    if (owner)
        then();
}

} // namespace lexwick
