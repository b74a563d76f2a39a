#pragma once

#include <QElapsedTimer>
#include <QQuickView>

namespace lexwick {

class PopoverView;

// The popover: a frameless tool window that stays on top and hides when it loses activation
// or on Escape. Made once and reused, so hiding it keeps every state; its QML is created on
// the first open. Where there is no tray it is an ordinary window titled "Lexwick".
class PopoverWindow : public QQuickView {
    Q_OBJECT

public:
    static constexpr QSize contentSize{400, 520};

    explicit PopoverWindow(PopoverView& view);

    // An ordinary framed window that stays open when it loses activation (no tray).
    void setStandalone(bool standalone);
    bool isStandalone() const { return m_standalone; }

    // Shows the popover next to the anchor (the tray icon's rectangle, or the pointer) and
    // gives the input the keyboard focus.
    void popUp(const QRect& anchor);
    // Whether the popover hid on deactivation within the last `ms` milliseconds (the panel's
    // own click deactivates the popover before its click reaches the icon).
    bool hidBecauseOfDeactivationWithin(int ms) const;

protected:
    bool event(QEvent* event) override;

private:
    void ensureContent();
    QPoint placement(const QRect& anchor) const;

    PopoverView& m_view;
    bool m_standalone = false;
    bool m_contentLoaded = false;
    QElapsedTimer m_hiddenOnDeactivation;
};

} // namespace lexwick
