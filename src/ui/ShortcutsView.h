// SPDX-License-Identifier: MIT
#pragma once

#include "core/TextAction.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>
#include <QVariantList>

namespace lexwick {

class ShortcutInstaller;

// The state behind the "Keyboard shortcuts" sheet: the three commands that work on the text
// selected anywhere, and how this desktop binds them to keys. KDE binds the actions of the
// desktop file itself; where the platform offers an installer (GNOME's custom shortcuts), one
// click binds them; elsewhere the sheet shows the commands to bind.
class ShortcutsView : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the application")
    Q_PROPERTY(QVariantList commands READ commands CONSTANT)
    Q_PROPERTY(lexwick::ShortcutsView::Desktop desktop READ desktop CONSTANT)
    Q_PROPERTY(QString title READ title CONSTANT)
    Q_PROPERTY(QString explanation READ explanation CONSTANT)
    Q_PROPERTY(bool showsSetUpButton READ showsSetUpButton CONSTANT)
    Q_PROPERTY(bool canSetUp READ canSetUp NOTIFY stateChanged)
    Q_PROPERTY(bool isSettingUp READ isSettingUp NOTIFY stateChanged)
    Q_PROPERTY(QString status READ status NOTIFY stateChanged)

public:
    enum class Desktop { gnome, kde, other };
    Q_ENUM(Desktop)

    // The desktop named by XDG_CURRENT_DESKTOP ("ubuntu:GNOME", "KDE", …).
    static Desktop desktopNamed(const QString& currentDesktop);
    // The key each action is bound to by default.
    static QString defaultShortcut(TextAction action);
    // The command that runs the action on the selection ("lexwick paraphrase"), and its title.
    static QString command(TextAction action);
    static QString commandTitle(TextAction action);

    // Without an installer there is nothing to set up. The installer stays the caller's and
    // must outlive the view.
    explicit ShortcutsView(Desktop desktop, ShortcutInstaller* installer = nullptr,
                           QObject* parent = nullptr);

    // One map per action: its "title", "command" and "shortcut" (the default key, where the
    // desktop binds it).
    QVariantList commands() const;
    Desktop desktop() const { return m_desktop; }
    QString title() const { return QStringLiteral("Keyboard shortcuts"); }
    QString explanation() const;
    bool showsSetUpButton() const { return m_installer != nullptr; }
    bool canSetUp() const { return showsSetUpButton() && !m_settingUp; }
    bool isSettingUp() const { return m_settingUp; }
    QString status() const { return m_status; }

    // Binds the three commands through the installer; the status tells how it went.
    Q_INVOKABLE void setUp();
    QCoro::Task<bool> setUpShortcuts();

Q_SIGNALS:
    void stateChanged();

private:
    void setState(bool settingUp, const QString& status);

    Desktop m_desktop;
    ShortcutInstaller* m_installer;
    bool m_settingUp = false;
    QString m_status;
};

// How the platform binds keys: the session's desktop and, where it lets an application bind
// them, the installer (which outlives every screen that uses it).
struct DesktopShortcuts {
    ShortcutsView::Desktop desktop = ShortcutsView::Desktop::other;
    ShortcutInstaller* installer = nullptr;
};

} // namespace lexwick
