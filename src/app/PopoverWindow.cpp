#include "app/PopoverWindow.h"

#include "core/Log.h"
#include "ui/PopoverView.h"

#include <QGuiApplication>
#include <QQmlEngine>
#include <QQuickItem>
#include <QScreen>

namespace lexwick {

namespace {

constexpr Qt::WindowFlags popoverFlags =
    Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;

} // namespace

PopoverWindow::PopoverWindow(PopoverView& view)
    : m_view(view)
{
    setFlags(popoverFlags);
    setTitle(QStringLiteral("Lexwick"));
    setResizeMode(QQuickView::SizeRootObjectToView);
    resize(contentSize);
    setMinimumSize(contentSize);
    setMaximumSize(contentSize);
    connect(&view, &PopoverView::closeRequested, this, &QWindow::hide);
}

void PopoverWindow::setStandalone(bool standalone)
{
    m_standalone = standalone;
    setFlags(standalone ? Qt::Window : popoverFlags);
}

void PopoverWindow::ensureContent()
{
    if (m_contentLoaded)
        return;
    m_contentLoaded = true;
    engine()->addImportPath(QStringLiteral("qrc:/qt/qml")); // Qt 6.4 does not look there itself
    setInitialProperties({{QStringLiteral("view"), QVariant::fromValue(&m_view)}});
    setSource(QUrl(QStringLiteral("qrc:/qt/qml/Lexwick/qml/Popover.qml")));
    for (const QQmlError& error : errors())
        logLine(QStringLiteral("QML: ") + error.toString());
}

void PopoverWindow::popUp(const QRect& anchor)
{
    ensureContent();
    if (!m_standalone)
        setPosition(placement(anchor));
    show();
    raise();
    requestActivate();
    // A focus item inside a ScrollView is not enough: the input asks for the focus itself.
    if (QQuickItem* root = rootObject())
        QMetaObject::invokeMethod(root, "focusInput");
}

// Below (or above, beside) the anchor, on the side away from the nearest screen edge, which is
// where the panel is; clamped to the screen's available area. On Wayland the compositor
// places the window and this is ignored.
QPoint PopoverWindow::placement(const QRect& anchor) const
{
    QScreen* screen = QGuiApplication::screenAt(anchor.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(QPoint(), contentSize * 4);
    const QRect full = screen ? screen->geometry() : area;
    const QPoint c = anchor.center();
    const int toTop = c.y() - full.top();
    const int toBottom = full.bottom() - c.y();
    const int toLeft = c.x() - full.left();
    const int toRight = full.right() - c.x();
    const int nearest = std::min({toTop, toBottom, toLeft, toRight});

    QPoint at;
    if (nearest == toTop)
        at = {c.x() - contentSize.width() / 2, anchor.bottom() + 4};
    else if (nearest == toBottom)
        at = {c.x() - contentSize.width() / 2, anchor.top() - 4 - contentSize.height()};
    else if (nearest == toLeft)
        at = {anchor.right() + 4, c.y() - contentSize.height() / 2};
    else
        at = {anchor.left() - 4 - contentSize.width(), c.y() - contentSize.height() / 2};

    at.setX(
        std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - contentSize.width())));
    at.setY(
        std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - contentSize.height())));
    return at;
}

bool PopoverWindow::hidBecauseOfDeactivationWithin(int ms) const
{
    return m_hiddenOnDeactivation.isValid() && m_hiddenOnDeactivation.elapsed() < ms;
}

bool PopoverWindow::event(QEvent* event)
{
    if (event->type() == QEvent::FocusOut && !m_standalone && isVisible()) {
        hide();
        m_hiddenOnDeactivation.start();
    }
    return QQuickView::event(event);
}

} // namespace lexwick
