// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QPoint>

#include <memory>

class QMenu;
class QSystemTrayIcon;

namespace lexwick {

class PopoverHost;
class StatusNotifierItem;

// The tray icon and the popover it toggles. The icon is a StatusNotifierItem, which the panel
// takes whenever its watcher appears; on X11 without a watcher, an XEmbed icon as well. Without
// a tray the popover is an ordinary window, opened at once, until a tray takes the icon.
class StatusBarManager : public QObject {
    Q_OBJECT

public:
    // A click this soon after the popover hid on deactivation only closed it.
    static constexpr int clickGuardMs = 300;
    static constexpr auto iconName = "io.github.lexwick.Lexwick-symbolic";

    explicit StatusBarManager(PopoverHost& popover,
                              QDBusConnection bus = QDBusConnection::sessionBus(),
                              QObject* parent = nullptr);
    ~StatusBarManager() override;

    // Both open the popover under `at` (a point on the screen), or under the icon or the
    // pointer where the click's place is not known.
    void togglePopover(QPoint at = {});
    void showPopover(QPoint at = {});

    // Where the panel can find the icon: empty when it is installed, else the build's copy.
    static QString iconThemePath();
    // The icon for a tray that cannot recolour it, in a colour readable on `background`.
    static QIcon iconOn(const QColor& background);

Q_SIGNALS:
    void quitRequested();
    // The popover is about to open under `anchor`, with the desktop's activation token if the
    // panel sent one.
    void popoverOpening(const QRect& anchor, const QString& activationToken);

private:
    void setupXEmbedIcon();
    void docked();

    PopoverHost& m_popover;
    std::unique_ptr<StatusNotifierItem> m_item;
    std::unique_ptr<QMenu> m_menu; // the XEmbed icon's
    std::unique_ptr<QSystemTrayIcon> m_xembedIcon;
    // A tray took the icon while the popover was open as a window: it becomes a popover when
    // it next opens.
    bool m_leaveStandalone = false;
    QPoint m_lastClick; // where the panel last said it was clicked
};

} // namespace lexwick
