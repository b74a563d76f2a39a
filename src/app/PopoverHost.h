// SPDX-License-Identifier: MIT
#pragma once

#include "app/Popover.h"

#include <QObject>
#include <QRect>
#include <QString>

#include <memory>

namespace lexwick {

// Stands for the popover until it is first shown: the tray and the Services talk to this, and
// the first open loads the library that makes the popover (with Qt Quick and the QML engine)
// and keeps it for the rest of the run. Until then a process maps no Qt Quick library.
class PopoverHost : public QObject {
    Q_OBJECT

public:
    // The library is looked for beside the executable, then where an installation puts it.
    explicit PopoverHost(PopoverContext context, QObject* parent = nullptr);
    // With a factory of its own instead of the library's.
    PopoverHost(PopoverContext context, PopoverFactory& factory, QObject* parent = nullptr);
    ~PopoverHost() override;

    void setStandalone(bool standalone);
    bool isStandalone() const { return m_standalone; }
    bool isVisible() const;
    void hide();
    // Loads the popover if need be, then shows it next to the anchor. The activation token set
    // before, if any, goes with this request for the focus, and with no other.
    void popUp(const QRect& anchor);
    void setActivationToken(const QString& token) { m_activationToken = token; }
    bool hidBecauseOfDeactivationWithin(int ms) const;

    // The popover, once it has been shown; null before, or when its library failed to load.
    Popover* popover() const { return m_popover.get(); }

    // Where the library may be, in the order they are tried.
    static QStringList libraryCandidates();

Q_SIGNALS:
    void quitRequested();

private:
    bool load();
    void adopt(std::unique_ptr<Popover> popover);

    PopoverContext m_context;
    PopoverFactory* m_factory = nullptr;
    std::unique_ptr<Popover> m_popover;
    bool m_standalone = false;
    bool m_loadFailed = false;
    QString m_activationToken;
};

} // namespace lexwick
