#pragma once

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QFile>
#include <QSet>
#include <QString>

class QJsonObject;

// A notification service for tests: the freedesktop notification interface
// at /org/freedesktop/Notifications, writing one JSON line per Notify and
// CloseNotification call to a record file (flushed at once, so another
// process can read it the moment the reply is out), and a test interface,
// org.corvana.TestNotifications, whose Invoke(u id, s action) plays a user
// clicking an action.
//
// A Notify record holds "call", "sender" (the caller's unique name), "id",
// "app_name", "replaces_id", "app_icon", "summary", "body", "actions",
// "hints" (each value as text), "hint_types" (each value's D-Bus signature)
// and "expire_timeout"; a CloseNotification record holds "call", "sender"
// and "id". Ids count from 1.
class RecordingNotificationService : public QDBusVirtualObject {
public:
    static const QString kService;
    static const QString kPath;
    static const QString kInterface;
    static const QString kTestInterface;

    RecordingNotificationService(const QDBusConnection &bus, const QString &recordPath);
    // Leaves the bus: the object is no longer served and the name is given up.
    ~RecordingNotificationService() override;

    // Serves the object on the bus and takes the service's name; false (with
    // the reason in Failure) when either fails.
    bool Register();
    QString Failure() const { return failure_; }

    // From now on each Notify sends ActionInvoked(id, action) before its
    // reply, as a user clicking at once would on a busy bus. Empty: never.
    void InvokeBeforeReply(const QString &action) { invokeBeforeReply_ = action; }

    QString introspect(const QString &path) const override;
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

private:
    void Notify(const QDBusMessage &message, const QDBusConnection &connection);
    void CloseNotification(const QDBusMessage &message, const QDBusConnection &connection);
    void Invoke(const QDBusMessage &message, const QDBusConnection &connection);
    void Emit(const QDBusConnection &connection, const QString &interface, const QString &name,
              const QVariantList &arguments);
    void Record(const QJsonObject &record);

    QDBusConnection bus_;
    QFile record_;
    QString failure_;
    bool registered_ = false;
    quint32 lastId_ = 0;
    QSet<quint32> open_;
    QString invokeBeforeReply_;
};
