#include "app/PopoverWindow.h"

#include "core/Log.h"
#include "ui/PopoverView.h"

#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>

namespace lexwick {

namespace {

constexpr Qt::WindowFlags popoverFlags =
    Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;

} // namespace

PopoverWindow::PopoverWindow(PopoverView& view, QObject* parent)
    : QObject(parent)
    , m_view(view)
{
    connect(&view, &PopoverView::closeRequested, this, &PopoverWindow::hide);
}

PopoverWindow::~PopoverWindow()
{
    // The screens go before the window that shows them and the engine that runs them.
    delete m_root;
}

void PopoverWindow::setStandalone(bool standalone)
{
    m_standalone = standalone;
    if (m_window)
        m_window->setFlags(standalone ? Qt::Window : popoverFlags);
}

bool PopoverWindow::isVisible() const
{
    return m_window && m_window->isVisible();
}

void PopoverWindow::hide()
{
    if (m_window)
        m_window->hide();
}

void PopoverWindow::ensureWindow()
{
    if (m_window)
        return;
    m_window = std::make_unique<QQuickWindow>();
    m_window->setFlags(m_standalone ? Qt::Window : popoverFlags);
    m_window->setTitle(QStringLiteral("Lexwick"));
    fitTo(contentSize);
    m_window->installEventFilter(this);

    m_engine = std::make_unique<QQmlEngine>();
    m_engine->addImportPath(QStringLiteral("qrc:/qt/qml")); // Qt 6.4 does not look there itself
    QQmlComponent component(m_engine.get(),
                            QUrl(QStringLiteral("qrc:/qt/qml/Lexwick/qml/Popover.qml")));
    QObject* root = component.createWithInitialProperties(
        {{QStringLiteral("view"), QVariant::fromValue(&m_view)}});
    for (const QQmlError& error : component.errors())
        logLine(QStringLiteral("QML: ") + error.toString());
    m_root = qobject_cast<QQuickItem*>(root);
    if (!m_root) {
        delete root;
        return;
    }
    m_root->setParentItem(m_window->contentItem());
    // Each screen has its own height; the window follows the one shown.
    const auto follow = [this] {
        fitTo(QSizeF(m_root->implicitWidth(), m_root->implicitHeight()).toSize());
    };
    connect(m_root, &QQuickItem::implicitWidthChanged, this, follow);
    connect(m_root, &QQuickItem::implicitHeightChanged, this, follow);
    follow();
}

void PopoverWindow::fitTo(QSize size)
{
    if (size.isEmpty())
        size = contentSize;
    m_window->setMinimumSize(size);
    m_window->setMaximumSize(size);
    m_window->resize(size);
    if (m_root)
        m_root->setSize(size);
    // Still next to the icon: a popover above a bottom panel grows upwards.
    if (!m_standalone && m_anchor.isValid())
        m_window->setPosition(placement(m_anchor));
}

void PopoverWindow::popUp(const QRect& anchor)
{
    ensureWindow();
    m_anchor = anchor;
    if (!m_standalone)
        m_window->setPosition(placement(anchor));
    m_window->show();
    m_window->raise();
    m_window->requestActivate();
    // A focus item inside a ScrollView is not enough: the input asks for the focus itself.
    if (m_root)
        QMetaObject::invokeMethod(m_root, "focusInput");
}

// Below (or above, beside) the anchor, on the side away from the nearest screen edge, which is
// where the panel is; clamped to the screen's available area. On Wayland the compositor
// places the window and this is ignored.
QPoint PopoverWindow::placement(const QRect& anchor) const
{
    const QSize size = m_window ? m_window->size() : contentSize;
    QScreen* screen = QGuiApplication::screenAt(anchor.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(QPoint(), size * 4);
    const QRect full = screen ? screen->geometry() : area;
    const QPoint c = anchor.center();
    const int toTop = c.y() - full.top();
    const int toBottom = full.bottom() - c.y();
    const int toLeft = c.x() - full.left();
    const int toRight = full.right() - c.x();
    const int nearest = std::min({toTop, toBottom, toLeft, toRight});

    QPoint at;
    if (nearest == toTop)
        at = {c.x() - size.width() / 2, anchor.bottom() + 4};
    else if (nearest == toBottom)
        at = {c.x() - size.width() / 2, anchor.top() - 4 - size.height()};
    else if (nearest == toLeft)
        at = {anchor.right() + 4, c.y() - size.height() / 2};
    else
        at = {anchor.left() - 4 - size.width(), c.y() - size.height() / 2};

    at.setX(
        std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - size.width())));
    at.setY(
        std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - size.height())));
    return at;
}

bool PopoverWindow::hidBecauseOfDeactivationWithin(int ms) const
{
    return m_hiddenOnDeactivation.isValid() && m_hiddenOnDeactivation.elapsed() < ms;
}

bool PopoverWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window.get() && event->type() == QEvent::FocusOut && !m_standalone &&
        m_window->isVisible()) {
        m_window->hide();
        m_hiddenOnDeactivation.start();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace lexwick
