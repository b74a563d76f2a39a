// SPDX-License-Identifier: MIT
#include "app/StatusBarManager.h"

#include "app/PopoverHost.h"
#include "app/StatusNotifierItem.h"
#include "core/Log.h"

#include <QBuffer>
#include <QCursor>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QMenu>
#include <QPalette>
#include <QPixmap>
#include <QStandardPaths>
#include <QSystemTrayIcon>

#include <algorithm>
#include <cmath>

namespace lexwick {

namespace {

const QString toolTip = QStringLiteral("Lexwick - Quick text assistance");
const QString symbolicIconFile = QStringLiteral(":/icons/symbolic/apps/%1.svg");

// Relative luminance as WCAG 2 defines it.
double luminance(const QColor& colour)
{
    const auto channel = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}

double contrast(const QColor& a, const QColor& b)
{
    const double first = luminance(a);
    const double second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

} // namespace

StatusBarManager::StatusBarManager(PopoverHost& popover, QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_popover(popover)
{
    logLine(lcTray, QStringLiteral("status bar item setup"));
    const QStringList entries{QStringLiteral("Open Lexwick"), QStringLiteral("Quit Lexwick")};
    const bool watcher = bus.isConnected() && bus.interface()->isServiceRegistered(
                                                  QStringLiteral("org.kde.StatusNotifierWatcher"));
    m_item = std::make_unique<StatusNotifierItem>(bus, QLatin1String(iconName), iconThemePath(),
                                                  toolTip, entries);
    connect(m_item.get(), &StatusNotifierItem::activated, this,
            [this](QPoint at) { togglePopover(at); });
    connect(m_item.get(), &StatusNotifierItem::menuEntryClicked, this, [this](int index) {
        if (index == 0)
            showPopover();
        else
            Q_EMIT quitRequested();
    });
    connect(m_item.get(), &StatusNotifierItem::registeredChanged, this, [this](bool registered) {
        if (registered)
            docked();
    });

    // Qt's icon serves the XEmbed trays of X11 desktops, which have no watcher.
    bool xembed = false;
    if (!watcher && QGuiApplication::platformName() == u"xcb") {
        setupXEmbedIcon();
        xembed = QSystemTrayIcon::isSystemTrayAvailable();
    }
    if (!watcher && !xembed) {
        logCritical(lcTray, QStringLiteral("ERROR – failed to create status bar button"));
        m_popover.setStandalone(true);
        showPopover();
        return;
    }
    logLine(lcTray, QStringLiteral("status bar ready"));
}

StatusBarManager::~StatusBarManager() = default;

void StatusBarManager::setupXEmbedIcon()
{
    m_xembedIcon = std::make_unique<QSystemTrayIcon>();
    // An XEmbed tray shows the pixels it gets: they are made for the panel, which has the
    // application's colours unless it says otherwise.
    m_xembedIcon->setIcon(iconOn(QGuiApplication::palette().color(QPalette::Window)));
    m_xembedIcon->setToolTip(toolTip);
    m_menu = std::make_unique<QMenu>();
    m_menu->addAction(QStringLiteral("Open Lexwick"), this, [this] { showPopover(); });
    m_menu->addAction(QStringLiteral("Quit Lexwick"), this, &StatusBarManager::quitRequested);
    m_xembedIcon->setContextMenu(m_menu.get());
    connect(m_xembedIcon.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    togglePopover();
            });
    m_xembedIcon->show();
}

void StatusBarManager::docked()
{
    logLine(lcTray, QStringLiteral("tray: icon docked"));
    // A panel with a watcher often hands XEmbed icons to it as well: one icon is enough.
    if (m_xembedIcon)
        m_xembedIcon->hide();
    if (!m_popover.isStandalone())
        return;
    if (m_popover.isVisible())
        m_leaveStandalone = true; // not taken away from under the user's hands
    else
        m_popover.setStandalone(false);
}

void StatusBarManager::togglePopover(QPoint at)
{
    if (m_popover.isVisible() && !m_popover.isStandalone()) {
        m_popover.hide();
        return;
    }
    if (m_popover.hidBecauseOfDeactivationWithin(clickGuardMs))
        return;
    showPopover(at);
}

void StatusBarManager::showPopover(QPoint at)
{
    if (m_leaveStandalone && !m_popover.isVisible()) {
        m_leaveStandalone = false;
        m_popover.setStandalone(false);
    }
    // The panel says where it was clicked; an XEmbed tray where its icon is. A menu entry
    // says nothing: the icon is where the panel's last click was, if there was one; else the
    // pointer, which has just clicked, is the best guess (Xwayland knows it only over X windows).
    if (!at.isNull())
        m_lastClick = at;
    QRect anchor(at, QSize(1, 1));
    if (at.isNull()) {
        const QRect icon =
            m_xembedIcon && m_xembedIcon->isVisible() ? m_xembedIcon->geometry() : QRect();
        anchor = icon.isValid() && !icon.isEmpty() ? icon
                 : !m_lastClick.isNull()            ? QRect(m_lastClick, QSize(1, 1))
                                                    : QRect(QCursor::pos(), QSize(1, 1));
    }
    // A Wayland compositor gives the focus to a window that shows the token of the click
    // that opened it; a launcher's token, set on the popover before, serves otherwise.
    const QString token = m_item ? m_item->takeActivationToken() : QString();
    if (!token.isEmpty())
        m_popover.setActivationToken(token);
    Q_EMIT popoverOpening(anchor, token);
    m_popover.popUp(anchor);
}

QString StatusBarManager::iconThemePath()
{
    const QString file =
        QStringLiteral("icons/hicolor/symbolic/apps/%1.svg").arg(QLatin1String(iconName));
    if (!QStandardPaths::locate(QStandardPaths::GenericDataLocation, file).isEmpty())
        return {};
    // Uninstalled, the build holds a copy of the icons beside the executable.
    const QString here = QCoreApplication::applicationDirPath() + QStringLiteral("/icons");
    return QFile::exists(here + u'/' + file.mid(6)) ? here : QString();
}

QIcon StatusBarManager::iconOn(const QColor& background)
{
    const QColor dark(0x23, 0x26, 0x29);
    const QColor light(0xef, 0xf0, 0xf1);
    const QColor glyph = contrast(dark, background) >= contrast(light, background) ? dark : light;
    QFile file(symbolicIconFile.arg(QLatin1String(iconName)));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // The glyph takes the colour of its style sheet's text colour.
    QByteArray svg = file.readAll();
    svg.replace("color:#232629", QByteArray("color:" + glyph.name().toLatin1()));
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48}) {
        QBuffer buffer(&svg);
        QImageReader reader(&buffer, "svg");
        reader.setScaledSize(QSize(size, size));
        if (const QImage image = reader.read(); !image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

} // namespace lexwick
