// SPDX-License-Identifier: MIT
#include "ui/ShortcutsView.h"

#include "ui/ShortcutInstaller.h"

#include <QJSEngine>
#include <QPointer>
#include <QVariantMap>

namespace lexwick {

ShortcutsView::ShortcutsView(Desktop desktop, ShortcutInstaller* installer, QObject* parent)
    : QObject(parent)
    , m_desktop(desktop)
    , m_installer(installer)
{
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership); // QML never collects it
}

ShortcutsView::Desktop ShortcutsView::desktopNamed(const QString& currentDesktop)
{
    const QStringList names = currentDesktop.split(u':', Qt::SkipEmptyParts);
    if (names.contains(QStringLiteral("KDE"), Qt::CaseInsensitive))
        return Desktop::kde;
    if (names.contains(QStringLiteral("GNOME"), Qt::CaseInsensitive))
        return Desktop::gnome;
    return Desktop::other;
}

QString ShortcutsView::defaultShortcut(TextAction action)
{
    return QStringLiteral("Ctrl+Alt+Shift+") + rawValue(action).front();
}

QString ShortcutsView::command(TextAction action)
{
    return QStringLiteral("lexwick ") + commandName(action);
}

QString ShortcutsView::commandTitle(TextAction action)
{
    return rawValue(action) + QStringLiteral(" selected text");
}

QVariantList ShortcutsView::commands() const
{
    QVariantList list;
    for (TextAction action : allTextActions) {
        list.append(
            QVariantMap{{QStringLiteral("title"), commandTitle(action)},
                        {QStringLiteral("command"), command(action)},
                        {QStringLiteral("shortcut"),
                         m_desktop == Desktop::other ? QString() : defaultShortcut(action)}});
    }
    return list;
}

QString ShortcutsView::explanation() const
{
    switch (m_desktop) {
    case Desktop::gnome:
        return QStringLiteral("Select text in any application and press a shortcut: the result "
                              "goes to the clipboard. Lexwick can add these shortcuts to your "
                              "custom shortcuts; the ones you have stay as they are.");
    case Desktop::kde:
        return QStringLiteral("Select text in any application and press a shortcut: the result "
                              "goes to the clipboard. The shortcuts are in System Settings, "
                              "under Shortcuts, in Lexwick's entry.");
    case Desktop::other:
        return QStringLiteral("Select text in any application and run a command: the result "
                              "goes to the clipboard. Bind these commands to keys in your "
                              "desktop's keyboard settings.");
    }
    std::unreachable();
}

void ShortcutsView::setUp()
{
    setUpShortcuts(); // runs on; the status tells how it went
}

QCoro::Task<bool> ShortcutsView::setUpShortcuts()
{
    if (!canSetUp())
        co_return false;
    QPointer self(this);
    setState(true, QString());
    QCoro::Task<std::expected<void, QString>> installing = m_installer->install();
    const std::expected<void, QString> installed = co_await std::move(installing);
    if (!self)
        co_return false;
    setState(false, installed ? QStringLiteral("The shortcuts are set up.") : installed.error());
    co_return installed.has_value();
}

void ShortcutsView::setState(bool settingUp, const QString& status)
{
    if (m_settingUp == settingUp && m_status == status)
        return;
    m_settingUp = settingUp;
    m_status = status;
    Q_EMIT stateChanged();
}

} // namespace lexwick
