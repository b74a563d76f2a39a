// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <coroutine>
#include <memory>
#include <utility>

namespace lexwick {

// Awaits the next emission of a signal, or the end of the time-out: true when the signal came.
// An emission between making the wait and awaiting it counts. The coroutine is resumed from the
// event loop, never inside the emission.
//
// qCoro(sender, signal) resumes through a queued call whose closure points into the awaiter;
// a signal emitted twice in a row (QClipboard::dataChanged as the compositor confirms Qt's own
// change, QWindow::activeChanged) delivers the second call after the awaiter is gone, into
// freed memory. Here the calls hold the wait's state, not the awaiter, and only the first one
// counts.
class SignalWait {
public:
    template <typename Sender, typename Signal>
    SignalWait(const Sender* sender, Signal signal, std::chrono::milliseconds timeout)
        : m_state(std::make_shared<State>())
    {
        const std::weak_ptr<State> state = m_state;
        m_state->connection = QObject::connect(sender, signal, &m_state->context, [state] {
            if (const auto alive = state.lock())
                alive->end(true);
        });
        m_state->timer.setSingleShot(true);
        QObject::connect(&m_state->timer, &QTimer::timeout, &m_state->context, [state] {
            if (const auto alive = state.lock())
                alive->end(false);
        });
        m_state->timer.start(timeout);
    }
    ~SignalWait()
    {
        if (m_state)
            m_state->waiting = {}; // a coroutine dropped unfinished is not resumed
    }
    SignalWait(const SignalWait&) = delete;
    SignalWait& operator=(const SignalWait&) = delete;
    SignalWait(SignalWait&&) = default;

    bool await_ready() const noexcept { return m_state->ended; }
    void await_suspend(std::coroutine_handle<> waiting) noexcept { m_state->waiting = waiting; }
    bool await_resume() const noexcept { return m_state->fired; }

private:
    struct State : std::enable_shared_from_this<State> {
        QObject context; // receives every call
        QTimer timer;
        QMetaObject::Connection connection;
        std::coroutine_handle<> waiting;
        bool ended = false;
        bool fired = false;

        void end(bool signalled)
        {
            if (ended)
                return;
            ended = true;
            fired = signalled;
            timer.stop();
            QObject::disconnect(connection);
            if (!waiting)
                return; // not awaited yet: await_ready sees it
            // The state lives until the call has run, whatever the coroutine does meanwhile.
            QMetaObject::invokeMethod(
                &context,
                [self = shared_from_this()] {
                    if (self->waiting)
                        std::exchange(self->waiting, {}).resume();
                },
                Qt::QueuedConnection);
        }
    };

    std::shared_ptr<State> m_state;
};

} // namespace lexwick
