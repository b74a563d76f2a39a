// SPDX-License-Identifier: MIT
#pragma once

#include "backends/ProviderModels.h"
#include "history/HistoryManager.h"
#include "RouterFixture.h"
#include "ui/PopoverView.h"

#include <QQuickItem>
#include <QQuickView>
#include <QStringList>

namespace lexwick::test {

// The popover as the application shows it, on a router served by the local provider server
// and a history store in the test's own folder, in an offscreen window that takes real key and
// mouse events. Executables that use it import the QML module (Q_IMPORT_QML_PLUGIN).
struct PopoverScreen {
    struct Options {
        bool completedOnboarding = true;
        RouterFixture::Options router{.storedMode = QStringLiteral("custom")};
    };

    RouterFixture app;
    // The providers' model lists, asked of the provider server.
    ProviderModels models;
    HistoryManager history{app.dir.filePath(QStringLiteral("history.json")), app.defaults};
    PopoverView view;
    QQuickView window;

    explicit PopoverScreen(Options options);
    PopoverScreen()
        : PopoverScreen(Options{})
    {
    }

    // Loads the popover and shows it; false when it did not come up.
    bool show();

    // The item of that object name, searched from `under` (the whole popover by default).
    QQuickItem* item(const QString& name) const { return item(name, window.contentItem()); }
    QQuickItem* item(const QString& name, QQuickItem* under) const;
    // The texts a user can see now (labels, not the text fields' contents).
    QStringList visibleTexts() const;
    // Waits until the pending layout is done: lists have built and placed their rows.
    bool laidOut();
    // Clicks the middle of the item, once it is laid out.
    void click(QQuickItem* item);
    void type(const QString& text);
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // Records in the store, oldest first, so the last one listed is the newest.
    void record(const QList<HistoryItem>& items);
};

// Whether the item and all its parents are visible and not fully transparent.
bool shown(const QQuickItem* item);

} // namespace lexwick::test
