// SPDX-License-Identifier: MIT
#include "history/HistoryManager.h"
#include "support/Expect.h"
#include "support/RouterFixture.h"
#include "support/TestMain.h"
#include "ui/PopoverView.h"
#include "ui/SettingsView.h"

#include <QMetaProperty>
#include <QPointer>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(LexwickPlugin)

using namespace lexwick;
using namespace lexwick::test;
using namespace Qt::StringLiterals;

namespace {

// A QML item with one binding per readable property of the object at `path` ("view",
// "view.main", …), named "<prefix>_<property>".
QString bindingsTo(const QMetaObject& meta, const QString& path, const QString& prefix)
{
    QString qml;
    for (int i = QObject::staticMetaObject.propertyCount(); i < meta.propertyCount(); ++i) {
        const QString name = QString::fromLatin1(meta.property(i).name());
        qml += u"    property var %1_%2: %3.%2\n"_s.arg(prefix, name, path);
    }
    return qml;
}

struct Fixture {
    RouterFixture app{{.storedMode = u"custom"_s}};
    HistoryManager history{app.dir.filePath(u"history.json"_s), app.defaults};
    PopoverView view{*app.router, *app.settings, history};
    QQmlEngine engine;
    std::unique_ptr<QObject> root;

    // Loads the item; every warning on the way fails the test.
    bool load(const QString& body)
    {
        const QString qml =
            u"import QtQuick\nimport Lexwick\nItem {\n"
            u"    required property PopoverView view\n"_s +
            bindingsTo(PopoverView::staticMetaObject, u"view"_s, u"v"_s) +
            bindingsTo(MainView::staticMetaObject, u"view.main"_s, u"m"_s) +
            bindingsTo(InputChecks::staticMetaObject, u"view.main.checks"_s, u"c"_s) +
            bindingsTo(ResultView::staticMetaObject, u"view.main.result"_s, u"r"_s) + body +
            u"}\n"_s;
        QQmlComponent component(&engine);
        component.setData(qml.toUtf8(), QUrl(u"file:///QmlBindingTest.qml"_s));
        root.reset(
            component.createWithInitialProperties({{u"view"_s, QVariant::fromValue(&view)}}));
        if (!root)
            qWarning().noquote() << component.errorString();
        return root != nullptr;
    }

    QVariant bound(const char* prefix, const char* name) const
    {
        return root->property(QByteArray(QByteArray(prefix) + '_' + name).constData());
    }

    // Every property of the class tells of its changes (or never changes) and reads in QML.
    void checkBindings(const QMetaObject& meta, const char* prefix) const
    {
        for (int i = QObject::staticMetaObject.propertyCount(); i < meta.propertyCount(); ++i) {
            const QMetaProperty property = meta.property(i);
            QVERIFY2(property.hasNotifySignal() || property.isConstant(), property.name());
            QVERIFY2(bound(prefix, property.name()).isValid(), property.name());
        }
    }
};

} // namespace

class QmlBindingTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(u".*"_s)); }

    // Every property of the popover's state objects reads in QML, and the bindings follow the
    // C++ state as it changes.
    void everyPropertyBindsAndFollows()
    {
        Fixture f;
        QVERIFY(f.load({}));
        f.checkBindings(PopoverView::staticMetaObject, "v");
        f.checkBindings(MainView::staticMetaObject, "m");
        f.checkBindings(InputChecks::staticMetaObject, "c");
        f.checkBindings(ResultView::staticMetaObject, "r");

        MainView& main = *f.view.main();
        main.setInputText(u"Write to me at someone@example.com"_s);
        QCOMPARE(f.bound("m", "inputText").toString(), main.inputText());
        QCOMPARE(f.bound("c", "showsSensitiveDataBanner").toBool(), true);
        QCOMPARE(f.bound("c", "sensitiveDataFoundLine").toString(), u"Found: Email"_s);
        QCOMPARE(f.bound("c", "counterText").toString(), u"34/5000"_s);
        f.app.settings->setPiiDetectionEnabled(false);
        QCOMPARE(f.bound("c", "showsSensitiveDataBanner").toBool(), false);
        QCOMPARE(f.bound("m", "canProcess").toBool(), true);
    }

    // A screen sets enumerations by name or by their QML constants, and calls the operations.
    void screensSetStateAndCallOperations()
    {
        Fixture f;
        QVERIFY(f.load(uR"(
    function byName() { view.main.selectedAction = "paraphrase"; view.main.selectedTone = "casual" }
    function byConstant() {
        view.main.selectedAction = TextAction.TextAction.explain
        view.main.selectedTone = ToneOption.ToneOption.persuasive
        return view.main.selectedAction === TextAction.TextAction.explain
            && view.main.checks.counterColour === CharacterCounterView.Colour.secondaryLabel
            && view.main.checks.characterState === CharacterState.CharacterState.normal
            && view.main.checks.inputBorder === InputChecks.InputBorder.neutral
            && view.main.providerMode === AIProviderMode.AIProviderMode.custom
            && PIIType.PIIType.email === 0
            && LocalAIAvailability.LocalAIAvailability.available === 0
    }
    function reuse(item) { view.reuseHistoryItem(item) }
    function operations() {
        view.main.openHistory(); view.main.openSettings(); view.main.close(); view.main.quit()
        view.completeOnboarding(); view.main.toggleProcessing(); view.main.result.copy()
    }
)"_s));
        QMetaObject::invokeMethod(f.root.get(), "byName");
        QCOMPARE(f.view.main()->selectedAction(), TextAction::paraphrase);
        QCOMPARE(f.view.main()->selectedTone(), ToneOption::casual);
        QCOMPARE(f.bound("m", "showsToneSection").toBool(), true);

        QVariant constantsMatch;
        QMetaObject::invokeMethod(f.root.get(), "byConstant",
                                  Q_RETURN_ARG(QVariant, constantsMatch));
        QVERIFY(constantsMatch.toBool());
        QCOMPARE(f.view.main()->selectedTone(), ToneOption::persuasive);

        HistoryItem item; // what reusing does is the popover's own test
        item.originalText = u"reused text"_s;
        QMetaObject::invokeMethod(f.root.get(), "reuse",
                                  Q_ARG(QVariant, QVariant::fromValue(item)));
        QCOMPARE(f.view.main()->inputText(), u"reused text"_s);

        QSignalSpy closed(&f.view, &PopoverView::closeRequested);
        QSignalSpy quit(&f.view, &PopoverView::quitRequested);
        QMetaObject::invokeMethod(f.root.get(), "operations");
        QCOMPARE(closed.size(), 1);
        QCOMPARE(quit.size(), 1);
        QVERIFY(f.app.settings->hasCompletedOnboarding());
        QVERIFY(f.view.showSettings());
    }

    // The settings screen's state reads in QML, its enumeration included, and its operations
    // take the enumerations QML passes.
    void settingsStateBindsAndFollows()
    {
        Fixture f;
        f.view.setShowSettings(true);
        QVERIFY(f.load(bindingsTo(SettingsView::staticMetaObject, u"view.settingsView"_s, u"sv"_s) +
                       bindingsTo(LocalServerView::staticMetaObject,
                                  u"view.settingsView.localServer"_s, u"ls"_s) +
                       uR"(
    function choose() {
        view.settingsView.selectMode(AIProviderMode.AIProviderMode.cloud)
        view.settingsView.selectProvider(APIProvider.APIProvider.openai)
        return view.settingsView.localServer.state !== LocalServerView.State.ready
    }
)"_s));
        f.checkBindings(SettingsView::staticMetaObject, "sv");
        f.checkBindings(LocalServerView::staticMetaObject, "ls");
        QVariant chosen;
        QMetaObject::invokeMethod(f.root.get(), "choose", Q_RETURN_ARG(QVariant, chosen));
        QVERIFY(chosen.toBool());
        QCOMPARE(f.app.settings->providerMode(), AIProviderMode::custom);
        QCOMPARE(f.app.settings->customProvider(), APIProvider::openai);
        QCOMPARE(f.bound("sv", "statusMessage").toString(), u"Please enter your OpenAI API key."_s);
    }

    // The state objects handed to QML without a parent stay the application's.
    void theEngineNeverDeletesTheState()
    {
        Fixture f;
        QPointer<PopoverView> view(&f.view);
        QPointer<MainView> main(f.view.main());
        QPointer<ResultView> result(f.view.main()->result());
        QVERIFY(f.load({}));
        f.root.reset();
        f.engine.collectGarbage();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(view && main && result);
    }
};

LEXWICK_GUI_TEST(QmlBindingTest)
#include "QmlBindingTest.moc"
