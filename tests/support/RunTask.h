// SPDX-License-Identifier: MIT
#pragma once

#include <QCoroTask>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>

namespace lexwick::test {

namespace detail {

template <typename T> struct Outcome {
    std::optional<T> value;
};

template <typename T>
QCoro::Task<void> drive(QCoro::Task<T> task, std::shared_ptr<Outcome<T>> outcome,
                        QPointer<QEventLoop> loop)
{
    outcome->value.emplace(co_await std::move(task));
    if (loop)
        loop->quit();
}

} // namespace detail

// Runs the task to completion in an event loop and returns its result, or nothing when the
// deadline passes first, so that no test can hang on a task that never ends.
template <typename T>
std::optional<T> runTask(QCoro::Task<T> task,
                         std::chrono::milliseconds deadline = std::chrono::seconds(20))
{
    auto outcome = std::make_shared<detail::Outcome<T>>();
    QEventLoop loop;
    QTimer::singleShot(deadline, &loop, &QEventLoop::quit);
    detail::drive(std::move(task), outcome, QPointer<QEventLoop>(&loop));
    if (!outcome->value)
        loop.exec();
    return std::move(outcome->value);
}

// The same for a task without a result: whether it ended before the deadline.
inline bool runTask(QCoro::Task<void> task,
                    std::chrono::milliseconds deadline = std::chrono::seconds(20))
{
    QCoro::Task<bool> ended = [](QCoro::Task<void> inner) -> QCoro::Task<bool> {
        co_await std::move(inner);
        co_return true;
    }(std::move(task));
    return runTask(std::move(ended), deadline).has_value();
}

} // namespace lexwick::test
