#pragma once

#include "app/ApplicationService.h"

#include <QObject>

#include <memory>

namespace lexwick {

class AppContext;
class GnomeShortcuts;
class PopoverView;
class PopoverWindow;
class ServicesProvider;
class StatusBarManager;

// Runs the start-up sequence once the event loop runs, and owns what it makes for the whole
// run: the object graph (with the router), the popover, the tray icon and the Services.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    AppDelegate();
    ~AppDelegate() override;

    // Waits (a few seconds at most) for the panel's tray to be on the bus, then starts up.
    void launch();
    void applicationDidFinishLaunching();

    // Opens the popover (a second start of the application asks for this).
    void activate();

    // What the desktop offers the Services here: the selection on X11, the popover on Wayland.
    ApplicationService::Platform servicesPlatform();
    // The object on the bus, served once start-up has made the router.
    void setApplicationService(ApplicationService* service) { m_service = service; }

private:
    void setupPopover();
    void setupStatusBar();
    QCoro::Task<ServiceOutcome> runInPopover(TextAction action);

    std::unique_ptr<AppContext> m_context; // holds the router, `aiService`
    // Declared before the popover: it must outlive the screens that use it.
    std::unique_ptr<GnomeShortcuts> m_gnomeShortcuts;
    std::unique_ptr<PopoverView> m_view;
    std::unique_ptr<PopoverWindow> m_popover;
    std::unique_ptr<StatusBarManager> m_statusBarManager;
    std::unique_ptr<ServicesProvider> m_servicesProvider;
    ApplicationService* m_service = nullptr;
    bool m_launched = false;
    bool m_activateWhenLaunched = false;
};

} // namespace lexwick
