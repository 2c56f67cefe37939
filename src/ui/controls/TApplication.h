#pragma once

#include <QApplication>
#include <QString>

// The application object: an exception that leaves an event handler or a
// window's event handling is caught here and shown in the error box, and
// the event loop carries on.
//
// Unwinding through Qt's own event code skips its clean-up, so handlers the
// program calls from Qt signals catch at their own edge with
// TErrorBox::ShowCurrent(); notify() is the last line for the rest.
//
// It also gives the program its title, "Corvana": the caption of the error
// box and the program's other message boxes, and what the desktop shows for
// a window that has no caption of its own.
class TApplication : public QApplication {
    Q_OBJECT

public:
    static const QString kTitle;

    TApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};
