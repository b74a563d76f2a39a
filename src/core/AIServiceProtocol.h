// SPDX-License-Identifier: MIT
#pragma once

#include "core/AIError.h"
#include "core/Error.h"
#include "core/StreamedAnswer.h"
#include "core/TextAction.h"

#include <QCoroTask>
#include <QObject>

#include <optional>
#include <stop_token>

namespace lexwick {

// What a back-end's model wrote.
struct GeneratedText {
    QString text;
    // The model stopped at its output limit, so the text may end mid-way.
    bool cutShort = false;
};

// The interface of every AI back-end. Lives on the main thread; its two published properties
// change there.
class AIServiceProtocol : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isProcessing READ isProcessing NOTIFY isProcessingChanged)

public:
    using QObject::QObject;

    bool isProcessing() const { return m_isProcessing; }
    const std::optional<AIError>& lastError() const { return m_lastError; }

    // Turns the text into the processed text. A back-end that streams hands the answer so far
    // to onPartial as it grows (untrimmed); the result is the whole answer, trimmed. Fails with
    // an AIError, or with CancellationError when the stop is requested.
    virtual QCoro::Task<Result<GeneratedText>> processText(QString text, TextAction action,
                                                           std::optional<ToneOption> tone,
                                                           PartialText onPartial,
                                                           std::stop_token stop) = 0;

Q_SIGNALS:
    void isProcessingChanged();
    void lastErrorChanged();

protected:
    // A request that passed the input checks starts: busy, and no error yet.
    void beginRequest();
    // It ends: the busy flag drops, and a failure is kept as lastError first.
    Result<GeneratedText> finishRequest(std::expected<GeneratedText, AIError> outcome);
    void setProcessing(bool processing);
    void setLastError(std::optional<AIError> error);

private:
    bool m_isProcessing = false;
    std::optional<AIError> m_lastError;
};

} // namespace lexwick
