// SPDX-License-Identifier: MIT
#include "ui/QmlTypes.h"
