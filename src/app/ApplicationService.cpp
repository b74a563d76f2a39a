// SPDX-License-Identifier: MIT
#include "app/ApplicationService.h"

#include "app/Pasteboard.h"
#include "app/Startup.h"
#include "applicationadaptor.h"
#include "servicesadaptor.h"

#include <QDBusError>
#include <QDBusServiceWatcher>

#include <stop_token>

namespace lexwick {

namespace {

// The caller leaving the bus (Ctrl+C on the command) cancels its request, so that the model
// stops writing for nobody.
std::unique_ptr<QDBusServiceWatcher>
cancelWhenGone(const QString& caller, const QDBusConnection& connection, std::stop_source stop)
{
    auto watcher = std::make_unique<QDBusServiceWatcher>(
        caller, connection, QDBusServiceWatcher::WatchForUnregistration);
    QObject::connect(watcher.get(), &QDBusServiceWatcher::serviceUnregistered, watcher.get(),
                     [stop]() mutable { stop.request_stop(); });
    return watcher;
}

} // namespace

const QString ApplicationService::serviceName = QStringLiteral("io.github.lexwick.Lexwick");
const QString ApplicationService::objectPath = QStringLiteral("/io/github/lexwick/Lexwick");
const QString ApplicationService::servicesInterface =
    QStringLiteral("io.github.lexwick.Lexwick.Services");
const QString ApplicationService::errorName = QStringLiteral("io.github.lexwick.Lexwick.Error");

ApplicationService::ApplicationService(QDBusConnection bus, Platform platform, QObject* parent)
    : QObject(parent)
    , m_platform(std::move(platform))
    , m_notifier(std::move(bus))
{
    new ApplicationAdaptor(this);
    new ServicesAdaptor(this);
}

ApplicationService::~ApplicationService() = default;

void ApplicationService::setServicesProvider(ServicesProvider* provider)
{
    m_provider = provider;
    std::vector<std::function<void()>> waiting;
    waiting.swap(m_waiting);
    for (const std::function<void()>& work : waiting)
        work();
}

QString ApplicationService::replacedMessage()
{
    return QStringLiteral("Replaced the selection");
}

QString ApplicationService::copiedMessage()
{
    return QStringLiteral("Copied: press Ctrl+V");
}

QString ApplicationService::failedMessage(TextAction action)
{
    return QStringLiteral("Lexwick could not %1 the selection").arg(commandName(action));
}

void ApplicationService::Activate(const QVariantMap& platformData)
{
    if (m_platform.activate)
        m_platform.activate(activationToken(platformData));
}

// Lexwick opens no files; the desktop may still ask, and then it opens the popover.
void ApplicationService::Open(const QStringList& uris, const QVariantMap& platformData)
{
    Q_UNUSED(uris);
    Activate(platformData);
}

// The desktop file's actions (a menu entry, a KDE shortcut): nobody waits for the answer, so
// it is given at once and the notification tells how the request went.
void ApplicationService::ActivateAction(const QString& actionName, const QVariantList& parameter,
                                        const QVariantMap& platformData)
{
    Q_UNUSED(parameter);
    const std::optional<TextAction> action = textActionFromCommandName(actionName);
    if (!action) {
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("No such action: ") + actionName);
        return;
    }
    whenReady([this, call = SelectionCall{*action, std::nullopt, activationToken(platformData)}] {
        serveSelection(call, std::nullopt);
    });
}

void ApplicationService::Correct()
{
    onSelection({TextAction::correct, std::nullopt, {}});
}

void ApplicationService::Paraphrase()
{
    onSelection({TextAction::paraphrase, std::nullopt, {}});
}

void ApplicationService::Explain()
{
    onSelection({TextAction::explain, std::nullopt, {}});
}

void ApplicationService::ProcessSelection(const QString& action, const QVariantMap& options)
{
    const std::optional<TextAction> named = textActionFromCommandName(action);
    const QVariant paste = options.value(QStringLiteral("paste"));
    if (!named || (paste.isValid() && paste.typeId() != QMetaType::Bool)) {
        sendErrorReply(QDBusError::InvalidArgs,
                       !named ? QStringLiteral("No such action: ") + action
                              : QStringLiteral("The option paste is a boolean"));
        return;
    }
    onSelection({*named, paste.isValid() ? std::optional(paste.toBool()) : std::nullopt,
                 activationToken(options)});
}

