// SPDX-License-Identifier: MIT
#pragma once

#include "core/TextAction.h"
#include "ui/ShortcutInstaller.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace lexwick {

// GNOME's custom keyboard shortcuts, read and written with the `gsettings` program. The three
// commands are appended to the user's list, never replacing it; running again rewrites our own
// entries and adds none twice.
class GnomeShortcuts final : public ShortcutInstaller {
public:
    // `gsettings` is the program that reads and writes GNOME's settings.
    explicit GnomeShortcuts(QString gsettings = QStringLiteral("gsettings"));

    QCoro::Task<std::expected<void, QString>> install() override;

    // The action's default key in GNOME's notation ("<Control><Alt><Shift>c").
    static QString binding(TextAction action);
    // Where GNOME keeps the shortcut of the action.
    static QString path(TextAction action);

    // GVariant's text form of a list of strings, both ways.
    static std::optional<QStringList> parseStringList(const QString& text);
    static QString stringListText(const QStringList& list);
    static QString stringText(const QString& text);

private:
    QString m_gsettings;
};

} // namespace lexwick
