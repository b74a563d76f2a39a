#include "support/TestMain.h"

#include <QGuiApplication>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    return lexwick::test::runRegisteredTests(argc, argv);
}
