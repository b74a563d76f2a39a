#pragma once

#include "core/TextAction.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QtQml/qqmlregistration.h>
#include <QVariantList>

#include <optional>

namespace lexwick {

// The state behind the "Keyboard shortcuts" sheet: the three commands that work on the text
// selected anywhere, and how this desktop binds them to keys. KDE binds the actions of the
// desktop file itself; on GNOME one click adds them to the user's custom shortcuts (appended
// to the list, never replacing it); elsewhere the sheet shows the commands to bind.
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
    // The same in GNOME's notation ("<Control><Alt><Shift>c").
    static QString gnomeBinding(TextAction action);
    // Where GNOME keeps the shortcut of the action.
    static QString gnomePath(TextAction action);

    // `gsettings` is the program that reads and writes GNOME's settings.
    explicit ShortcutsView(Desktop desktop, QString gsettings = QStringLiteral("gsettings"),
                           QObject* parent = nullptr);

    // One map per action: its "title", "command" and "shortcut" (the default key, where the
    // desktop binds it).
    QVariantList commands() const;
    Desktop desktop() const { return m_desktop; }
    QString title() const { return QStringLiteral("Keyboard shortcuts"); }
    QString explanation() const;
    bool showsSetUpButton() const { return m_desktop == Desktop::gnome; }
    bool canSetUp() const { return showsSetUpButton() && !m_settingUp; }
    bool isSettingUp() const { return m_settingUp; }
    QString status() const { return m_status; }

    // Adds the three commands to GNOME's custom shortcuts (again: rewrites its own entries
    // and adds none twice).
    Q_INVOKABLE void setUp();
    QCoro::Task<bool> setUpShortcuts();

    // GVariant's text form of a list of strings, both ways.
    static std::optional<QStringList> parseStringList(const QString& text);
    static QString stringListText(const QStringList& list);
    static QString stringText(const QString& text);

Q_SIGNALS:
    void stateChanged();

private:
    QCoro::Task<std::optional<QString>> runGsettings(QStringList arguments);
    void setState(bool settingUp, const QString& status);

    Desktop m_desktop;
    QString m_gsettings;
    bool m_settingUp = false;
    QString m_status;
};

} // namespace lexwick
