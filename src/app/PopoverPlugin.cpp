// SPDX-License-Identifier: MIT
// The entry of the library `lexwick-popover`, which the executable loads at the first open.
// Everything below the screens (the router, the settings, the history…) is the executable's:
// the library is linked without those layers and finds them in the executable at load time.

#include "app/Popover.h"
#include "app/QuickPopover.h"

#include <QQuickWindow>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(LexwickPlugin)

namespace lexwick {

class PopoverPlugin : public QObject, public PopoverFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID LEXWICK_POPOVER_FACTORY_IID)
    Q_INTERFACES(lexwick::PopoverFactory)

public:
    std::unique_ptr<Popover> create(const PopoverContext& context) override
    {
        // A popover needs no GPU context; the software renderer keeps the process small. It
        // must be chosen before the first Qt Quick window exists, which is about to be made.
        if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        return std::make_unique<QuickPopover>(context);
    }
};

} // namespace lexwick

#include "PopoverPlugin.moc"
