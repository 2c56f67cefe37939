// Program entry: the application object, the main window, the message loop.
// The command line is not read.
#include "data/ConnectionString.h"
#include "data/DatabaseLocation.h"
#include "settings/DatabaseSettings.h"
#include "ui/controls/TApplication.h"
#include "ui/controls/TErrorBox.h"
#include "ui/main/ProgramFonts.h"
#include "ui/main/StartupCheck.h"
#include "ui/main/frmMain.h"

#include <QIcon>

namespace {

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/corvana-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace

int main(int argc, char **argv) {
    TApplication app(argc, argv);
    // The user's data folder of the program is named after its maker and
    // itself: ~/.local/share/Brennart/Corvana.
    TApplication::setOrganizationName(QStringLiteral("Brennart"));
    TApplication::setWindowIcon(ProgramIcon());
    // The window layout is measured in the classic desktop fonts; their
    // metric twins stand in for them.
    ProgramFonts::MapFonts();
    // The program folder's own database, else the user's copy of the
    // installed template; without either the program cannot work, unless
    // its contacts are on a server.
    QString databaseFolder;
    try {
        databaseFolder = DatabaseLocation::ResolveForProgram();
    } catch (...) {
        if (!DatabaseSettings::Read().OnServer()) {
            TErrorBox::ShowCurrent();
            return 1;
        }
        databaseFolder = ConnectionString::ProgramFolder();
    }
    // Held for the whole run: the next start sees whether this one ended
    // cleanly.
    StartupCheck startupCheck(databaseFolder);
    try {
        startupCheck.Run();
    } catch (...) {
        TErrorBox::ShowCurrent();
    }
    TfrmMain frmMain(ConnectionString::ProgramFolder(), databaseFolder,
                     [](std::exception_ptr error) {
                         try {
                             std::rethrow_exception(error);
                         } catch (...) {
                             TErrorBox::ShowCurrent();
                         }
                     });
    frmMain.show();
    return app.exec();
}
