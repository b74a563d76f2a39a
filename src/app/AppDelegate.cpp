#include "app/AppDelegate.h"

#include "app/AppContext.h"
#include "app/GnomeShortcuts.h"
#include "app/Pasteboard.h"
#include "app/PopoverWindow.h"
#include "app/ServicesProvider.h"
#include "app/StatusBarManager.h"
#include "core/Log.h"
#include "ui/PopoverView.h"

#include <QCoreApplication>
#include <QCoroSignal>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QGuiApplication>
#include <QQuickWindow>
#include <QTimer>

namespace lexwick {

namespace {

const QString trayWatcherName = QStringLiteral("org.kde.StatusNotifierWatcher");
constexpr int trayWatcherWaitMs = 3000;
// How long the popover may take to get the focus before its selection is read anyway.
constexpr std::chrono::milliseconds focusWait{2000};

QString clipboardRefusedMessage()
{
    return QStringLiteral("The desktop kept the result off the clipboard: press Copy in "
                          "Lexwick's window");
}

} // namespace

AppDelegate::AppDelegate() = default;
AppDelegate::~AppDelegate() = default;

void AppDelegate::launch()
{
    // Qt looks for a StatusNotifierItem tray once per process. At login we may start before
    // the panel has put its watcher on the bus; looking then would leave us without an icon.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface()->isServiceRegistered(trayWatcherName)) {
        applicationDidFinishLaunching();
        return;
    }
    auto* watcher = new QDBusServiceWatcher(trayWatcherName, bus,
                                            QDBusServiceWatcher::WatchForRegistration, this);
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    const auto start = [this, watcher, timer] {
        watcher->deleteLater();
        timer->deleteLater();
        if (!m_launched)
            applicationDidFinishLaunching();
    };
    connect(watcher, &QDBusServiceWatcher::serviceRegistered, this, start);
    connect(timer, &QTimer::timeout, this, start);
    timer->start(trayWatcherWaitMs);
}

void AppDelegate::applicationDidFinishLaunching()
{
    m_launched = true;
    logLine(QStringLiteral("applicationDidFinishLaunching"));
    // An accessory: the popover is a tool window, so no taskbar entry and no main window.
    logLine(QStringLiteral("activation policy accessory"));
    m_context = std::make_unique<AppContext>();
    // The main menu's keys (Ctrl+Q, the edit keys) are the popover's own shortcuts.
    setupPopover();
    logLine(QStringLiteral("popover setup"));
    setupStatusBar();
    logLine(QStringLiteral("status bar setup complete"));
    m_servicesProvider = std::make_unique<ServicesProvider>(m_context->router);
    if (m_service)
        m_service->setServicesProvider(m_servicesProvider.get());
    if (m_activateWhenLaunched)
        activate();
}

void AppDelegate::setupPopover()
{
    // The session names its desktop; of those, GNOME lets us add the user's shortcuts.
    DesktopShortcuts shortcuts{
        ShortcutsView::desktopNamed(qEnvironmentVariable("XDG_CURRENT_DESKTOP"))};
    if (shortcuts.desktop == ShortcutsView::Desktop::gnome) {
        m_gnomeShortcuts = std::make_unique<GnomeShortcuts>();
        shortcuts.installer = m_gnomeShortcuts.get();
    }
    m_view =
        std::make_unique<PopoverView>(m_context->router, m_context->settings, m_context->history,
                                      &m_context->providerModels, shortcuts);
    m_popover = std::make_unique<PopoverWindow>(*m_view);
    connect(m_view.get(), &PopoverView::quitRequested, qApp, &QCoreApplication::quit,
            Qt::QueuedConnection);
}

void AppDelegate::setupStatusBar()
{
    m_statusBarManager = std::make_unique<StatusBarManager>(*m_popover);
    connect(m_statusBarManager.get(), &StatusBarManager::quitRequested, qApp,
            &QCoreApplication::quit, Qt::QueuedConnection);
}

void AppDelegate::activate()
{
    if (!m_statusBarManager) {
        m_activateWhenLaunched = true;
        return;
    }
    m_statusBarManager->showPopover();
}

ApplicationService::Platform AppDelegate::servicesPlatform()
{
    ApplicationService::Platform platform;
    platform.activate = [this] { activate(); };
    if (QGuiApplication::platformName() == u"wayland") {
        platform.runInPopover = [this](TextAction action) { return runInPopover(action); };
    } else {
        platform.selection = [] {
            return std::make_shared<ClipboardPasteboard>(ClipboardPasteboard::selectionMode(),
                                                         QClipboard::Clipboard);
        };
    }
    return platform;
}

// Wayland gives the selection only to the application that has the focus: the popover opens,
// reads it once it is active, and runs the request where the user sees it.
QCoro::Task<ServiceOutcome> AppDelegate::runInPopover(TextAction action)
{
    QPointer self(this);
    activate();
    // The window exists once the popover has opened.
    if (QQuickWindow* window = m_popover->window(); window && !window->isActive()) {
        auto activated = qCoro(window, &QWindow::activeChanged, focusWait);
        co_await std::move(activated);
    }
    // The popover's own request goes first; its text stays in the input until it ends.
    while (self && m_view->main()->isProcessing()) {
        auto idle = qCoro(m_view->main(), &MainView::processStateChanged);
        co_await std::move(idle);
    }
    if (!self)
        co_return ServiceOutcome(std::unexpect, ServicesProvider::notAvailableMessage());

    QClipboard* clipboard = QGuiApplication::clipboard();
    QCoro::Task<ServiceOutcome> running =
        m_view->runService(clipboard->text(ClipboardPasteboard::selectionMode()), action);
    const ServiceOutcome outcome = co_await std::move(running);
    if (!self)
        co_return ServiceOutcome(std::unexpect, ServicesProvider::notAvailableMessage());
    if (!outcome)
        co_return outcome;

    // A compositor refuses a clipboard owner whose latest key or click is older than the
    // clipboard's, and says nothing. Taking the clipboard is confirmed by the selection event
    // a focused client receives, which Qt reports as a second change after its own. Refused,
    // Qt would go on answering every read with our text, so its claim is dropped again.
    clipboard->setText(*outcome);
    auto taken = qCoro(clipboard, &QClipboard::dataChanged, focusWait);
    const bool copied = (co_await std::move(taken)).has_value();
    if (!self)
        co_return ServiceOutcome(std::unexpect, ServicesProvider::notAvailableMessage());
    if (!copied) {
        clipboard->clear();
        co_return ServiceOutcome(std::unexpect, clipboardRefusedMessage());
    }
    co_return outcome;
}

} // namespace lexwick