void ApplicationService::onSelection(SelectionCall call)
{
    setDelayedReply(true);
    PendingReply reply{connection(), message()};
    whenReady([this, call, reply] { serveSelection(call, reply); });
}

QString ApplicationService::ProcessText(const QString& action, const QString& text)
{
    const std::optional<TextAction> named = textActionFromCommandName(action);
    if (!named) {
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("No such action: ") + action);
        return QString();
    }
    setDelayedReply(true);
    PendingReply reply{connection(), message()};
    whenReady([this, named = *named, text, reply] { serveText(named, text, reply); });
    return QString();
}

void ApplicationService::whenReady(std::function<void()> work)
{
    if (m_provider)
        work();
    else
        m_waiting.push_back(std::move(work));
}

QCoro::Task<void> ApplicationService::serveSelection(SelectionCall call,
                                                     std::optional<PendingReply> reply)
{
    QPointer self(this);
    const TextAction action = call.action;
    const bool replace =
        call.paste.value_or(m_platform.replacesSelection && m_platform.replacesSelection());
    // The window is the one of the moment of the call, as is the text.
    std::unique_ptr<PasteTarget> target =
        replace && m_platform.pasteTarget ? m_platform.pasteTarget() : nullptr;
    std::shared_ptr<Pasteboard> selection = m_platform.selection ? m_platform.selection() : nullptr;
    SelectionOutcome outcome;
    if (m_platform.runInPopover && (!selection || selection->string().isEmpty())) {
        // The popover's own request: the user sees it and ends it there.
        QCoro::Task<SelectionOutcome> running =
            m_platform.runInPopover(action, replace, call.activationToken);
        outcome = co_await std::move(running);
    } else {
        std::stop_source stop;
        const auto watcher =
            reply ? cancelWhenGone(reply->call.service(), reply->connection, stop) : nullptr;
        QCoro::Task<SelectionOutcome> running = processSelection(
            action, std::move(selection), std::move(target), stop.get_token());
        outcome = co_await std::move(running);
    }
    if (self) {
        if (!outcome)
            m_notifier.notifyError(failedMessage(action), outcome.error());
        else
            m_notifier.notifySuccess(*outcome ? replacedMessage() : copiedMessage());
    }
    if (reply) {
        reply->connection.send(outcome ? reply->call.createReply()
                                       : reply->call.createErrorReply(errorName, outcome.error()));
    }
}

QCoro::Task<SelectionOutcome>
ApplicationService::processSelection(TextAction action, std::shared_ptr<Pasteboard> selection,
                                     std::unique_ptr<PasteTarget> target, std::stop_token stop)
{
    QCoro::Task<ServiceOutcome> running =
        m_provider->handle(action, std::move(selection), {}, std::move(stop));
    const ServiceOutcome outcome = co_await std::move(running);
    if (!outcome)
        co_return SelectionOutcome(std::unexpect, outcome.error());
    if (!target)
        co_return false;
    QCoro::Task<bool> pasting = target->paste();
    co_return co_await std::move(pasting);
}

QCoro::Task<void> ApplicationService::serveText(TextAction action, QString text, PendingReply reply)
{
    const QString caller = reply.call.service();
    std::stop_source stop;
    const auto watcher = cancelWhenGone(caller, reply.connection, stop);
    // Each new piece of the answer goes to the caller alone, as it is written.
    PartialText onPartial = [connection = reply.connection, caller,
                             sent = std::make_shared<qsizetype>(0)](const QString& soFar) mutable {
        if (soFar.size() <= *sent)
            return;
        QDBusMessage written = QDBusMessage::createTargetedSignal(
            caller, objectPath, servicesInterface, QStringLiteral("Written"));
        written << soFar.sliced(*sent);
        *sent = soFar.size();
        connection.send(written);
    };
    auto pasteboard = std::make_shared<TextPasteboard>(std::move(text));
    QCoro::Task<ServiceOutcome> running =
        m_provider->handle(action, pasteboard, std::move(onPartial), stop.get_token());
    const ServiceOutcome outcome = co_await std::move(running);
    reply.connection.send(outcome ? reply.call.createReply(*outcome)
                                  : reply.call.createErrorReply(errorName, outcome.error()));
}

} // namespace lexwick
