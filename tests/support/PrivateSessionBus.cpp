#include "PrivateSessionBus.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QUuid>

#include <csignal>
#include <sys/prctl.h>

namespace {

// Long enough for a daemon on a loaded machine; the address usually comes
// within milliseconds.
constexpr int kStartTimeoutMs = 20000;

QString Configuration(const QString &folder) {
    return QStringLiteral(
               "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
               "1.0//EN\"\n"
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig>\n"
               "  <type>session</type>\n"
               "  <listen>unix:dir=%1</listen>\n"
               "  <auth>EXTERNAL</auth>\n"
               "  <policy context=\"default\">\n"
               "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
               "    <allow eavesdrop=\"true\"/>\n"
               "    <allow own=\"*\"/>\n"
               "  </policy>\n"
               "</busconfig>\n")
        .arg(folder.toHtmlEscaped());
}

} // namespace

PrivateSessionBus::PrivateSessionBus()
    // A short folder name: the socket's path must fit in 108 bytes.
    : dir_(QDir::tempPath() + QStringLiteral("/cvbus-XXXXXX")) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (program.isEmpty()) {
        failure_ = QStringLiteral("dbus-daemon is not installed");
        return;
    }
    if (!dir_.isValid()) {
        failure_ = QStringLiteral("no temporary folder: %1").arg(dir_.errorString());
        return;
    }
    const QString config = dir_.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) || file.write(Configuration(dir_.path()).toUtf8()) < 0) {
        failure_ = QStringLiteral("cannot write %1").arg(config);
        return;
    }
    file.close();
    // The daemon's complaints (as root it cannot raise its file limit, say)
    // go to a log, which is shown only when it fails to start.
    const QString log = dir_.filePath(QStringLiteral("daemon.log"));
    daemon_.setStandardErrorFile(log);
    daemon_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    daemon_.start(program, {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                            QStringLiteral("--print-address=1")});
    if (!daemon_.waitForStarted(kStartTimeoutMs)) {
        failure_ = QStringLiteral("dbus-daemon did not start: %1").arg(daemon_.errorString());
        return;
    }
    QElapsedTimer waited;
    waited.start();
    while (!daemon_.canReadLine() && waited.elapsed() < kStartTimeoutMs &&
           daemon_.state() == QProcess::Running)
        daemon_.waitForReadyRead(int(kStartTimeoutMs - waited.elapsed()));
    if (!daemon_.canReadLine()) {
        QFile messages(log);
        failure_ = QStringLiteral("dbus-daemon gave no address");
        if (messages.open(QIODevice::ReadOnly))
            failure_ += QStringLiteral(": ") + QString::fromLocal8Bit(messages.readAll()).trimmed();
        return;
    }
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
}

PrivateSessionBus::~PrivateSessionBus() {
    for (const QString &name : std::as_const(connections_))
        QDBusConnection::disconnectFromBus(name);
    if (daemon_.state() != QProcess::NotRunning) {
        daemon_.kill();
        daemon_.waitForFinished();
    }
}

QDBusConnection PrivateSessionBus::Connect() {
    const QString name =
        QStringLiteral("corvana-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    connections_.append(name);
    return QDBusConnection::connectToBus(address_, name);
}
