#include "support/TestMain.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return lexwick::test::runRegisteredTests(argc, argv);
}
