// SPDX-License-Identifier: MIT
#pragma once

#include "app/ApplicationService.h"

#include <QObject>

#include <memory>

namespace lexwick {

class AppContext;
class PopoverHost;
class RemoteDesktopPortal;
class ServicesProvider;
class StatusBarManager;
class TrayWatch;
class XSelection;

// Runs the start-up sequence once the event loop runs, and owns what it makes for the whole
// run: the object graph (with the router), the popover, the tray icon and the Services.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    AppDelegate();
    ~AppDelegate() override;

    // Starts up as soon as the desktop has a tray: at once where it has one, otherwise when one
    // appears, or after a few seconds without one (then the popover is an ordinary window).
    void launch();
    void applicationDidFinishLaunching();

    // Opens the popover (a second start of the application asks for this); a launcher's token
    // lets it take the focus.
    void activate(const QString& token = {});

    // What the desktop offers the Services here: the selection on X11; on Wayland the X
    // selections through Xwayland where the compositor allows it, else the popover.
    ApplicationService::Platform servicesPlatform();
    // The object on the bus, served once start-up has made the router.
    void setApplicationService(ApplicationService* service) { m_service = service; }

private:
    void trayWaitOver(bool appeared);
    void setupPopover();
    void setupStatusBar();
    QCoro::Task<SelectionOutcome> runOnWaylandSelection(TextAction action, bool paste,
                                                        QString token);
    QCoro::Task<SelectionOutcome> runInPopover(TextAction action, bool paste, QString token);

    std::unique_ptr<TrayWatch> m_trayWatch; // while start-up waits for a tray
    std::unique_ptr<AppContext> m_context;  // holds the router, `aiService`
    std::unique_ptr<PopoverHost> m_popover;
    std::unique_ptr<StatusBarManager> m_statusBarManager;
    std::unique_ptr<ServicesProvider> m_servicesProvider;
    std::unique_ptr<RemoteDesktopPortal> m_portal; // Wayland's way to send the paste key
    std::unique_ptr<XSelection> m_xSelection;      // Wayland: Xwayland's selections, if any
    ApplicationService* m_service = nullptr;
    bool m_launched = false;
    std::optional<QString> m_activateWhenLaunched; // with its token
};

} // namespace lexwick
