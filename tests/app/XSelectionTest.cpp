// SPDX-License-Identifier: MIT
#include "app/XSelection.h"
#include "support/RunTask.h"
#include "support/TestMain.h"
#include "X11Session.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTest>

#include <cstring>

#include <xcb/xcb.h>

using namespace lexwick;
using namespace lexwick::test;
using namespace Qt::StringLiterals;

namespace {

using Selection = XSelection::Selection;
using ReadResult = std::expected<QString, XSelection::ReadError>;

} // namespace

// How QCOMPARE shows a read that went otherwise than expected.
namespace QTest {
template <> char* toString(const ReadResult& result)
{
    if (result)
        return qstrdup(qPrintable(u'"' + result->left(80) + u'"'));
    return qstrdup(qPrintable(u"error %1"_s.arg(int(result.error()))));
}
template <> char* toString(const std::optional<ReadResult>& result)
{
    return result ? toString(*result) : qstrdup("(did not end)");
}
} // namespace QTest

namespace {

// Larger than one piece, so it is handed over incrementally; its lines tell a lost or repeated
// piece.
QByteArray bigText()
{
    QByteArray text;
    for (int line = 0; text.size() < 5 * XSelection::chunk + 123; ++line)
        text += "line " + QByteArray::number(line) + " \xc3\xa9\n";
    return text;
}

// xclip reading what is served, while the event loop runs (the serving needs it).
std::optional<QByteArray> xclipOut(const X11Session& session, const QStringList& arguments)
{
    auto process = session.start(u"xclip"_s, arguments + QStringList{u"-o"_s});
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->start();
    if (!eventually([&] { return process->state() == QProcess::NotRunning; },
                    std::chrono::seconds(10)) ||
        process->exitCode() != 0)
        return std::nullopt;
    return process->readAllStandardOutput();
}

// xclip owning the selection with the text: it forks first, and its child takes the selection.
bool xclipIn(const X11Session& session, const QString& selection, const QByteArray& text)
{
    return session.run(u"xclip"_s, {u"-selection"_s, selection}, text) &&
           eventually(
               [&] {
                   return xclipOut(session, {u"-selection"_s, selection}) == text;
               },
               std::chrono::seconds(10));
}

// Another client, on a raw connection, that answers each request for PRIMARY by starting an
// incremental transfer and then dies; or that asks for CLIPBOARD and dies once it has begun.
struct DyingClient {
    xcb_connection_t* connection;
    xcb_window_t window = 0;
    std::unique_ptr<QSocketNotifier> notifier;
    bool gone = false;

    explicit DyingClient(const QByteArray& display)
        : connection(xcb_connect(display.constData(), nullptr))
    {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
        window = xcb_generate_id(connection);
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(connection, 0, window, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                          &mask);
        xcb_flush(connection);
    }
    ~DyingClient() { die(); }

    xcb_atom_t atom(const char* name) const
    {
        auto* reply = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, uint16_t(strlen(name)), name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return atom;
    }

    void die()
    {
        if (!gone)
            xcb_disconnect(connection);
        gone = true;
    }

    void ownPrimaryAndDieWhenAsked()
    {
        xcb_set_selection_owner(connection, window, XCB_ATOM_PRIMARY, XCB_CURRENT_TIME);
        xcb_flush(connection);
        const xcb_atom_t incr = atom("INCR");
        notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection),
                                                     QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, [this, incr] {
            while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
                if ((event->response_type & 0x7f) == XCB_SELECTION_REQUEST) {
                    const auto* request =
                        reinterpret_cast<const xcb_selection_request_event_t*>(event);
                    const uint32_t size = 1'000'000;
                    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request->requestor,
                                        request->property, incr, 32, 1, &size);
                    xcb_selection_notify_event_t notify{};
                    notify.response_type = XCB_SELECTION_NOTIFY;
                    notify.requestor = request->requestor;
                    notify.selection = request->selection;
                    notify.target = request->target;
                    notify.property = request->property;
                    xcb_send_event(connection, 0, request->requestor, 0,
                                   reinterpret_cast<const char*>(&notify));
                    xcb_flush(connection);
                    free(event);
                    notifier.reset();
                    die();
                    return;
                }
                free(event);
            }
        });
    }

    // Asks for CLIPBOARD as UTF-8 and dies once the first piece is there.
    void readClipboardAndDie()
    {
        const xcb_atom_t property = atom("TAKEN");
        xcb_convert_selection(connection, window, atom("CLIPBOARD"), atom("UTF8_STRING"), property,
                              XCB_CURRENT_TIME);
        xcb_flush(connection);
        notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection),
                                                     QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] {
            while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
                const bool begun = (event->response_type & 0x7f) == XCB_SELECTION_NOTIFY;
                free(event);
                if (begun) {
                    notifier.reset();
                    die();
                    return;
                }
            }
        });
    }
};

} // namespace

class XSelectionTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(m_session.failure().isEmpty(), qPrintable(m_session.failure()));
        m_display = m_session.environment().value(u"DISPLAY"_s).toUtf8();
        QVERIFY(!XSelection::open(":987"));
    }

    // What another client reads from the clipboard held: each text type, the list of them, a
    // text too long for one piece; and that the clipboard goes once another client takes it.
    void servesTheClipboard()
    {
        const auto selection = XSelection::open(m_display);
        QVERIFY(selection);
        const QString text = u"Grüße ✓"_s;
        QVERIFY(selection->own(Selection::clipboard, text));
        QVERIFY(selection->owns(Selection::clipboard));
        QVERIFY(!selection->owns(Selection::primary));
        const QStringList clipboard{u"-selection"_s, u"clipboard"_s, u"-t"_s};

        const auto targets = xclipOut(m_session, clipboard + QStringList{u"TARGETS"_s});
        QVERIFY(targets);
        for (const QByteArray type :
             {"TARGETS", "UTF8_STRING", "STRING", "text/plain;charset=utf-8"})
            QVERIFY2(targets->split('\n').contains(type), targets->constData());
        QCOMPARE(xclipOut(m_session, clipboard + QStringList{u"UTF8_STRING"_s}), text.toUtf8());
        QCOMPARE(xclipOut(m_session, clipboard + QStringList{u"text/plain;charset=utf-8"_s}),
                 text.toUtf8());
        QCOMPARE(xclipOut(m_session, clipboard + QStringList{u"STRING"_s}), text.toLatin1());
        QVERIFY(!xclipOut(m_session, clipboard + QStringList{u"image/png"_s}));

        const QByteArray big = bigText();
        QVERIFY(selection->own(Selection::clipboard, QString::fromUtf8(big)));
        QCOMPARE(xclipOut(m_session, clipboard + QStringList{u"UTF8_STRING"_s}), big);

        QSignalSpy lost(selection.get(), &XSelection::lost);
        QVERIFY(m_session.run(u"xclip"_s, {u"-selection"_s, u"clipboard"_s}, "someone else's"));
        QVERIFY(lost.wait(5000));
        QVERIFY(!selection->owns(Selection::clipboard));
        QCOMPARE(xclipOut(m_session, clipboard + QStringList{u"UTF8_STRING"_s}),
                 QByteArray("someone else's"));
    }

    // The selection as its owner hands it over, short or in pieces; none when nobody has one.
    void readsTheSelection()
    {
        const auto selection = XSelection::open(m_display);
        QVERIFY(selection);
        QVERIFY(xclipIn(m_session, u"primary"_s, "héllo, wörld"));
        QCOMPARE(runTask(selection->read(Selection::primary)), ReadResult(u"héllo, wörld"_s));

        const QByteArray big = bigText();
        QVERIFY(xclipIn(m_session, u"primary"_s, big));
        QCOMPARE(runTask(selection->read(Selection::primary)), ReadResult(QString::fromUtf8(big)));

        // Reads at once share one place of hand-over: they take turns.
        QVERIFY(xclipIn(m_session, u"primary"_s, "one"));
        auto both = [](XSelection& from) -> QCoro::Task<bool> {
            auto first = from.read(Selection::primary);
            auto second = from.read(Selection::primary);
            const ReadResult a = co_await std::move(first);
            const ReadResult b = co_await std::move(second);
            co_return a == ReadResult(u"one"_s) && b == ReadResult(u"one"_s);
        };
        QCOMPARE(runTask(both(*selection)), std::optional(true));

        // Its own clipboard, read back through the server.
        QVERIFY(selection->own(Selection::clipboard, u"mine"_s));
        QCOMPARE(runTask(selection->read(Selection::clipboard)), ReadResult(u"mine"_s));

        DyingClient owner(m_display);
        xcb_set_selection_owner(owner.connection, owner.window, XCB_ATOM_PRIMARY, XCB_CURRENT_TIME);
        xcb_set_selection_owner(owner.connection, XCB_WINDOW_NONE, XCB_ATOM_PRIMARY,
                                XCB_CURRENT_TIME);
        free(xcb_get_selection_owner_reply(
            owner.connection, xcb_get_selection_owner(owner.connection, XCB_ATOM_PRIMARY),
            nullptr)); // done once answered
        QCOMPARE(runTask(selection->read(Selection::primary)),
                 ReadResult(std::unexpect, XSelection::ReadError::noOwner));
    }

    // Another client that dies in the middle of a transfer, as the owner read from or as the
    // requestor served, ends it within the stall limit, and the next one works.
    void outlivesAClientThatDies()
    {
        const auto selection = XSelection::open(m_display);
        QVERIFY(selection);
        {
            DyingClient owner(m_display);
            owner.ownPrimaryAndDieWhenAsked();
            QElapsedTimer clock;
            clock.start();
            QCOMPARE(runTask(selection->read(Selection::primary)),
                     ReadResult(std::unexpect, XSelection::ReadError::timedOut));
            QVERIFY(owner.gone);
            QVERIFY(clock.elapsed() < 10'000);
        }
        QVERIFY(xclipIn(m_session, u"primary"_s, "after"));
        QCOMPARE(runTask(selection->read(Selection::primary)), ReadResult(u"after"_s));

        const QByteArray big = bigText();
        QVERIFY(selection->own(Selection::clipboard, QString::fromUtf8(big)));
        DyingClient reader(m_display);
        reader.readClipboardAndDie();
        QVERIFY(eventually([&] { return reader.gone; }, std::chrono::seconds(5)));
        QCOMPARE(xclipOut(m_session, {u"-selection"_s, u"clipboard"_s, u"-t"_s, u"UTF8_STRING"_s}),
                 big);
    }

private:
    X11Session m_session{{.tray = false}};
    QByteArray m_display;
};

LEXWICK_TEST(XSelectionTest)
#include "XSelectionTest.moc"
