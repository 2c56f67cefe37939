#include "ui/controls/TApplication.h"

#include "ui/controls/TErrorBox.h"

const QString TApplication::kTitle = QStringLiteral("Corvana");

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv) {
    // A window without a caption is shown under the application's name,
    // which otherwise is the program file's ("corvana"). The display name is
    // left alone: once set, the desktop appends it to every caption
    // ("Print Preview — Corvana"), and the windows' own captions must stay
    // as they are.
    setApplicationName(kTitle);
}

bool TApplication::notify(QObject *receiver, QEvent *event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        TErrorBox::ShowCurrent();
        // The event counts as handled: its handler ran as far as it got.
        return true;
    }
}
