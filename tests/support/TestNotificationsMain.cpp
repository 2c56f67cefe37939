// corvana-test-notifications <record file>: a notification service on the
// session bus of DBUS_SESSION_BUS_ADDRESS that records every call (see
// RecordingNotificationService). It ends on SIGTERM and when the bus goes.

#include "RecordingNotificationService.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

// Every record is flushed as it is written, so nothing is left to save.
extern "C" void EndAtOnce(int) {
    _exit(0);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: corvana-test-notifications <record file>\n");
        return 2;
    }
    std::signal(SIGTERM, EndAtOnce);
    QDBusConnection bus = QDBusConnection::sessionBus();
    RecordingNotificationService service(bus, QString::fromLocal8Bit(argv[1]));
    if (!service.Register()) {
        std::fprintf(stderr, "corvana-test-notifications: %s\n", qPrintable(service.Failure()));
        return 1;
    }
    // Qt tells no one when the bus goes away; a test's private bus ends with
    // its test, and so must the service.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &app, [&bus] {
        if (!bus.isConnected())
            QCoreApplication::exit(0);
    });
    watch.start(100);
    return app.exec();
}
