// SPDX-License-Identifier: MIT
#pragma once

#include "app/ServicesProvider.h"
#include "core/TextAction.h"

#include <QCoroTask>
#include <QObject>
#include <QRect>
#include <QtPlugin>

#include <memory>

class QWindow;

namespace lexwick {

class AIServiceProvider;
class HistoryManager;
class ProviderModels;
class SettingsManager;

// The popover as the rest of the application sees it. What it is made of (its window, the QML
// engine, the screens and their state) lives in a library of its own, `lexwick-popover`, that
// `PopoverHost` loads at the first open: a process that only sits in the tray maps no Qt Quick.
class Popover : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // An ordinary framed window that stays open when it loses activation (no tray).
    virtual void setStandalone(bool standalone) = 0;
    virtual bool isVisible() const = 0;
    virtual void hide() = 0;
    // Shows the popover next to the anchor and gives the input the keyboard focus.
    virtual void popUp(const QRect& anchor) = 0;
    // Whether it hid on deactivation within the last `ms` milliseconds.
    virtual bool hidBecauseOfDeactivationWithin(int ms) const = 0;
    virtual QWindow* window() const = 0;

    // Whether the main screen's own request is in flight (processingChanged() when that
    // changes), and the main screen running the action on text another application selected.
    virtual bool isProcessing() const = 0;
    virtual QCoro::Task<ServiceOutcome> runService(QString text, TextAction action) = 0;

Q_SIGNALS:
    void processingChanged();
    void quitRequested();
};

// The objects of the graph that the screens work with; they outlive the popover.
struct PopoverContext {
    AIServiceProvider& router;
    SettingsManager& settings;
    HistoryManager& history;
    ProviderModels* providerModels = nullptr;
};

// What the library offers: it makes the popover.
class PopoverFactory {
public:
    virtual ~PopoverFactory() = default;
    virtual std::unique_ptr<Popover> create(const PopoverContext& context) = 0;
};

} // namespace lexwick

#define LEXWICK_POPOVER_FACTORY_IID "io.github.lexwick.Lexwick.PopoverFactory/1"
Q_DECLARE_INTERFACE(lexwick::PopoverFactory, LEXWICK_POPOVER_FACTORY_IID)
