#include "ui/ShortcutsView.h"

#include <QCoroProcess>
#include <QJSEngine>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QVariantMap>

namespace lexwick {

namespace {

const QString mediaKeys = QStringLiteral("org.gnome.settings-daemon.plugins.media-keys");
const QString customKeybinding =
    QStringLiteral("org.gnome.settings-daemon.plugins.media-keys.custom-keybinding");
const QString customKeybindings = QStringLiteral("custom-keybindings");

QString command(TextAction action)
{
    return QStringLiteral("lexwick ") + commandName(action);
}

QString title(TextAction action)
{
    return rawValue(action) + QStringLiteral(" selected text");
}

QChar key(TextAction action)
{
    return rawValue(action).front();
}

} // namespace

ShortcutsView::ShortcutsView(Desktop desktop, QString gsettings, QObject* parent)
    : QObject(parent)
    , m_desktop(desktop)
    , m_gsettings(std::move(gsettings))
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
    return QStringLiteral("Ctrl+Alt+Shift+") + key(action);
}

QString ShortcutsView::gnomeBinding(TextAction action)
{
    return QStringLiteral("<Control><Alt><Shift>") + key(action).toLower();
}

QString ShortcutsView::gnomePath(TextAction action)
{
    return QStringLiteral("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/"
                          "lexwick-") +
           commandName(action) + QStringLiteral("/");
}

QVariantList ShortcutsView::commands() const
{
    QVariantList list;
    for (TextAction action : allTextActions) {
        list.append(
            QVariantMap{{QStringLiteral("title"), lexwick::title(action)},
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
    if (canSetUp())
        setUpShortcuts(); // runs on; the status tells how it went
}

QCoro::Task<bool> ShortcutsView::setUpShortcuts()
{
    QPointer self(this);
    setState(true, QString());
    QCoro::Task<std::optional<QString>> reading =
        runGsettings({QStringLiteral("get"), mediaKeys, customKeybindings});
    const std::optional<QString> current = co_await std::move(reading);
    if (!self)
        co_return false;
    std::optional<QStringList> paths = current ? parseStringList(*current) : std::nullopt;
    if (!paths) {
        setState(false,
                 m_status.isEmpty() ? QStringLiteral("Could not read your shortcuts.") : m_status);
        co_return false;
    }

    for (TextAction action : allTextActions) {
        const QString schema = customKeybinding + QStringLiteral(":") + gnomePath(action);
        const std::pair<QString, QString> keys[] = {
            {QStringLiteral("name"), QStringLiteral("Lexwick: ") + lexwick::title(action)},
            {QStringLiteral("command"), command(action)},
            {QStringLiteral("binding"), gnomeBinding(action)}};
        for (const auto& [name, value] : keys) {
            QCoro::Task<std::optional<QString>> writing =
                runGsettings({QStringLiteral("set"), schema, name, stringText(value)});
            const std::optional<QString> written = co_await std::move(writing);
            if (!self)
                co_return false;
            if (!written) {
                setState(false, m_status);
                co_return false;
            }
        }
        if (!paths->contains(gnomePath(action)))
            paths->append(gnomePath(action));
    }

    QCoro::Task<std::optional<QString>> listing =
        runGsettings({QStringLiteral("set"), mediaKeys, customKeybindings, stringListText(*paths)});
    const std::optional<QString> listed = co_await std::move(listing);
    if (!self)
        co_return false;
    if (!listed) {
        setState(false, m_status);
        co_return false;
    }
    setState(false, QStringLiteral("The shortcuts are set up."));
    co_return true;
}

// The output of one run, or nothing (and the reason in the status) when it failed.
QCoro::Task<std::optional<QString>> ShortcutsView::runGsettings(QStringList arguments)
{
    QPointer self(this);
    if (QStandardPaths::findExecutable(m_gsettings).isEmpty()) {
        m_status = QStringLiteral("Could not set up the shortcuts: ") + m_gsettings +
                   QStringLiteral(" is not installed.");
        co_return std::nullopt;
    }
    QProcess process;
    process.setProgram(m_gsettings);
    process.setArguments(arguments);
    QCoro::Task<bool> starting = qCoro(process).start();
    bool finished = co_await std::move(starting);
    if (finished) {
        QCoro::Task<bool> finishing = qCoro(process).waitForFinished(30000);
        finished = co_await std::move(finishing);
    }
    if (!self)
        co_return std::nullopt;
    if (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        const QString error = QString::fromUtf8(process.readAllStandardError()).trimmed();
        m_status = QStringLiteral("Could not set up the shortcuts") +
                   (error.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + error);
        co_return std::nullopt;
    }
    co_return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

void ShortcutsView::setState(bool settingUp, const QString& status)
{
    if (m_settingUp == settingUp && m_status == status)
        return;
    m_settingUp = settingUp;
    m_status = status;
    Q_EMIT stateChanged();
}

std::optional<QStringList> ShortcutsView::parseStringList(const QString& text)
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

QString ShortcutsView::stringText(const QString& text)
{
    QString quoted = text;
    quoted.replace(u'\\', QStringLiteral("\\\\"));
    quoted.replace(u'\'', QStringLiteral("\\'"));
    return QStringLiteral("'") + quoted + QStringLiteral("'");
}

QString ShortcutsView::stringListText(const QStringList& list)
{
    if (list.isEmpty())
        return QStringLiteral("@as []");
    QStringList items;
    for (const QString& item : list)
        items.append(stringText(item));
    return QStringLiteral("[") + items.join(QStringLiteral(", ")) + QStringLiteral("]");
}

} // namespace lexwick
