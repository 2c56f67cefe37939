#include "ui/controls/TApplication.h"

#include "ui/controls/TErrorBox.h"

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject *receiver, QEvent *event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        TErrorBox::ShowCurrent();
        // The event counts as handled: its handler ran as far as it got.
        return true;
    }
}
