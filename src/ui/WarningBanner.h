// SPDX-License-Identifier: MIT
#pragma once

#include "safety/PIIDetector.h"

#include <QString>

namespace lexwick::WarningBanner {

// The banner's summary line: "Found: " and the labels of the detected kinds.
QString foundLine(const DetectionResult& result);

} // namespace lexwick::WarningBanner
