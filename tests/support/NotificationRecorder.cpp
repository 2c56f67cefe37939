#include "NotificationRecorder.h"

#include "RecordingNotificationService.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QJsonDocument>
#include <QProcessEnvironment>
#include <QTest>
#include <QUuid>

#include <csignal>
#include <sys/prctl.h>

namespace {

// Generous, for a loaded machine; waits end as soon as the bus says so.
constexpr int kTimeoutMs = 20000;

QString NewConnectionName() {
    return QStringLiteral("corvana-recorder-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QList<QJsonObject> RecordsOfCall(const QList<QJsonObject> &records, const QString &call) {
    QList<QJsonObject> matching;
    for (const QJsonObject &record : records)
        if (record.value(QStringLiteral("call")).toString() == call)
            matching.append(record);
    return matching;
}

} // namespace

NotificationRecorder::NotificationRecorder(const QString &busAddress)
    : dir_(), recordPath_(dir_.filePath(QStringLiteral("record.jsonl"))),
      connectionName_(NewConnectionName()),
      bus_(QDBusConnection::connectToBus(busAddress, connectionName_)) {
    if (!dir_.isValid() || !bus_.isConnected()) {
        failure_ = QStringLiteral("no temporary folder or no bus at %1").arg(busAddress);
        return;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::ForwardedChannels);
    process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process_.start(QStringLiteral(CORVANA_TEST_NOTIFICATIONS), {recordPath_});
    if (!process_.waitForStarted(kTimeoutMs)) {
        failure_ = QStringLiteral("corvana-test-notifications did not start: %1")
                       .arg(process_.errorString());
        return;
    }
    (void)QTest::qWaitFor(
        [&] {
            return process_.state() != QProcess::Running ||
                   bus_.interface()->isServiceRegistered(RecordingNotificationService::kService);
        },
        kTimeoutMs);
    ready_ = process_.state() == QProcess::Running &&
             bus_.interface()->isServiceRegistered(RecordingNotificationService::kService);
    if (!ready_)
        failure_ = QStringLiteral("corvana-test-notifications did not take its name");
}

NotificationRecorder::~NotificationRecorder() {
    Stop();
    QDBusConnection::disconnectFromBus(connectionName_);
}

QList<QJsonObject> NotificationRecorder::Records() const {
    QList<QJsonObject> records;
    QFile file(recordPath_);
    if (!file.open(QIODevice::ReadOnly))
        return records;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.isEmpty())
            continue;
        records.append(QJsonDocument::fromJson(line).object());
    }
    return records;
}

QList<QJsonObject> NotificationRecorder::Notifications() const {
    return RecordsOfCall(Records(), QStringLiteral("Notify"));
}

QList<QJsonObject> NotificationRecorder::Closes() const {
    return RecordsOfCall(Records(), QStringLiteral("CloseNotification"));
}

bool NotificationRecorder::Invoke(quint32 id, const QString &action) {
    return Call(RecordingNotificationService::kTestInterface, QStringLiteral("Invoke"),
                {uint(id), action});
}

bool NotificationRecorder::Close(quint32 id) {
    return Call(RecordingNotificationService::kInterface, QStringLiteral("CloseNotification"),
                {uint(id)});
}

bool NotificationRecorder::Call(const QString &interface, const QString &method,
                                const QVariantList &arguments) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(RecordingNotificationService::kService,
                                       RecordingNotificationService::kPath, interface, method);
    call.setArguments(arguments);
    // The service is another process, so waiting here cannot dead-lock.
    return bus_.call(call, QDBus::Block, kTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

void NotificationRecorder::Stop() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(kTimeoutMs)) {
        process_.kill();
        process_.waitForFinished();
    }
    // The bus drops the name when it sees the connection close; wait for
    // that, so a service started next can take it.
    if (bus_.isConnected())
        (void)QTest::qWaitFor(
            [&] {
                return !bus_.interface()->isServiceRegistered(
                    RecordingNotificationService::kService);
            },
            kTimeoutMs);
}
