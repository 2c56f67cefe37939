#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A session bus of the test's own: a dbus-daemon started for the life of the
// object with a configuration that listens in a temporary folder, lets
// anyone own any name and starts no services on demand (so no real
// notification daemon of the machine can answer). The daemon is killed at
// destruction, and also when the test process dies first.
class PrivateSessionBus {
public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus &) = delete;
    PrivateSessionBus &operator=(const PrivateSessionBus &) = delete;

    // The bus's address, as DBUS_SESSION_BUS_ADDRESS takes it; empty when the
    // daemon did not start (Failure says why).
    QString Address() const { return address_; }
    QString Failure() const { return failure_; }

    // A new connection of this process to the bus; it is closed before the
    // daemon ends.
    QDBusConnection Connect();

private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
    QString failure_;
    QStringList connections_;
};
