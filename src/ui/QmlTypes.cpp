#include "ui/QmlTypes.h"
