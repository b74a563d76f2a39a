#include "ui/AppActions.h"

namespace lexwick {

AppActions& AppActions::instance()
{
    static AppActions actions;
    return actions;
}

} // namespace lexwick
