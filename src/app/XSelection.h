// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QCoroTask>
#include <QHash>
#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <utility>

struct xcb_connection_t;
class QSocketNotifier;
class QTimer;

namespace lexwick {

// The X selections through a connection of the application's own, apart from Qt's: on a
// Wayland desktop that runs Xwayland, the windows stay Wayland ones while the selection is read
// and the clipboard written as an X client, which a compositor may allow where it refuses an
// unfocused Wayland client (it bridges the X selections to Wayland's).
//
// Everything runs on the event loop: replies are waited for only from the X server itself,
// never from another client; a transfer from or to another client is driven by the events of
// the connection's socket, and one that stalls is given up.
class XSelection : public QObject {
    Q_OBJECT

public:
    enum class Selection : uint8_t { primary, clipboard };

    enum class ReadError : uint8_t {
        noOwner,  // nobody holds the selection
        refused,  // its owner has no text, or said no
        timedOut, // its owner did not answer, or stopped in the middle
        tooLarge, // longer than maxText
    };

    // The largest text read or served; larger selections are refused.
    static constexpr qsizetype maxText = 16 * 1024 * 1024;
    // How much goes in one piece; larger texts are handed over incrementally.
    static constexpr qsizetype chunk = 64 * 1024;
    // How long another client may keep a transfer waiting before it is given up.
    static constexpr std::chrono::milliseconds stallLimit{2000};

    // A connection to the X server of this display (empty: $DISPLAY); nothing when there is
    // none to connect to.
    static std::unique_ptr<XSelection> open(const QByteArray& display = {});
    ~XSelection() override;

    // The selection's text as its owner hands it over (UTF-8, else Latin-1).
    QCoro::Task<std::expected<QString, ReadError>> read(Selection selection);
    // Takes the selection with the text and serves it until another client takes it; false when
    // the server gave it to nobody.
    bool own(Selection selection, const QString& text);
    bool owns(Selection selection) const;

Q_SIGNALS:
    // Another client asked for the selection held (a clipboard manager, the compositor's bridge).
    void served(XSelection::Selection selection);
    // Another client took it.
    void lost(XSelection::Selection selection);

    // The events a read waits for: the owner's answer, a piece written, the read's end.
    void converted();
    void written();
    void readEnded();

private:
    struct Atoms;
    struct Transfer;

    XSelection(xcb_connection_t* connection, uint32_t root);
    void dispatch();
    void scheduleDispatch();
    void handleRequest(const void* event);
    void handleSelectionClear(uint32_t selection);
    void handlePropertyDelete(uint32_t window, uint32_t property);
    void continueTransfer(Transfer& transfer);
    void endTransfer(uint64_t key);
    uint32_t atomOf(Selection selection) const;
    QCoro::Task<std::expected<QString, ReadError>> convert(uint32_t selection);
    // The property's whole value, deleted as it is read; nothing on failure.
    std::optional<std::pair<uint32_t, QByteArray>> takeProperty(uint32_t property);

    xcb_connection_t* m_connection;
    uint32_t m_window = 0;
    std::unique_ptr<Atoms> m_atoms;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QHash<uint32_t, QByteArray> m_owned;                    // by selection atom, as UTF-8
    QHash<uint64_t, std::shared_ptr<Transfer>> m_transfers; // by requestor and property
    bool m_reading = false;
    std::optional<std::pair<uint32_t, uint32_t>> m_converted; // the selection, the property
    bool m_written = false;
    bool m_dispatchScheduled = false;
};

} // namespace lexwick
