// SPDX-License-Identifier: MIT
#include "app/GnomeShortcuts.h"

#include "ui/ShortcutsView.h"

#include <QCoroProcess>
#include <QProcess>
#include <QStandardPaths>

#include <utility>

namespace lexwick {

namespace {

const QString mediaKeys = QStringLiteral("org.gnome.settings-daemon.plugins.media-keys");
const QString customKeybinding =
    QStringLiteral("org.gnome.settings-daemon.plugins.media-keys.custom-keybinding");
const QString customKeybindings = QStringLiteral("custom-keybindings");

// The output of one run, or why it failed.
QCoro::Task<std::expected<QString, QString>> runGsettings(QString program, QStringList arguments)
{
    if (QStandardPaths::findExecutable(program).isEmpty()) {
        co_return std::unexpected(QStringLiteral("Could not set up the shortcuts: ") + program +
                                  QStringLiteral(" is not installed."));
    }
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    QCoro::Task<bool> starting = qCoro(process).start();
    bool finished = co_await std::move(starting);
    if (finished) {
        QCoro::Task<bool> finishing = qCoro(process).waitForFinished(30000);
        finished = co_await std::move(finishing);
    }
    if (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        const QString error = QString::fromUtf8(process.readAllStandardError()).trimmed();
        co_return std::unexpected(
            QStringLiteral("Could not set up the shortcuts") +
            (error.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + error));
    }
    co_return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

} // namespace

GnomeShortcuts::GnomeShortcuts(QString gsettings)
    : m_gsettings(std::move(gsettings))
{
}

QCoro::Task<std::expected<void, QString>> GnomeShortcuts::install()
{
    // Nothing of the object is read after the first wait: it may be gone by then.
    const QString program = m_gsettings;
    auto reading = runGsettings(program, {QStringLiteral("get"), mediaKeys, customKeybindings});
    const std::expected<QString, QString> current = co_await std::move(reading);
    if (!current)
        co_return std::unexpected(current.error());
    std::optional<QStringList> paths = parseStringList(*current);
    if (!paths)
        co_return std::unexpected(QStringLiteral("Could not read your shortcuts."));

    for (TextAction action : allTextActions) {
        const QString schema = customKeybinding + QStringLiteral(":") + path(action);
        const std::pair<QString, QString> keys[] = {
            {QStringLiteral("name"),
             QStringLiteral("Lexwick: ") + ShortcutsView::commandTitle(action)},
            {QStringLiteral("command"), ShortcutsView::command(action)},
            {QStringLiteral("binding"), binding(action)}};
        for (const auto& [name, value] : keys) {
            auto writing =
                runGsettings(program, {QStringLiteral("set"), schema, name, stringText(value)});
            const std::expected<QString, QString> written = co_await std::move(writing);
            if (!written)
                co_return std::unexpected(written.error());
        }
        if (!paths->contains(path(action)))
            paths->append(path(action));
    }

    auto listing = runGsettings(
        program, {QStringLiteral("set"), mediaKeys, customKeybindings, stringListText(*paths)});
    const std::expected<QString, QString> listed = co_await std::move(listing);
    if (!listed)
        co_return std::unexpected(listed.error());
    co_return {};
}

QString GnomeShortcuts::binding(TextAction action)
{
    return QStringLiteral("<Control><Alt><Shift>") + rawValue(action).front().toLower();
}

QString GnomeShortcuts::path(TextAction action)
{
    return QStringLiteral("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/"
                          "lexwick-") +
           commandName(action) + QStringLiteral("/");
}

std::optional<QStringList> GnomeShortcuts::parseStringList(const QString& text)
{
    QStringView rest = QStringView(text).trimmed();
    if (rest.startsWith(u"@as"))
        rest = rest.mid(3).trimmed();
    if (!rest.startsWith(u'[') || !rest.endsWith(u']'))
        return std::nullopt;
    rest = rest.mid(1, rest.size() - 2).trimmed();
    QStringList list;
    while (!rest.isEmpty()) {
        const QChar quote = rest.front();
        if (quote != u'\'' && quote != u'"')
            return std::nullopt;
        QString item;
        qsizetype i = 1;
        for (; i < rest.size() && rest[i] != quote; ++i) {
            if (rest[i] == u'\\' && i + 1 < rest.size())
                ++i;
            item.append(rest[i]);
        }
        if (i >= rest.size())
            return std::nullopt;
        list.append(item);
        rest = rest.mid(i + 1).trimmed();
        if (rest.startsWith(u','))
            rest = rest.mid(1).trimmed();
        else if (!rest.isEmpty())
            return std::nullopt;
    }
    return list;
}

QString GnomeShortcuts::stringText(const QString& text)
{
    QString quoted = text;
    quoted.replace(u'\\', QStringLiteral("\\\\"));
    quoted.replace(u'\'', QStringLiteral("\\'"));
    return QStringLiteral("'") + quoted + QStringLiteral("'");
}

QString GnomeShortcuts::stringListText(const QStringList& list)
{
    if (list.isEmpty())
        return QStringLiteral("@as []");
    QStringList items;
    for (const QString& item : list)
        items.append(stringText(item));
    return QStringLiteral("[") + items.join(QStringLiteral(", ")) + QStringLiteral("]");
}

} // namespace lexwick
