// SPDX-License-Identifier: MIT
#include "PopoverScreen.h"

#include "RunTask.h"

#include <QPointer>
#include <QQmlEngine>
#include <QTest>
#include <QtQuickTest/quicktest.h>

#include <functional>

namespace lexwick::test {

PopoverScreen::PopoverScreen(Options options)
    : app(std::move(options.router))
    , models(*app.settings, {app.provider.url({}), app.provider.url({}), app.provider.url({})},
             app.client, std::chrono::seconds(5))
    , view(*app.router, *app.settings, history, &models)
{
    app.settings->setHasCompletedOnboarding(options.completedOnboarding);
}

bool PopoverScreen::show()
{
    window.engine()->addImportPath(QStringLiteral("qrc:/qt/qml"));
    window.setInitialProperties({{QStringLiteral("view"), QVariant::fromValue(&view)}});
    window.setSource(QUrl(QStringLiteral("qrc:/qt/qml/Lexwick/qml/Popover.qml")));
    if (!window.rootObject())
        return false;
    window.show();
    window.requestActivate();
    if (!QTest::qWaitForWindowActive(&window))
        return false;
    QMetaObject::invokeMethod(window.rootObject(), "focusInput");
    return true;
}

QQuickItem* PopoverScreen::item(const QString& name, QQuickItem* under) const
{
    QQuickItem* root = under ? under : window.contentItem();
    return root ? root->findChild<QQuickItem*>(name) : nullptr;
}

QStringList PopoverScreen::visibleTexts() const
{
    QStringList texts;
    const std::function<void(QQuickItem*)> collect = [&](QQuickItem* item) {
        if (!item->isVisible() || item->opacity() <= 0.0)
            return;
        const QString text = item->property("text").toString();
        if (item->inherits("QQuickText") && !text.isEmpty())
            texts << text;
        for (QQuickItem* child : item->childItems())
            collect(child);
    };
    collect(window.contentItem());
    return texts;
}

bool PopoverScreen::laidOut()
{
    return QQuickTest::qWaitForPolish(&window);
}

void PopoverScreen::click(QQuickItem* item)
{
    // Where the item is drawn once the pending layout is done (which may also remove it).
    const QPointer<QQuickItem> target(item);
    if (!laidOut() || !target) {
        qWarning("Nothing there to click");
        return;
    }
    const QPointF middle(item->width() / 2, item->height() / 2);
    QTest::mouseClick(&window, Qt::LeftButton, {}, item->mapToScene(middle).toPoint());
}

void PopoverScreen::type(const QString& text)
{
    for (QChar c : text)
        QTest::keyClick(&window, c.toLatin1());
}

void PopoverScreen::press(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(&window, key, modifiers);
}

void PopoverScreen::record(const QList<HistoryItem>& items)
{
    for (const HistoryItem& item : items)
        runTask(history.add(item));
}

bool shown(const QQuickItem* item)
{
    for (; item; item = item->parentItem()) {
        if (!item->isVisible() || item->opacity() <= 0.0)
            return false;
    }
    return true;
}

} // namespace lexwick::test
