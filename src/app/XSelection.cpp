// SPDX-License-Identifier: MIT
#include "app/XSelection.h"

#include "core/SignalWait.h"

#include <QPointer>
#include <QScopeGuard>
#include <QSocketNotifier>
#include <QTimer>

#include <array>
#include <cstdlib>

#include <xcb/xcb.h>

namespace lexwick {

namespace {

// Frees what xcb hands over with malloc.
template <typename T> struct Freed {
    T* value;
    explicit Freed(T* taken)
        : value(taken)
    {
    }
    ~Freed() { std::free(value); }
    Freed(const Freed&) = delete;
    Freed& operator=(const Freed&) = delete;
    T* operator->() const { return value; }
    explicit operator bool() const { return value != nullptr; }
};

} // namespace

struct XSelection::Atoms {
    uint32_t clipboard = 0;
    uint32_t targets = 0;
    uint32_t utf8 = 0;
    uint32_t textPlainUtf8 = 0;
    uint32_t incr = 0;
    uint32_t property = 0; // where the texts read are handed over
};

// One text handed over to another client in pieces: each time it deletes the property, the
// next piece goes there, and an empty one says the text is complete.
struct XSelection::Transfer {
    uint32_t requestor = 0;
    uint32_t property = 0;
    uint32_t type = 0;
    QByteArray data;
    qsizetype offset = 0;
    QTimer stall;
};

std::unique_ptr<XSelection> XSelection::open(const QByteArray& display)
{
    int screenNumber = 0;
    xcb_connection_t* connection =
        xcb_connect(display.isEmpty() ? nullptr : display.constData(), &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem == 0) {
        xcb_disconnect(connection);
        return nullptr;
    }
    return std::unique_ptr<XSelection>(new XSelection(connection, screens.data->root));
}

XSelection::XSelection(xcb_connection_t* connection, uint32_t root)
    : m_connection(connection)
    , m_atoms(std::make_unique<Atoms>())
{
    const std::array<std::pair<uint32_t*, std::string_view>, 6> names{{
        {&m_atoms->clipboard, "CLIPBOARD"},
        {&m_atoms->targets, "TARGETS"},
        {&m_atoms->utf8, "UTF8_STRING"},
        {&m_atoms->textPlainUtf8, "text/plain;charset=utf-8"},
        {&m_atoms->incr, "INCR"},
        {&m_atoms->property, "LEXWICK_SELECTION"},
    }};
    std::array<xcb_intern_atom_cookie_t, names.size()> cookies{};
    for (size_t i = 0; i < names.size(); ++i) {
        cookies[i] = xcb_intern_atom(m_connection, 0, uint16_t(names[i].second.size()),
                                     names[i].second.data());
    }
    for (size_t i = 0; i < names.size(); ++i) {
        const Freed reply(xcb_intern_atom_reply(m_connection, cookies[i], nullptr));
        *names[i].first = reply ? reply->atom : uint32_t(XCB_ATOM_NONE);
    }

    // A window nobody sees: the selections' owner and the place texts are handed over to.
    m_window = xcb_generate_id(m_connection);
    const std::array<uint32_t, 2> values{1, XCB_EVENT_MASK_PROPERTY_CHANGE};
    xcb_create_window(m_connection, 0, m_window, root, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK,
                      values.data());
    xcb_flush(m_connection);

    m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(m_connection),
                                                   QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &XSelection::dispatch);
}

XSelection::~XSelection()
{
    m_notifier.reset();
    m_transfers.clear();
    xcb_disconnect(m_connection); // the window and the selections go with the connection
}

uint32_t XSelection::atomOf(Selection selection) const
{
    return selection == Selection::primary ? uint32_t(XCB_ATOM_PRIMARY) : m_atoms->clipboard;
}

// A round trip may leave events in xcb's queue, where the socket no longer tells of them.
void XSelection::scheduleDispatch()
{
    if (m_dispatchScheduled)
        return;
    m_dispatchScheduled = true;
    QTimer::singleShot(0, this, &XSelection::dispatch);
}

