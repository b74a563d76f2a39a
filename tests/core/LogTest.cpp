// SPDX-License-Identifier: MIT
#include "core/Log.h"
#include "support/LogCapture.h"
#include "support/TestMain.h"

#include <QTemporaryFile>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace lexwick;
using namespace lexwick::test;
using namespace Qt::StringLiterals;

class LogTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each line keeps its text, and carries its level and its area.
    void eachLineAtItsLevelInItsArea()
    {
        LogCapture log;
        logCritical(lcHistory, u"Cannot write h.json: disk full"_s);
        logWarning(lcHttp, u"Retry attempt 1/3"_s);
        logLine(lcApp, u"main – starting"_s);
        logDebug(lcPopover, u"showing settings"_s);
        const QList<LogCapture::Entry> entries = log.entries();
        QCOMPARE(entries.size(), 4);
        const QList<std::pair<QtMsgType, QString>> expected{{QtCriticalMsg, u"lexwick.history"_s},
                                                            {QtWarningMsg, u"lexwick.http"_s},
                                                            {QtInfoMsg, u"lexwick.app"_s},
                                                            {QtDebugMsg, u"lexwick.popover"_s}};
        for (qsizetype i = 0; i < entries.size(); ++i) {
            QCOMPARE(entries[i].type, expected[i].first);
            QCOMPARE(entries[i].category, expected[i].second);
        }
        QCOMPARE(log.lines(),
                 (QStringList{u"Lexwick: Cannot write h.json: disk full"_s,
                              u"Lexwick: Retry attempt 1/3"_s, u"Lexwick: main – starting"_s,
                              u"Lexwick: showing settings"_s}));
    }

    // The console names Lexwick once; Qt's own messages keep their category; the journal gets
    // each line's priority, on every line of a message.
    void theLineOnStandardError()
    {
        QCOMPARE(formatLogLine(QtInfoMsg, "lexwick.app", u"Lexwick: main – starting"_s, false),
                 "Lexwick: main – starting\n");
        QCOMPARE(formatLogLine(QtWarningMsg, "qt.qpa.xcb", u"QXcbConnection: error"_s, false),
                 "qt.qpa.xcb: QXcbConnection: error\n");
        QCOMPARE(formatLogLine(QtCriticalMsg, "default", u"lexwick: cannot open"_s, false),
                 "lexwick: cannot open\n");
        QCOMPARE(formatLogLine(QtWarningMsg, nullptr, u"plain"_s, false), "plain\n");

        const QList<std::pair<QtMsgType, QByteArray>> priorities{{QtFatalMsg, "<2>"},
                                                                 {QtCriticalMsg, "<3>"},
                                                                 {QtWarningMsg, "<4>"},
                                                                 {QtInfoMsg, "<6>"},
                                                                 {QtDebugMsg, "<7>"}};
        for (const auto& [type, prefix] : priorities) {
            QCOMPARE(formatLogLine(type, "lexwick.http", u"Lexwick: x"_s, true),
                     prefix + "Lexwick: x\n");
        }
        QCOMPARE(formatLogLine(QtWarningMsg, "lexwick.popover", u"Lexwick: QML: a\nb"_s, true),
                 "<4>Lexwick: QML: a\n<4>b\n");
        QCOMPARE(formatLogLine(QtWarningMsg, "qt.dbus", u"ü"_s, true), "<4>qt.dbus: \xc3\xbc\n");
    }

    // The journal's stream is recognised by its device and inode, not by the variable alone: a
    // child that inherited the variable but writes elsewhere gets plain lines.
    void theJournalIsTheStreamItNames()
    {
        const QByteArray saved = qgetenv("JOURNAL_STREAM");
        struct stat info {};
        QCOMPARE(fstat(STDERR_FILENO, &info), 0);
        const QByteArray device = QByteArray::number(qulonglong(info.st_dev));
        const QByteArray inode = QByteArray::number(qulonglong(info.st_ino));

        qputenv("JOURNAL_STREAM", device + ':' + inode);
        QVERIFY(standardErrorIsJournal());
        qputenv("JOURNAL_STREAM", device + ':' + QByteArray::number(qulonglong(info.st_ino) + 1));
        QVERIFY(!standardErrorIsJournal());
        for (const QByteArray& odd : QByteArrayList{":" + inode, device + ':', inode, "x:y"}) {
            qputenv("JOURNAL_STREAM", odd);
            QVERIFY2(!standardErrorIsJournal(), odd.constData());
        }
        qunsetenv("JOURNAL_STREAM");
        QVERIFY(!standardErrorIsJournal());
        if (!saved.isNull())
            qputenv("JOURNAL_STREAM", saved);
    }
};

LEXWICK_TEST(LogTest)
#include "LogTest.moc"
