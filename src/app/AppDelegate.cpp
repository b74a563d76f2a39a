#include "app/AppDelegate.h"

#include "app/PopoverWindow.h"
#include "app/StatusBarManager.h"
#include "core/Log.h"
#include "ui/AppContext.h"
#include "ui/PopoverView.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QTimer>

namespace lexwick {

namespace {

const QString trayWatcherName = QStringLiteral("org.kde.StatusNotifierWatcher");
constexpr int trayWatcherWaitMs = 3000;

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
    if (m_activateWhenLaunched)
        activate();
}

void AppDelegate::setupPopover()
{
    m_view =
        std::make_unique<PopoverView>(m_context->router, m_context->settings, m_context->history,
                                      &m_context->providerModels);
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

} // namespace lexwick