void XSelection::dispatch()
{
    m_dispatchScheduled = false;
    QPointer self(this);
    while (xcb_generic_event_t* raw = xcb_poll_for_event(m_connection)) {
        const Freed event(raw);
        switch (event->response_type & 0x7f) {
        case XCB_SELECTION_REQUEST:
            handleRequest(event.value);
            break;
        case XCB_SELECTION_CLEAR: {
            const auto* clear = reinterpret_cast<const xcb_selection_clear_event_t*>(event.value);
            handleSelectionClear(clear->selection);
            break;
        }
        case XCB_SELECTION_NOTIFY: {
            const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(event.value);
            if (notify->requestor == m_window) {
                m_converted = std::pair(notify->selection, notify->property);
                Q_EMIT converted();
            }
            break;
        }
        case XCB_PROPERTY_NOTIFY: {
            const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event.value);
            if (change->window == m_window && change->state == XCB_PROPERTY_NEW_VALUE) {
                if (change->atom == m_atoms->property) {
                    m_written = true;
                    Q_EMIT written();
                }
            } else if (change->state == XCB_PROPERTY_DELETE)
                handlePropertyDelete(change->window, change->atom);
            break;
        }
        default: // errors, about a requestor's window that has gone meanwhile: its transfer stalls
            break;
        }
        if (!self)
            return;
    }
    xcb_flush(m_connection);
    if (xcb_connection_has_error(m_connection))
        m_notifier->setEnabled(false);
}

void XSelection::handleRequest(const void* raw)
{
    const auto* request = static_cast<const xcb_selection_request_event_t*>(raw);
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request->time;
    notify.requestor = request->requestor;
    notify.selection = request->selection;
    notify.target = request->target;
    notify.property = XCB_ATOM_NONE; // refused, unless served below
    // Clients from before the conventions name no property: the target is the property then.
    const uint32_t property =
        request->property != XCB_ATOM_NONE ? request->property : request->target;
    const auto owned = m_owned.constFind(request->selection);
    if (owned != m_owned.cend() && request->owner == m_window) {
        if (request->target == m_atoms->targets) {
            const std::array<uint32_t, 4> targets{m_atoms->targets, m_atoms->utf8,
                                                  m_atoms->textPlainUtf8, XCB_ATOM_STRING};
            xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, request->requestor, property,
                                XCB_ATOM_ATOM, 32, targets.size(), targets.data());
            notify.property = property;
        } else if (request->target == m_atoms->utf8 || request->target == m_atoms->textPlainUtf8 ||
                   request->target == XCB_ATOM_STRING) {
            const QByteArray data =
                request->target == XCB_ATOM_STRING ? QString::fromUtf8(*owned).toLatin1() : *owned;
            if (data.size() <= chunk) {
                xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, request->requestor,
                                    property, request->target, 8, uint32_t(data.size()),
                                    data.constData());
            } else {
                // In pieces: the requestor deletes the property for each next one, which its
                // PropertyNotify events tell.
                const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
                xcb_change_window_attributes(m_connection, request->requestor, XCB_CW_EVENT_MASK,
                                             &mask);
                const uint32_t size = uint32_t(data.size());
                xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, request->requestor,
                                    property, m_atoms->incr, 32, 1, &size);
                const uint64_t key = (uint64_t(request->requestor) << 32) | property;
                auto transfer = std::make_shared<Transfer>();
                transfer->requestor = request->requestor;
                transfer->property = property;
                transfer->type = request->target;
                transfer->data = data;
                transfer->stall.setSingleShot(true);
                transfer->stall.setInterval(stallLimit);
                connect(&transfer->stall, &QTimer::timeout, this,
                        [this, key] { endTransfer(key); });
                transfer->stall.start();
                m_transfers.insert(key, transfer);
            }
            notify.property = property;
        }
    }
    xcb_send_event(m_connection, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&notify));
    xcb_flush(m_connection);
    if (notify.property != XCB_ATOM_NONE) {
        Q_EMIT served(request->selection == XCB_ATOM_PRIMARY ? Selection::primary
                                                             : Selection::clipboard);
    }
}

void XSelection::handleSelectionClear(uint32_t selection)
{
    if (m_owned.remove(selection) > 0) {
        Q_EMIT lost(selection == XCB_ATOM_PRIMARY ? Selection::primary : Selection::clipboard);
    }
}

void XSelection::handlePropertyDelete(uint32_t window, uint32_t property)
{
    const auto found = m_transfers.constFind((uint64_t(window) << 32) | property);
    if (found != m_transfers.cend())
        continueTransfer(**found);
}

void XSelection::continueTransfer(Transfer& transfer)
{
    const QByteArray piece = transfer.data.mid(transfer.offset, chunk);
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, transfer.requestor, transfer.property,
                        transfer.type, 8, uint32_t(piece.size()), piece.constData());
    xcb_flush(m_connection);
    transfer.offset += piece.size();
    if (piece.isEmpty())
        endTransfer((uint64_t(transfer.requestor) << 32) | transfer.property);
    else
        transfer.stall.start();
}

void XSelection::endTransfer(uint64_t key)
{
    const std::shared_ptr<Transfer> transfer = m_transfers.take(key);
    if (!transfer)
        return;
    for (const std::shared_ptr<Transfer>& other : std::as_const(m_transfers)) {
        if (other->requestor == transfer->requestor)
            return; // its window still tells of the others' progress
    }
    const uint32_t none = XCB_EVENT_MASK_NO_EVENT;
    xcb_change_window_attributes(m_connection, transfer->requestor, XCB_CW_EVENT_MASK, &none);
    xcb_flush(m_connection);
}

