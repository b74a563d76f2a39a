#pragma once

#include <QObject>

namespace lexwick {

// Application-wide commands that screens ask for and the application shell carries out.
class AppActions : public QObject {
    Q_OBJECT

public:
    static AppActions& instance();

    // Every Quit command (menu, popover footer, settings screen) comes through here.
    Q_INVOKABLE void quit() { Q_EMIT quitRequested(); }

Q_SIGNALS:
    void quitRequested();
};

} // namespace lexwick
