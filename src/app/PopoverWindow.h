// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QRect>
#include <QTimer>

#include <memory>

class QQmlEngine;
class QQuickItem;
class QQuickWindow;

namespace lexwick {

class PopoverView;

// The popover: a frameless tool window that stays on top and hides when it loses activation
// or on Escape. Made once and reused, so hiding it keeps every state. The window, the QML
// engine and the screens are created on the first open: a process that only sits in the tray
// never pays for them. Where there is no tray it is an ordinary window titled "Lexwick".
class PopoverWindow : public QObject {
    Q_OBJECT

public:
    // The main screen's size; the others have their own heights.
    static constexpr QSize contentSize{400, 520};

    explicit PopoverWindow(PopoverView& view, QObject* parent = nullptr);
    ~PopoverWindow() override;

    // An ordinary framed window that stays open when it loses activation (no tray).
    void setStandalone(bool standalone);
    bool isStandalone() const { return m_standalone; }
    bool isVisible() const;
    void hide();
    // The window, once the popover has been opened.
    QQuickWindow* window() const { return m_window.get(); }

    // Shows the popover next to the anchor (the tray icon's rectangle, or the pointer) and
    // gives the input the keyboard focus.
    void popUp(const QRect& anchor);
    // Whether the popover hid on deactivation within the last `ms` milliseconds (the panel's
    // own click deactivates the popover before its click reaches the icon).
    bool hidBecauseOfDeactivationWithin(int ms) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ensureWindow();
    QPoint placement(const QRect& anchor) const;
    void fitTo(QSize size);
    // Whether a frame asked for now must wait for the display's next refresh.
    bool deferFrame();

    PopoverView& m_view;
    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<QQuickWindow> m_window; // goes before the engine
    QQuickItem* m_root = nullptr;           // ours, shown in m_window's content item
    bool m_standalone = false;
    QRect m_anchor; // where it last opened
    QElapsedTimer m_hiddenOnDeactivation;
    QElapsedTimer m_sinceFrame;
    QTimer m_deferredFrame;
};

} // namespace lexwick
