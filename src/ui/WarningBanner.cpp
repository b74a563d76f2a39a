// SPDX-License-Identifier: MIT
#include "ui/WarningBanner.h"

#include <QStringList>

namespace lexwick::WarningBanner {

QString foundLine(const DetectionResult& result)
{
    QStringList labels;
    for (PIIType type : result.detectedTypes)
        labels << rawValue(type);
    return QStringLiteral("Found: ") + labels.join(u", ");
}

} // namespace lexwick::WarningBanner
