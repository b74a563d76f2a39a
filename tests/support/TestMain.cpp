// SPDX-License-Identifier: MIT
#include "TestMain.h"

#include <QStandardPaths>

namespace lexwick::test {

void prepareTestRun()
{
    QStandardPaths::setTestModeEnabled(true);
}

} // namespace lexwick::test
