#include <QApplication>
#include <QFont>
#include <QLocale>
#include <gtest/gtest.h>

int main(int argc, char **argv) {
    // Windows are drawn off screen: the tests, and their discovery at build
    // time, need no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The program's font mapping, so texts measure as they do in the program.
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
