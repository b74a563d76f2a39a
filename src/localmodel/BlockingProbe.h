// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QUrl>

#include <expected>
#include <optional>

// The probe of the model server that runs while its caller waits: a GET over a plain blocking
// socket, bounded by a deadline, without running the event loop, so nothing else of the
// application runs in the middle of whatever asked.
namespace lexwick::blockingprobe {

struct Response {
    int status = 0;
    QByteArray body;
};
// No HTTP answer came, or one that this reader does not take apart (chunked bodies).
enum class Failure { noAnswer, unsupported };
using Answer = std::expected<Response, Failure>;

// GET over HTTP/1.0 with no proxy, with a bearer token when one is given; an answer larger than
// maxSize is no answer. Nothing when the deadline passed first.
std::optional<Answer> get(const QUrl& url, QDeadlineTimer deadline, qsizetype maxSize,
                          const QByteArray& bearerToken = {});

// The status and body of a complete response in data; nothing while it is incomplete. closed
// says that the connection has ended, so data is all there is.
std::optional<Answer> parseResponse(const QByteArray& data, bool closed);

} // namespace lexwick::blockingprobe
