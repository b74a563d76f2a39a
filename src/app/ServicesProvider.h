// SPDX-License-Identifier: MIT
#pragma once

#include "core/StreamedAnswer.h"
#include "core/TextAction.h"

#include <QCoroTask>
#include <QObject>
#include <QPointer>
#include <QString>

#include <expected>
#include <memory>
#include <optional>
#include <stop_token>

namespace lexwick {

class AIServiceProvider;
class Pasteboard;

// How one request ended: the processed text, or the message users see.
using ServiceOutcome = std::expected<QString, QString>;

// The three actions on text from another application. A request takes the popover's road
// through the router (checks, cache, back-end choice, fallbacks), but records nothing in the
// history and shows nothing in the popover; only the log tells. Lives on the main thread.
class ServicesProvider : public QObject {
    Q_OBJECT

public:
    // The router is not kept alive by this object: once it is gone, requests are refused.
    explicit ServicesProvider(AIServiceProvider& aiService, QObject* parent = nullptr);

    // Each handler reads the pasteboard's text at once. No text ("No text selected") or no
    // router ("Service not available") ends the request before it starts, with nothing logged.
    // Otherwise the request runs on in its own task, awaited or not: on success the
    // pasteboard's text is replaced by the result, on failure it keeps what it held, and one
    // log line tells which. Any number may run at once. onPartial gets the answer so far while
    // the model writes it; the stop cancels the request.
    QCoro::Task<ServiceOutcome> handle(TextAction action, std::shared_ptr<Pasteboard> pasteboard,
                                       PartialText onPartial = {}, std::stop_token stop = {});

    static QString noTextMessage();
    static QString notAvailableMessage();

private:
    QPointer<AIServiceProvider> m_aiService;
};

} // namespace lexwick
