// SPDX-License-Identifier: MIT
#pragma once

#include "app/GnomeShortcuts.h"
#include "app/Popover.h"
#include "app/PopoverWindow.h"
#include "ui/PopoverView.h"

#include <memory>

namespace lexwick {

// The popover of the library loaded at the first open: the screens' state (`PopoverView`) and
// the window that shows them, with what the desktop lets the shortcuts sheet do.
class QuickPopover final : public Popover {
public:
    explicit QuickPopover(const PopoverContext& context);
    ~QuickPopover() override;

    void setStandalone(bool standalone) override { m_window.setStandalone(standalone); }
    bool isVisible() const override { return m_window.isVisible(); }
    void hide() override { m_window.hide(); }
    void popUp(const QRect& anchor) override { m_window.popUp(anchor); }
    bool hidBecauseOfDeactivationWithin(int ms) const override
    {
        return m_window.hidBecauseOfDeactivationWithin(ms);
    }
    QWindow* window() const override;
    bool isProcessing() const override;
    QCoro::Task<ServiceOutcome> runService(QString text, TextAction action) override;

private:
    static DesktopShortcuts desktopShortcuts(std::unique_ptr<GnomeShortcuts>& gnome);

    // Declared before the view: the screens bind keys through it.
    std::unique_ptr<GnomeShortcuts> m_gnomeShortcuts;
    PopoverView m_view;
    const MainView* const m_main;
    PopoverWindow m_window;
};

} // namespace lexwick
