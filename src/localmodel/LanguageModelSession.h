// SPDX-License-Identifier: MIT
#pragma once

#include "core/Error.h"
#include "core/HttpClient.h"
#include "core/StreamedAnswer.h"
#include "localmodel/GenerationOptions.h"

#include <QCoroTask>
#include <QPointer>
#include <QString>

#include <chrono>
#include <stop_token>

namespace lexwick {

class SystemLanguageModel;

// One conversation with the on-device model, opened with its instructions. The application
// asks each session for one response and then drops it; a session keeps no earlier exchange,
// so every response sees only the instructions and its own prompt.
class LanguageModelSession {
public:
    struct Response {
        QString content; // as the model wrote it, untrimmed
        // The model stopped at its output limit (or the server's context ran full).
        bool cutShort = false;
    };

    LanguageModelSession(SystemLanguageModel& model, QString instructions);

    const QString& instructions() const { return m_instructions; }

    // Probes the model server afresh, then sends one chat-completions request with the
    // instructions as the system message and the prompt as the user message, and streams the
    // answer: onPartial gets the text so far as it grows. Loading a model and writing a long
    // answer may take minutes; only silence is bounded (StreamTimeouts::localModel). Fails
    // only with GenerationError; a stop ends the wait at once with its cancelled case and
    // closes the connection. The session may be dropped while the returned task runs.
    QCoro::Task<Result<Response>> respond(QString prompt, GenerationOptions options,
                                          PartialText onPartial, std::stop_token stop) const;

private:
    QPointer<SystemLanguageModel> m_model;
    QString m_instructions;
};

} // namespace lexwick
