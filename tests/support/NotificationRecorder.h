#pragma once

#include <QDBusConnection>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// The recording notification service, corvana-test-notifications, run as a
// process of its own on a given bus with a temporary record file. The
// constructor returns once the service owns its name on that bus (or has
// failed: see Ready and Failure). Records are described in
// RecordingNotificationService.
class NotificationRecorder {
public:
    explicit NotificationRecorder(const QString &busAddress);
    ~NotificationRecorder();
    NotificationRecorder(const NotificationRecorder &) = delete;
    NotificationRecorder &operator=(const NotificationRecorder &) = delete;

    bool Ready() const { return ready_; }
    QString Failure() const { return failure_; }

    // Every call recorded so far, oldest first.
    QList<QJsonObject> Records() const;
    // Only the Notify records, or only the CloseNotification ones.
    QList<QJsonObject> Notifications() const;
    QList<QJsonObject> Closes() const;
    // Plays the user activating `action` of notification `id`: the service
    // sends ActionInvoked(id, action) before this returns.
    bool Invoke(quint32 id, const QString &action);
    // Closes notification `id` as another program would (CloseNotification);
    // the service sends NotificationClosed before this returns.
    bool Close(quint32 id);
    // Ends the service and waits until its name is gone from the bus.
    void Stop();

private:
    bool Call(const QString &interface, const QString &method, const QVariantList &arguments);

    QTemporaryDir dir_;
    QString recordPath_;
    QString connectionName_;
    QDBusConnection bus_;
    QProcess process_;
    bool ready_ = false;
    QString failure_;
};
