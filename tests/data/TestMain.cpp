#include <QCoreApplication>
#include <QLocale>
#include <gtest/gtest.h>

// One application object for the whole run; a fixed locale so that date and
// time texts are the same on every machine.
int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
