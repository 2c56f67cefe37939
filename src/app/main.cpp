// Program entry: the application object, the main window, the message loop.
// The command line is not read.
#include "data/ConnectionString.h"
#include "ui/controls/TApplication.h"
#include "ui/controls/TErrorBox.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QFont>

namespace {
// The window layout is measured in the classic desktop fonts; their metric
// twins stand in for them, so every caption fits where it was placed.
void MapFonts() {
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Microsoft Sans Serif"),
                              QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Times New Roman"),
                              QStringLiteral("Liberation Serif"));
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    QApplication::setFont(font);
}
} // namespace

int main(int argc, char **argv) {
    TApplication app(argc, argv);
    MapFonts();
    TfrmMain frmMain(ConnectionString::ProgramFolder(), [](std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (...) {
            TErrorBox::ShowCurrent();
        }
    });
    frmMain.show();
    return app.exec();
}
