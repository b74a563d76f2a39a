#pragma once

#include <QObject>

#include <memory>

namespace lexwick {

class AppContext;
class PopoverView;
class PopoverWindow;
class StatusBarManager;

// Runs the start-up sequence once the event loop runs, and owns what it makes for the whole
// run: the object graph (with the router), the popover and the tray icon.
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

private:
    void setupPopover();
    void setupStatusBar();

    std::unique_ptr<AppContext> m_context; // holds the router, `aiService`
    std::unique_ptr<PopoverView> m_view;
    std::unique_ptr<PopoverWindow> m_popover;
    std::unique_ptr<StatusBarManager> m_statusBarManager;
    bool m_launched = false;
    bool m_activateWhenLaunched = false;
};

} // namespace lexwick
