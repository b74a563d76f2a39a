// SPDX-License-Identifier: MIT
#pragma once

#include <QMenu>
#include <QObject>

#include <memory>

class QSystemTrayIcon;

namespace lexwick {

class PopoverHost;

// The tray icon and the popover it toggles. Without a tray the popover is an ordinary window,
// opened at once; the icon docks by itself if a tray appears later.
class StatusBarManager : public QObject {
    Q_OBJECT

public:
    // A click this soon after the popover hid on deactivation only closed it.
    static constexpr int clickGuardMs = 300;

    explicit StatusBarManager(PopoverHost& popover, QObject* parent = nullptr);
    ~StatusBarManager() override;

    void togglePopover();
    void showPopover();

Q_SIGNALS:
    void quitRequested();

private:
    void setupStatusItem();

    PopoverHost& m_popover;
    std::unique_ptr<QSystemTrayIcon> m_statusItem;
    QMenu m_menu;
};

} // namespace lexwick
