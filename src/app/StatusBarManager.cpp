// SPDX-License-Identifier: MIT
#include "app/StatusBarManager.h"

#include "app/PopoverHost.h"
#include "core/Log.h"

#include <QCursor>
#include <QIcon>
#include <QSystemTrayIcon>

namespace lexwick {

StatusBarManager::StatusBarManager(PopoverHost& popover, QObject* parent)
    : QObject(parent)
    , m_popover(popover)
{
    setupStatusItem();
}

StatusBarManager::~StatusBarManager() = default;

void StatusBarManager::setupStatusItem()
{
    logLine(lcTray, QStringLiteral("status bar item setup"));
    const bool trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    m_statusItem = std::make_unique<QSystemTrayIcon>();
    QIcon icon = QIcon::fromTheme(QStringLiteral("io.github.lexwick.Lexwick"),
                                  QIcon(QStringLiteral(":/icons/io.github.lexwick.Lexwick.svg")));
    icon.setIsMask(true); // monochrome: the panel may tint it
    m_statusItem->setIcon(icon);
    m_statusItem->setToolTip(QStringLiteral("Lexwick - Quick text assistance"));

    m_menu.addAction(QStringLiteral("Open Lexwick"), this, &StatusBarManager::showPopover);
    m_menu.addAction(QStringLiteral("Quit Lexwick"), this, &StatusBarManager::quitRequested);
    m_statusItem->setContextMenu(&m_menu);
    connect(m_statusItem.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    togglePopover();
            });
    m_statusItem->show();

    if (!trayAvailable) {
        logCritical(lcTray, QStringLiteral("ERROR – failed to create status bar button"));
        m_popover.setStandalone(true);
        showPopover();
        return;
    }
    logLine(lcTray, QStringLiteral("status bar ready"));
}

void StatusBarManager::togglePopover()
{
    if (m_popover.isVisible() && !m_popover.isStandalone()) {
        m_popover.hide();
        return;
    }
    if (m_popover.hidBecauseOfDeactivationWithin(clickGuardMs))
        return;
    showPopover();
}

void StatusBarManager::showPopover()
{
    // XEmbed trays tell where the icon is; StatusNotifierItem trays do not, and then the
    // pointer, which has just clicked the icon, is the best guess.
    const QRect icon = m_statusItem ? m_statusItem->geometry() : QRect();
    m_popover.popUp(icon.isValid() && !icon.isEmpty() ? icon : QRect(QCursor::pos(), QSize(1, 1)));
}

} // namespace lexwick
