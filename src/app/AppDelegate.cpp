// SPDX-License-Identifier: MIT
#include "app/AppDelegate.h"

#include "app/AppContext.h"
#include "app/Pasteboard.h"
#include "app/PopoverHost.h"
#include "app/RemoteDesktopPortal.h"
#include "app/ServicesProvider.h"
#include "app/StatusBarManager.h"
#include "app/TrayWatch.h"
#include "app/X11Paste.h"
#include "app/XSelection.h"
#include "core/CancellableSleep.h"
#include "core/Log.h"
#include "core/SignalWait.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace lexwick {

namespace {

// How long start-up waits for a tray before the popover becomes an ordinary window.
constexpr std::chrono::milliseconds trayWait{3000};
// By then the work that start-up set going (the history read, the model server's probe) is done.
constexpr std::chrono::milliseconds startupSettles{3000};
// How long the popover may take to get the focus before its selection is read anyway.
constexpr std::chrono::milliseconds focusWait{2000};
// How long Xwayland is given to hand the Wayland selection to a focused X window.
constexpr std::chrono::milliseconds selectionHandedOver{1000};
// How long the compositor's bridge is given to read the clipboard set through Xwayland.
constexpr std::chrono::milliseconds bridgeWait{1000};
// How long the compositor is given to hand the focus back once the popover has gone.
constexpr std::chrono::milliseconds focusReturns{150};

// Start-up frees much of what it allocated (files read and parsed, the probe's exchange), but
// glibc keeps the freed pages inside its heaps: about 0.7 MB of a process that may sit in the
// tray all day. They go back to the system here.
void releaseFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

QString clipboardRefusedMessage()
{
    return QStringLiteral("The desktop kept the result off the clipboard: press Copy in "
                          "Lexwick's window");
}

// The text read from Xwayland's PRIMARY; the result goes to its CLIPBOARD, which the
// compositor's bridge reads at once to offer it to the Wayland clients.
class XClipboardPasteboard : public Pasteboard {
public:
    XClipboardPasteboard(QString text, XSelection& selection)
        : m_text(std::move(text))
        , m_selection(&selection)
    {
    }

    QString string() const override { return m_text; }
    void setString(const QString& text) override
    {
        m_text = text;
        if (!m_selection)
            return;
        QObject::connect(m_selection, &XSelection::served, &m_watch,
                         [this](XSelection::Selection selection) {
                             m_takenUp |= selection == XSelection::Selection::clipboard;
                         });
        m_copied = m_selection->own(XSelection::Selection::clipboard, text);
    }
    // Whether Xwayland made us the owner of its clipboard, and whether someone read it since.
    bool copied() const { return m_copied; }
    bool takenUp() const { return m_takenUp; }

private:
    QString m_text;
    QPointer<XSelection> m_selection;
    QObject m_watch;
    bool m_copied = false;
    bool m_takenUp = false;
};

} // namespace

AppDelegate::AppDelegate() = default;
AppDelegate::~AppDelegate() = default;

void AppDelegate::launch()
{
    // Qt looks for a tray once per process. At login we may start before the panel has its
    // tray; looking then would leave us without an icon. So the icon is made once a tray
    // exists: at once where one does, otherwise as soon as one appears, or when waiting is over.
    m_trayWatch = std::make_unique<TrayWatch>(QDBusConnection::sessionBus());
    switch (m_trayWatch->currentTray()) {
    case TrayWatch::Tray::statusNotifier:
        logLine(lcTray, QStringLiteral("tray: StatusNotifierWatcher"));
        break;
    case TrayWatch::Tray::xembed:
        logLine(lcTray, QStringLiteral("tray: XEmbed"));
        break;
    case TrayWatch::Tray::none:
        logLine(lcTray, QStringLiteral("tray: waiting"));
        connect(m_trayWatch.get(), &TrayWatch::trayAppeared, this,
                [this] { trayWaitOver(true); });
        QTimer::singleShot(trayWait, this, [this] { trayWaitOver(false); });
        return;
    }
    m_trayWatch.reset();
    applicationDidFinishLaunching();
}

void AppDelegate::trayWaitOver(bool appeared)
{
    if (m_launched)
        return;
    logLine(lcTray, appeared ? QStringLiteral("tray: appeared") : QStringLiteral("tray: none"));
    // Called from the watch's own signal: it goes once that has returned.
    m_trayWatch.release()->deleteLater();
    applicationDidFinishLaunching();
}

