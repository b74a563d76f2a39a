// SPDX-License-Identifier: MIT
#pragma once

#include "core/Error.h"
#include "core/HttpClient.h"
#include "core/ServerSentEvents.h"

#include <QCoroTask>
#include <QString>

#include <functional>
#include <stop_token>

namespace lexwick {

// Receives the text of an answer so far, each time it grows, while the model writes it.
using PartialText = std::function<void(const QString& textSoFar)>;

// What a wire format makes of one event of a streamed answer.
struct StreamEvent {
    QString text;       // the piece of the answer it adds
    QString stopReason; // why the model stopped, when the event says
    bool ends = false;  // the answer is whole
};
using StreamEventDecoder = std::function<Result<StreamEvent>(const ServerSentEvent&)>;

struct StreamedAnswer {
    // The status and headers; the body too when the answer did not come as a stream (an
    // error, or a server that ignores the request to stream).
    HttpResponse response;
    bool streamed = false;
    // A streamed answer's text, untrimmed, and why the model stopped.
    QString text;
    QString stopReason;
};

// Sends a request that asks for its answer as server-sent events and reads the events as they
// arrive, handing the text so far to onText whenever it grows. A stream must end with its
// format's last event (or a stop reason): one cut off before is a lost connection. A failure
// that an event reports (the decoder's error) ends the request with that error.
QCoro::Task<Result<StreamedAnswer>> sendStreamed(HttpClient& client, HttpRequest request,
                                                 StreamEventDecoder decode, PartialText onText,
                                                 std::stop_token stop);

} // namespace lexwick
