// SPDX-License-Identifier: MIT
#include "app/PopoverWindow.h"

#include "app/QtSetting.h"
#include "app/TaskbarHint.h"
#include "core/Log.h"
#include "ui/PopoverView.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>

#include <optional>

namespace lexwick {

namespace {

constexpr Qt::WindowFlags popoverFlags =
    Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;

// The time between two refreshes of the screen, where the screen tells it.
qint64 refreshIntervalNs(const QWindow& window)
{
    const qreal rate = window.screen() ? window.screen()->refreshRate() : 0;
    return qint64(1e9 / (rate >= 1 ? rate : 60));
}

} // namespace

PopoverWindow::PopoverWindow(PopoverView& view, QObject* parent)
    : QObject(parent)
    , m_view(view)
{
    connect(&view, &PopoverView::closeRequested, this, &PopoverWindow::hide);
    m_deferredFrame.setSingleShot(true);
    m_deferredFrame.setTimerType(Qt::PreciseTimer);
    connect(&m_deferredFrame, &QTimer::timeout, this, [this] {
        QEvent request(QEvent::UpdateRequest);
        QCoreApplication::sendEvent(m_window.get(), &request);
    });
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
    connect(m_window.get(), &QQuickWindow::frameSwapped, this, [this] { m_sinceFrame.start(); });

    m_engine = std::make_unique<QQmlEngine>();
    m_engine->addImportPath(QStringLiteral("qrc:/qt/qml")); // Qt 6.4 does not look there itself
    QQmlComponent component(m_engine.get(),
                            QUrl(QStringLiteral("qrc:/qt/qml/Lexwick/qml/Popover.qml")));
    QObject* root = component.createWithInitialProperties(
        {{QStringLiteral("view"), QVariant::fromValue(&m_view)}});
    for (const QQmlError& error : component.errors())
        logWarning(lcPopover, QStringLiteral("QML: ") + error.toString());
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
    // Qt draws a frame 5 ms after it is asked for, to let input gather: a wakeup of its own for
    // every blink of the cursor. Drawn at once, and paced here where frames follow each other
    // (deferFrame), it is none. Read once, when the first frame is asked for: the first show.
    std::optional<ScopedQtSetting> drawAtOnce;
    if (!m_window)
        drawAtOnce.emplace("QT_QPA_UPDATE_IDLE_TIME", "0");
    ensureWindow();
    m_anchor = anchor;
    if (!m_standalone) {
        m_window->setPosition(placement(anchor));
        keepOutOfTaskbar(*m_window);
    }
    m_window->show();
    if (!m_standalone)
        keepOutOfTaskbar(*m_window);
    drawAtOnce.reset();
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

// Qt Quick's software render loop draws a frame 5 ms after one is asked for, and a busy
// indicator asks for the next one as each is drawn: it drew 200 frames a second. A frame asked
// for sooner than one refresh after the last waits until then; one after a pause is not held.
bool PopoverWindow::deferFrame()
{
    if (!m_sinceFrame.isValid())
        return false;
    const qint64 early = refreshIntervalNs(*m_window) - m_sinceFrame.nsecsElapsed();
    if (early <= 0)
        return false;
    if (!m_deferredFrame.isActive())
        m_deferredFrame.start(int((early + 999'999) / 1'000'000));
    return true;
}

bool PopoverWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window.get() && event->type() == QEvent::UpdateRequest && deferFrame())
        return true;
    if (watched == m_window.get() && event->type() == QEvent::FocusOut && !m_standalone &&
        m_window->isVisible()) {
        m_window->hide();
        m_hiddenOnDeactivation.start();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace lexwick