void AppDelegate::applicationDidFinishLaunching()
{
    m_launched = true;
    logLine(lcApp, QStringLiteral("applicationDidFinishLaunching"));
    // An accessory: the popover is a tool window, so no taskbar entry and no main window.
    logLine(lcApp, QStringLiteral("activation policy accessory"));
    m_context = std::make_unique<AppContext>();
    // The main menu's keys (Ctrl+Q, the edit keys) are the popover's own shortcuts.
    setupPopover();
    logLine(lcApp, QStringLiteral("popover setup"));
    setupStatusBar();
    logLine(lcApp, QStringLiteral("status bar setup complete"));
    m_servicesProvider = std::make_unique<ServicesProvider>(m_context->router);
    if (QGuiApplication::platformName() == u"wayland") {
        m_portal = std::make_unique<RemoteDesktopPortal>(QDBusConnection::sessionBus(),
                                                         m_context->defaults);
        if (qEnvironmentVariableIsSet("DISPLAY"))
            m_xSelection = XSelection::open();
        logLine(lcApp, m_xSelection ? QStringLiteral("selection: Xwayland, else the popover")
                                    : QStringLiteral("selection: the popover"));
    }
    if (m_service)
        m_service->setServicesProvider(m_servicesProvider.get());
    if (m_activateWhenLaunched)
        activate(*std::exchange(m_activateWhenLaunched, std::nullopt));
    QTimer::singleShot(startupSettles, this, &releaseFreedMemory);
}

void AppDelegate::setupPopover()
{
    // Only a stand-in: the popover itself is made, with Qt Quick, when it is first shown.
    m_popover = std::make_unique<PopoverHost>(PopoverContext{
        m_context->router, m_context->settings, m_context->history, &m_context->providerModels});
    connect(m_popover.get(), &PopoverHost::quitRequested, qApp, &QCoreApplication::quit,
            Qt::QueuedConnection);
}

void AppDelegate::setupStatusBar()
{
    m_statusBarManager = std::make_unique<StatusBarManager>(*m_popover);
    connect(m_statusBarManager.get(), &StatusBarManager::quitRequested, qApp,
            &QCoreApplication::quit, Qt::QueuedConnection);
}

void AppDelegate::activate(const QString& token)
{
    if (!m_statusBarManager) {
        m_activateWhenLaunched = token;
        return;
    }
    m_popover->setActivationToken(token);
    m_statusBarManager->showPopover();
}

ApplicationService::Platform AppDelegate::servicesPlatform()
{
    ApplicationService::Platform platform;
    platform.activate = [this](const QString& token) { activate(token); };
    platform.replacesSelection = [this] {
        return m_context && m_context->settings.replacesSelection();
    };
    if (QGuiApplication::platformName() == u"wayland") {
        platform.runInPopover = [this](TextAction action, bool paste, QString token) {
            return runOnWaylandSelection(action, paste, std::move(token));
        };
    } else {
        platform.selection = [] {
            return std::make_shared<ClipboardPasteboard>(ClipboardPasteboard::selectionMode(),
                                                         QClipboard::Clipboard);
        };
        platform.pasteTarget = &x11paste::focusedSelectionOwner;
        // Through Xwayland, KWin hands a Wayland window's selection to X only while an X
        // window has the focus: where none can be read, the popover takes it.
        if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY")) {
            platform.runInPopover = [this](TextAction action, bool paste, QString token) {
                return runInPopover(action, paste, std::move(token));
            };
        }
    }
    return platform;
}

// Some compositors (mutter) let an unfocused X client read the selection and set the clipboard,
// and hand both across to Wayland's: then the request runs as on X11, with no window opening.
// Whether this one does is seen per request: the text must come through Xwayland, and the
// compositor's bridge must read the result as soon as we hold its clipboard. Otherwise (KWin,
// no Xwayland) the popover takes the request, and runs it anew on what it reads itself.
QCoro::Task<SelectionOutcome> AppDelegate::runOnWaylandSelection(TextAction action, bool paste,
                                                                  QString token)
{
    QPointer self(this);
    if (m_xSelection && m_servicesProvider) {
        QCoro::Task<std::expected<QString, XSelection::ReadError>> reading =
            m_xSelection->read(XSelection::Selection::primary);
        const std::expected<QString, XSelection::ReadError> text = co_await std::move(reading);
        if (!self || !m_servicesProvider || !m_xSelection)
            co_return SelectionOutcome(std::unexpect, ServicesProvider::notAvailableMessage());
        if (text && !text->isEmpty()) {
            auto pasteboard = std::make_shared<XClipboardPasteboard>(*text, *m_xSelection);
            QCoro::Task<ServiceOutcome> running = m_servicesProvider->handle(action, pasteboard);
            const ServiceOutcome outcome = co_await std::move(running);
            if (!self)
                co_return SelectionOutcome(std::unexpect, ServicesProvider::notAvailableMessage());
            if (!outcome)
                co_return SelectionOutcome(std::unexpect, outcome.error());
            if (!pasteboard->copied())
                co_return SelectionOutcome(std::unexpect, clipboardRefusedMessage());
            if (!pasteboard->takenUp()) {
                co_await SignalWait(m_xSelection.get(), &XSelection::served, bridgeWait);
            }
            if (!self)
                co_return SelectionOutcome(std::unexpect, ServicesProvider::notAvailableMessage());
            if (pasteboard->takenUp()) {
                // The focus never left the window the selection came from: the key goes there.
                if (!paste || !m_portal || !m_portal->mayPaste())
                    co_return false;
                QCoro::Task<bool> pasting = m_portal->paste();
                co_return co_await std::move(pasting);
            }
            logLine(lcApp, QStringLiteral("selection: Xwayland kept the clipboard to itself"));
        } else {
            logLine(lcApp, QStringLiteral("selection: none through Xwayland"));
        }
    }
    QCoro::Task<SelectionOutcome> running = runInPopover(action, paste, std::move(token));
    co_return co_await std::move(running);
}

