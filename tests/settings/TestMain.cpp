#include "ui/controls/TApplication.h"

#include <QLocale>
#include <gtest/gtest.h>

// The Options dialog is a window: one application object of the program's
// own kind for the whole run, drawn off screen, so the tests and their
// discovery at build time need no display.
int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
