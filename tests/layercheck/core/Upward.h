// SPDX-License-Identifier: MIT
#pragma once
// An include that points up the layers: the check must reject it.
#include "ui/PopoverView.h"