// Wayland gives the selection only to the application that has the focus: the popover opens,
// reads it once it is active, and runs the request where the user sees it.
QCoro::Task<SelectionOutcome> AppDelegate::runInPopover(TextAction action, bool paste,
                                                        QString token)
{
    QPointer self(this);
    activate(token);
    // The popover exists once it has opened, unless its library could not be loaded.
    QPointer<Popover> popover = m_popover ? m_popover->popover() : nullptr;
    if (!popover)
        co_return SelectionOutcome(std::unexpect, ServicesProvider::notAvailableMessage());
    if (QWindow* window = popover->window(); window && !window->isActive()) {
        co_await SignalWait(window, &QWindow::activeChanged, focusWait);
    }
    // The popover's own request goes first; its text stays in the input until it ends.
    while (self && popover && popover->isProcessing()) {
        co_await SignalWait(popover.data(), &Popover::processingChanged, std::chrono::hours(1));
    }
    if (!self || !popover)
        co_return SelectionOutcome(std::unexpect, ServicesProvider::notAvailableMessage());

    QClipboard* clipboard = QGuiApplication::clipboard();
    const QClipboard::Mode mode = ClipboardPasteboard::selectionMode();
    // Through Xwayland the compositor hands the selection across once an X window has the
    // focus, a moment after it has it.
    if (clipboard->text(mode).isEmpty() && mode == QClipboard::Selection)
        co_await SignalWait(clipboard, &QClipboard::selectionChanged, selectionHandedOver);
    if (!self || !popover)
        co_return SelectionOutcome(std::unexpect, ServicesProvider::notAvailableMessage());
    QCoro::Task<ServiceOutcome> running = popover->runService(clipboard->text(mode), action);
    const ServiceOutcome outcome = co_await std::move(running);
    if (!self)
        co_return SelectionOutcome(std::unexpect, ServicesProvider::notAvailableMessage());
    if (!outcome)
        co_return SelectionOutcome(std::unexpect, outcome.error());

    // A compositor refuses a clipboard owner whose latest key or click is older than the
    // clipboard's, and says nothing. Taking the clipboard is confirmed by the selection event
    // a focused client receives, which Qt reports as a second change after its own. Refused,
    // Qt would go on answering every read with our text, so its claim is dropped again.
    clipboard->setText(*outcome);
    bool copied = true; // an X server never refuses an owner
    if (QGuiApplication::platformName() == u"wayland")
        copied = co_await SignalWait(clipboard, &QClipboard::dataChanged, focusWait);
    if (!self)
        co_return SelectionOutcome(std::unexpect, ServicesProvider::notAvailableMessage());
    if (!copied) {
        clipboard->clear();
        co_return SelectionOutcome(std::unexpect, clipboardRefusedMessage());
    }
    // Where the portal is missing or was declined, the popover stays with the result.
    if (!paste || !m_portal || !m_portal->mayPaste())
        co_return false;

    // The popover goes, and the compositor gives the focus back to the window the selection
    // came from; the portal's key goes to whichever window has it.
    m_popover->hide();
    if (QWindow* window = popover ? popover->window() : nullptr; window && window->isActive()) {
        co_await SignalWait(window, &QWindow::activeChanged, focusWait);
    }
    auto settled = cancellableSleep(focusReturns, std::stop_token());
    co_await std::move(settled);
    if (!self || !m_portal)
        co_return false;
    QCoro::Task<bool> pasting = m_portal->paste();
    co_return co_await std::move(pasting);
}

} // namespace lexwick
