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
// "view.router", …), named "<prefix>_<property>".
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
    HistoryManager history{app.defaults};
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
            bindingsTo(AIServiceProvider::staticMetaObject, u"view.router"_s, u"r"_s) +
            bindingsTo(SettingsManager::staticMetaObject, u"view.settings"_s, u"s"_s) + body +
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

    // Every property of the popover's state, the router and the settings reads in QML, and the
    // bindings follow the C++ state as it changes.
    void everyPropertyBindsAndFollows()
    {
        Fixture f;
        QVERIFY(f.load({}));
        f.checkBindings(PopoverView::staticMetaObject, "v");
        f.checkBindings(AIServiceProvider::staticMetaObject, "r");
        f.checkBindings(SettingsManager::staticMetaObject, "s");

        f.view.setInputText(u"Write to me at someone@example.com"_s);
        QCOMPARE(f.bound("v", "inputText").toString(), f.view.inputText());
        QCOMPARE(f.bound("v", "showsSensitiveDataBanner").toBool(), true);
        QCOMPARE(f.bound("v", "sensitiveDataFoundLine").toString(), u"Found: Email"_s);
        QCOMPARE(f.bound("v", "counterText").toString(), u"34/5000"_s);
        f.app.settings->setPiiDetectionEnabled(false);
        QCOMPARE(f.bound("v", "showsSensitiveDataBanner").toBool(), false);
        QCOMPARE(f.bound("s", "piiDetectionEnabled").toBool(), false);
        QCOMPARE(f.bound("v", "canProcess").toBool(), true);
    }

    // A screen sets enumerations by name or by their QML constants, and calls the operations.
    void screensSetStateAndCallOperations()
    {
        Fixture f;
        QVERIFY(f.load(uR"(
    function byName() { view.selectedAction = "paraphrase"; view.selectedTone = "casual" }
    function byConstant() {
        view.selectedAction = TextAction.TextAction.explain
        view.selectedTone = ToneOption.ToneOption.persuasive
        return view.selectedAction === TextAction.TextAction.explain
            && view.counterColour === CharacterCounterView.Colour.secondaryLabel
            && view.characterState === CharacterState.CharacterState.normal
            && view.router.activeMode === AIProviderMode.AIProviderMode.custom
            && view.settings.customProvider === APIProvider.APIProvider.groq
            && PIIType.PIIType.email === 0
            && LocalAIAvailability.LocalAIAvailability.available === 0
    }
    function reuse(item) { view.reuseHistoryItem(item) }
    function operations() {
        view.openSettings(); view.openHistory(); view.close(); view.quit()
        view.completeOnboarding(); view.toggleProcessing(); view.copyResult()
    }
)"_s));
        QMetaObject::invokeMethod(f.root.get(), "byName");
        QCOMPARE(f.view.selectedAction(), TextAction::paraphrase);
        QCOMPARE(f.view.selectedTone(), ToneOption::casual);
        QCOMPARE(f.bound("v", "showsToneSection").toBool(), true);

        QVariant constantsMatch;
        QMetaObject::invokeMethod(f.root.get(), "byConstant",
                                  Q_RETURN_ARG(QVariant, constantsMatch));
        QVERIFY(constantsMatch.toBool());
        QCOMPARE(f.view.selectedTone(), ToneOption::persuasive);

        HistoryItem item; // what reusing does is the popover's own test
        item.originalText = u"reused text"_s;
        QMetaObject::invokeMethod(f.root.get(), "reuse",
                                  Q_ARG(QVariant, QVariant::fromValue(item)));
        QCOMPARE(f.view.inputText(), u"reused text"_s);

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
                       uR"(
    function choose() {
        view.settingsView.selectMode(AIProviderMode.AIProviderMode.cloud)
        view.settingsView.selectProvider(APIProvider.APIProvider.openai)
        return view.settingsView.serverState !== SettingsView.ServerState.ready
    }
)"_s));
        f.checkBindings(SettingsView::staticMetaObject, "sv");
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
        QPointer<AIServiceProvider> router(f.app.router.get());
        QVERIFY(f.load({}));
        f.root.reset();
        f.engine.collectGarbage();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(view);
        QVERIFY(router);
    }
};

LEXWICK_GUI_TEST(QmlBindingTest)
#include "QmlBindingTest.moc"
