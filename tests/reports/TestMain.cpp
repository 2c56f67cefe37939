#include "ui/controls/TApplication.h"

#include <QLocale>
#include <gtest/gtest.h>

// One application object for the whole run, the program's own; a fixed
// locale so that texts are the same on every machine. Test discovery runs the
// program at build time without the tests' environment, so the offscreen
// platform is the default here too.
int main(int argc, char **argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
