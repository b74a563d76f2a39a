// SPDX-License-Identifier: MIT
#include "app/QuickPopover.h"

#include <QQuickWindow>

namespace lexwick {

QuickPopover::QuickPopover(const PopoverContext& context)
    : m_view(context.router, context.settings, context.history, context.providerModels,
             desktopShortcuts(m_gnomeShortcuts))
    , m_main(m_view.main())
    , m_window(m_view)
{
    connect(&m_view, &PopoverView::quitRequested, this, &Popover::quitRequested);
    connect(m_view.main(), &MainView::processStateChanged, this, &Popover::processingChanged);
}

QuickPopover::~QuickPopover() = default;

// The session names its desktop; of those, GNOME lets us add the user's shortcuts.
DesktopShortcuts QuickPopover::desktopShortcuts(std::unique_ptr<GnomeShortcuts>& gnome)
{
    DesktopShortcuts shortcuts{
        ShortcutsView::desktopNamed(qEnvironmentVariable("XDG_CURRENT_DESKTOP"))};
    if (shortcuts.desktop == ShortcutsView::Desktop::gnome) {
        gnome = std::make_unique<GnomeShortcuts>();
        shortcuts.installer = gnome.get();
    }
    return shortcuts;
}

QWindow* QuickPopover::window() const
{
    return m_window.window();
}

bool QuickPopover::isProcessing() const
{
    return m_main->isProcessing();
}

QCoro::Task<ServiceOutcome> QuickPopover::runService(QString text, TextAction action)
{
    return m_view.runService(std::move(text), action);
}

} // namespace lexwick
