// SPDX-License-Identifier: MIT
#pragma once

#include "app/DesktopNotifier.h"
#include "app/PasteTarget.h"
#include "app/ServicesProvider.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace lexwick {

class Pasteboard;

// How a request on the selection ended: whether its result was pasted in place of the
// selection (or only left on the clipboard), or the message users see.
using SelectionOutcome = std::expected<bool, QString>;

// The application's object on the session bus, /io/github/lexwick/Lexwick, with two
// interfaces (their adaptors are generated from src/app/dbus/):
// - org.freedesktop.Application: how the desktop opens the application and runs the actions
//   of its desktop file ("correct", "paraphrase", "explain");
// - io.github.lexwick.Lexwick.Services: the actions on the selection, and on a text handed in.
// A Services call is answered when its request ends, so the caller learns how it went; calls
// that arrive while the application is still starting wait for it.
class ApplicationService : public QObject, protected QDBusContext {
    Q_OBJECT

public:
    static const QString serviceName;
    static const QString objectPath;
    static const QString servicesInterface;
    // The error of a request that failed; its message is the one users see.
    static const QString errorName;

    // What the desktop offers; it differs between X11 and Wayland.
    struct Platform {
        // Opens the popover; the launcher's activation token, when there is one, lets it take
        // the focus.
        std::function<void(const QString& token)> activate;
        // The selection of the moment, and the place its result goes (X11: PRIMARY and
        // CLIPBOARD).
        std::function<std::shared_ptr<Pasteboard>()> selection;
        // The window that holds that selection, to paste the result into; nothing where it
        // cannot be told.
        std::function<std::unique_ptr<PasteTarget>()> pasteTarget;
        // Where an unfocused application can read no selection (Wayland, and Xwayland on some
        // compositors): runs the action in the popover on the selection it reads once it has
        // the focus, and pastes the result when asked to and able. Used when set and the
        // selection above, if any, reads empty; the token is as for `activate`.
        std::function<QCoro::Task<SelectionOutcome>(TextAction, bool paste, QString token)>
            runInPopover;
        // Whether a result replaces the selection when the call does not say (the setting).
        std::function<bool()> replacesSelection;
    };

    ApplicationService(QDBusConnection bus, Platform platform, QObject* parent = nullptr);
    ~ApplicationService() override;

    // Serves the requests, those that have waited first.
    void setServicesProvider(ServicesProvider* provider);

    // The summaries of the notification that a request on the selection ended well, or not
    // (whose body is then the reason).
    static QString replacedMessage();
    static QString copiedMessage();
    static QString failedMessage(TextAction action);

    // org.freedesktop.Application
    void Activate(const QVariantMap& platformData);
    void Open(const QStringList& uris, const QVariantMap& platformData);
    void ActivateAction(const QString& actionName, const QVariantList& parameter,
                        const QVariantMap& platformData);

    // io.github.lexwick.Lexwick.Services
    void Correct();
    void Paraphrase();
    void Explain();
    // action: "correct", "paraphrase" or "explain"; options: "paste" (a boolean) says whether
    // the result replaces the selection, whatever the setting says; "activation-token" and
    // "desktop-startup-id" are the caller's launch, as in org.freedesktop.Application.
    void ProcessSelection(const QString& action, const QVariantMap& options);
    QString ProcessText(const QString& action, const QString& text);

private:
    // A call to answer when its request ends.
    struct PendingReply {
        QDBusConnection connection;
        QDBusMessage call;
    };

    // How a request on the selection was asked for.
    struct SelectionCall {
        TextAction action;
        std::optional<bool> paste; // the setting's answer when not given
        QString activationToken;
    };

    void onSelection(SelectionCall call);
    void whenReady(std::function<void()> work);
    QCoro::Task<void> serveSelection(SelectionCall call, std::optional<PendingReply> reply);
    QCoro::Task<SelectionOutcome> processSelection(TextAction action,
                                                   std::shared_ptr<Pasteboard> selection,
                                                   std::unique_ptr<PasteTarget> target,
                                                   std::stop_token stop);
    QCoro::Task<void> serveText(TextAction action, QString text, PendingReply reply);

    Platform m_platform;
    DesktopNotifier m_notifier;
    QPointer<ServicesProvider> m_provider;
    std::vector<std::function<void()>> m_waiting;
};

} // namespace lexwick
