// SPDX-License-Identifier: MIT
// The ways to the selection inside GNOME Shell (headless, on its own buses), measured from
// outside as a keyboard shortcut meets them: another application owns PRIMARY (wl-copy), then
// `lexwick correct` runs; a run succeeds when the command exits 0 and a Wayland client
// (wl-paste) then reads this run's answer from the clipboard. For each way: the successes out
// of the runs, and the time from the command's start to its exit (median, min–max) of the
// runs that succeeded and of those that failed.
// - wayland+x: Lexwick native on Wayland, the selection through its own Xwayland connection;
// - wayland-popover: Lexwick native on Wayland without Xwayland (DISPLAY unset): the popover;
// - xcb: Lexwick itself through Xwayland;
// - wl-clipboard: an unfocused Wayland client doing the same without Lexwick (wl-paste
//   --primary, then wl-copy), what a client without the compositor's data-control gets.
// usage: bench_gnome_selection [runs]   (20 by default)

#include "GnomeSession.h"
#include "settings/SettingsManager.h"
#include "settings/UserDefaults.h"
#include "support/BackgroundTestHttpServer.h"
#include "support/Expect.h"
#include "X11Session.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>

#include <algorithm>
#include <cstdio>

using namespace lexwick;
using namespace lexwick::test;
using namespace Qt::StringLiterals;

namespace {

struct Outcome {
    int successes = 0;
    std::vector<double> succeeded; // how long each run took, by how it ended
    std::vector<double> failed;
    QByteArray lastFailure;
};

// The exit code and how long the process ran, once it ends (the event loop runs meanwhile).
std::pair<int, double> timed(QProcess& process, const QByteArray& input = {})
{
    QElapsedTimer clock;
    clock.start();
    process.start();
    if (!input.isEmpty()) {
        process.write(input);
        process.closeWriteChannel();
    }
    if (!eventually([&] { return process.state() == QProcess::NotRunning; },
                    std::chrono::seconds(30))) {
        process.kill();
        process.waitForFinished();
        return {-1, double(clock.elapsed())};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            double(clock.elapsed())};
}

// One way, run after run; `step` does the run's work and says whether it ended well.
// What the command said last, on either channel.
QByteArray said;

Outcome measure(GnomeSession& session, int runs,
                const std::function<std::pair<int, double>(const QString& text)>& step)
{
    Outcome outcome;
    for (int run = 0; run < runs; ++run) {
        const QString text = u"Helo from elsewhere %1"_s.arg(run);
        session.run(u"wl-copy"_s, {u"--primary"_s, text});
        const auto [code, ms] = step(text);
        const QByteArray pasted = session.clipboard().value_or(QByteArray());
        const QByteArray expected = (u"Hello from elsewhere %1."_s.arg(run)).toUtf8();
        if (code == 0 && pasted == expected) {
            ++outcome.successes;
            outcome.succeeded.push_back(ms);
        } else {
            outcome.failed.push_back(ms);
            outcome.lastFailure = "exit " + QByteArray::number(code) + ", clipboard \"" +
                                  pasted.left(60) + "\" " + said.trimmed();
        }
        // The popover, where a way opened it.
        session.keys({keysym::escape});
        eventually([] { return false; }, std::chrono::milliseconds(300));
    }
    return outcome;
}

// "median ms (min–max)" of the runs, or "-" when there are none.
QString spread(std::vector<double> values)
{
    if (values.empty())
        return u"-"_s;
    std::sort(values.begin(), values.end());
    return u"%1 ms (%2–%3)"_s.arg(values[values.size() / 2]).arg(values.front()).arg(values.back());
}

void print(const char* way, int runs, const Outcome& outcome)
{
    std::printf("%-16s %2d/%-2d  %-24s %-24s %s\n", way, outcome.successes, runs,
                qPrintable(spread(outcome.succeeded)), qPrintable(spread(outcome.failed)),
                outcome.lastFailure.constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;

    GnomeSession session;
    if (!session.failure().isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(session.failure()));
        return 1;
    }
    BackgroundTestHttpServer modelServer;
    modelServer.setHandler([](const ReceivedRequest& request) {
        if (request.path.endsWith("/models"))
            return ScriptedReply::json(200, R"({"data":[{"id":"m"}]})");
        static const QRegularExpression run(u"Helo from elsewhere (\\d+)"_s);
        const auto match = run.match(QString::fromUtf8(request.body));
        return ScriptedReply::json(
            200, chatAnswer(u"Hello from elsewhere %1."_s.arg(match.captured(1))));
    });
    const QString config = session.homePath(u".config/Lexwick"_s);
    QDir().mkpath(config);
    {
        UserDefaults defaults(config + u"/defaults.cbor"_s);
        defaults.setObject(u"local"_s, SettingsManager::providerModeKey);
        defaults.setObject(modelServer.url(u"/v1"_s).toString(), SettingsManager::localServerKey);
        defaults.setBool(true, SettingsManager::onboardingKey);
    }

    std::printf("%-16s %-6s %-24s %-24s %s\n", "way", "ok", "succeeded: median (min–max)",
                "failed: median (min–max)", "last failure");
    const struct {
        const char* name;
        QString platform;
        bool display;
    } ways[] = {{"wayland+x", u"wayland"_s, true},
                {"wayland-popover", u"wayland"_s, false},
                {"xcb", u"xcb"_s, true}};
    for (const auto& way : ways) {
        auto lexwick = session.start(QStringLiteral(LEXWICK_BINARY));
        QProcessEnvironment environment = lexwick->processEnvironment();
        environment.insert(u"QT_QPA_PLATFORM"_s, way.platform);
        if (!way.display)
            environment.remove(u"DISPLAY"_s);
        lexwick->setProcessEnvironment(environment);
        lexwick->setStandardOutputFile(session.homePath(QString::fromLatin1(way.name) + u".log"_s));
        lexwick->start();
        eventually([] { return false; }, std::chrono::seconds(4));
        const Outcome outcome = measure(session, runs, [&](const QString&) {
            auto command = session.start(QStringLiteral(LEXWICK_BINARY), {u"correct"_s});
            command->setStandardInputFile(QProcess::nullDevice());
            const auto ended = timed(*command);
            said = command->readAll();
            return ended;
        });
        print(way.name, runs, outcome);
        if (lexwick->state() != QProcess::Running) {
            QFile log(session.homePath(QString::fromLatin1(way.name) + u".log"_s));
            log.open(QIODevice::ReadOnly);
            std::printf("  Lexwick ended (status %d, code %d): %s\n", int(lexwick->exitStatus()),
                        lexwick->exitCode(), log.readAll().right(600).constData());
        }
        lexwick->terminate();
        lexwick->waitForFinished(5000);
    }

    // Without Lexwick: what an unfocused Wayland client gets from mutter by itself.
    const Outcome direct = measure(session, runs, [&](const QString&) -> std::pair<int, double> {
        QElapsedTimer clock;
        clock.start();
        const auto read = session.run(u"wl-paste"_s, {u"--primary"_s, u"--no-newline"_s});
        if (!read)
            return {1, double(clock.elapsed())};
        const QString number = QString::fromUtf8(*read).section(u' ', -1);
        const auto written =
            session.run(u"wl-copy"_s, {u"Hello from elsewhere "_s + number + u"."_s});
        return {written ? 0 : 1, double(clock.elapsed())};
    });
    print("wl-clipboard", runs, direct);
    return 0;
}
