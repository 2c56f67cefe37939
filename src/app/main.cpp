// Program entry: the application object, the main window, the message loop.
// The command line is not read.
#include "data/ConnectionString.h"
#include "ui/controls/TApplication.h"
#include "ui/controls/TErrorBox.h"
#include "ui/main/ProgramFonts.h"
#include "ui/main/frmMain.h"

int main(int argc, char **argv) {
    TApplication app(argc, argv);
    // The window layout is measured in the classic desktop fonts; their
    // metric twins stand in for them.
    ProgramFonts::MapFonts();
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
