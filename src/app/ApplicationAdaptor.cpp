#include "app/ApplicationAdaptor.h"

#include "app/AppDelegate.h"

namespace lexwick {

ApplicationAdaptor::ApplicationAdaptor(QObject* object, AppDelegate& delegate)
    : QDBusAbstractAdaptor(object)
    , m_delegate(delegate)
{
}

void ApplicationAdaptor::Activate(const QVariantMap& platformData)
{
    Q_UNUSED(platformData);
    m_delegate.activate();
}

} // namespace lexwick
