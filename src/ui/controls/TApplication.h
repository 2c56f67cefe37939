#pragma once

#include <QApplication>

// The application object: an exception that leaves an event handler or a
// window's event handling is caught here and shown in the error box, and
// the event loop carries on.
//
// Unwinding through Qt's own event code skips its clean-up, so handlers the
// program calls from Qt signals catch at their own edge with
// TErrorBox::ShowCurrent(); notify() is the last line for the rest.
class TApplication : public QApplication {
    Q_OBJECT

public:
    TApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};