bool XSelection::own(Selection selection, const QString& text)
{
    const uint32_t atom = atomOf(selection);
    m_owned.insert(atom, text.toUtf8());
    xcb_set_selection_owner(m_connection, m_window, atom, XCB_CURRENT_TIME);
    const Freed owner(xcb_get_selection_owner_reply(
        m_connection, xcb_get_selection_owner(m_connection, atom), nullptr));
    scheduleDispatch();
    if (!owner || owner->owner != m_window) {
        m_owned.remove(atom);
        return false;
    }
    return true;
}

bool XSelection::owns(Selection selection) const
{
    return m_owned.contains(atomOf(selection));
}

std::optional<std::pair<uint32_t, QByteArray>> XSelection::takeProperty(uint32_t property)
{
    const Freed reply(xcb_get_property_reply(m_connection,
                                             xcb_get_property(m_connection, 1, m_window, property,
                                                              XCB_GET_PROPERTY_TYPE_ANY, 0,
                                                              uint32_t(maxText / 4 + 1)),
                                             nullptr));
    scheduleDispatch();
    if (!reply || reply->type == XCB_ATOM_NONE)
        return std::nullopt;
    const auto* value = static_cast<const char*>(xcb_get_property_value(reply.value));
    QByteArray data(value, xcb_get_property_value_length(reply.value));
    if (reply->bytes_after > 0)
        data.resize(maxText + 1); // more than was asked for: read as too large
    return std::pair(reply->type, data);
}

QCoro::Task<std::expected<QString, XSelection::ReadError>> XSelection::read(Selection selection)
{
    QPointer self(this);
    // One read at a time: they share the property the text is handed over in.
    while (m_reading) {
        co_await SignalWait(this, &XSelection::readEnded, std::chrono::hours(1));
        if (!self)
            co_return std::unexpected(ReadError::timedOut);
    }
    m_reading = true;
    // Also when the task is dropped unfinished, or the next read would wait forever.
    const auto done = qScopeGuard([self] {
        if (self) {
            self->m_reading = false;
            Q_EMIT self->readEnded();
        }
    });
    QCoro::Task<std::expected<QString, ReadError>> converting = convert(atomOf(selection));
    co_return co_await std::move(converting);
}

QCoro::Task<std::expected<QString, XSelection::ReadError>> XSelection::convert(uint32_t atom)
{
    QPointer self(this);
    {
        const Freed owner(xcb_get_selection_owner_reply(
            m_connection, xcb_get_selection_owner(m_connection, atom), nullptr));
        if (!owner || owner->owner == XCB_WINDOW_NONE)
            co_return std::unexpected(ReadError::noOwner);
    }

    for (const uint32_t target : {m_atoms->utf8, uint32_t(XCB_ATOM_STRING)}) {
        xcb_delete_property(m_connection, m_window, m_atoms->property);
        xcb_convert_selection(m_connection, m_window, atom, target, m_atoms->property,
                              XCB_CURRENT_TIME);
        xcb_flush(m_connection);
        m_converted.reset();
        while (!m_converted || m_converted->first != atom) {
            const bool notified = co_await SignalWait(this, &XSelection::converted, stallLimit);
            if (!self || !notified)
                co_return std::unexpected(ReadError::timedOut);
        }
        if (m_converted->second == XCB_ATOM_NONE)
            continue; // not as this type: the next one
        // Events come in order: what was written before the answer has been seen.
        m_written = false;
        auto value = takeProperty(m_atoms->property);
        if (!value)
            continue;
        QByteArray data;
        uint32_t type = value->first;
        if (type == m_atoms->incr) {
            // In pieces, each announced by a new value; an empty one ends the text.
            type = XCB_ATOM_NONE;
            for (;;) {
                while (!m_written) {
                    const bool written =
                        co_await SignalWait(this, &XSelection::written, stallLimit);
                    if (!self || !written)
                        co_return std::unexpected(ReadError::timedOut);
                }
                m_written = false;
                value = takeProperty(m_atoms->property);
                if (!value || value->second.isEmpty())
                    break;
                type = value->first;
                data += value->second;
                if (data.size() > maxText)
                    co_return std::unexpected(ReadError::tooLarge);
            }
        } else {
            data = value->second;
            if (data.size() > maxText)
                co_return std::unexpected(ReadError::tooLarge);
        }
        co_return type == XCB_ATOM_STRING ? QString::fromLatin1(data) : QString::fromUtf8(data);
    }
    co_return std::unexpected(ReadError::refused);
}

} // namespace lexwick
