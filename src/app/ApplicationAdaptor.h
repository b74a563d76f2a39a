#pragma once

#include <QDBusAbstractAdaptor>
#include <QVariantMap>

namespace lexwick {

class AppDelegate;

// org.freedesktop.Application on the session bus: how a second start (or the desktop) asks
// the running application to open its popover.
class ApplicationAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    ApplicationAdaptor(QObject* object, AppDelegate& delegate);

public Q_SLOTS:
    void Activate(const QVariantMap& platformData);

private:
    AppDelegate& m_delegate;
};

} // namespace lexwick
