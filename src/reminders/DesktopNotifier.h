#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

class QDBusPendingCallWatcher;

// Desktop notifications through the freedesktop notification service
// (org.freedesktop.Notifications on the session bus).
//
// Every call to the service is asynchronous: the program never waits for it,
// and a service living in the same thread (as in the tests) cannot dead-lock
// it. Each notification carries a cookie chosen by the caller, which comes
// back in Activated when the user clicks the notification or its "Load"
// action. Without a bus or without a service nothing is shown and nothing
// fails.
class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    // Talks to the notification service on the session bus.
    explicit DesktopNotifier(QObject *parent = nullptr);
    // Talks to the notification service on `bus` (tests pass a private bus).
    explicit DesktopNotifier(const QDBusConnection &bus, QObject *parent = nullptr);

    // Sends a notification and returns at once, never waiting for the
    // service. `cookie` comes back in Activated when the user activates the
    // notification (clicks it or its "Load" action). Without a bus or a
    // service, nothing is shown and nothing fails.
    void Show(const QString &summary, const QString &body, qint64 cookie);
    // Withdraws every notification this object showed that is still up
    // (CloseNotification), e.g. at exit. Notifications whose Show is still
    // waiting for the service's answer are withdrawn when it comes.
    void CloseAll();

signals:
    void Activated(qint64 cookie);
    // Each notification the service took, with its id (for tests and for
    // logging).
    void Shown(quint32 id, qint64 cookie);

private slots:
    void OnActionInvoked(uint id, const QString &action);
    void OnNotificationClosed(uint id, uint reason);
    void OnServiceOwnerChanged();

private:
    // A signal of the service about an id not known yet: it may belong to a
    // notification whose Notify reply is still on its way.
    struct EarlyEvent {
        quint32 id;
        bool activated; // else closed
    };

    void OnNotifyReply(QDBusPendingCallWatcher *watcher, qint64 cookie, quint64 sequence);
    void Close(quint32 id);

    QDBusConnection bus_;
    // The notifications up, by the service's id, with their cookies.
    QHash<quint32, qint64> shown_;
    // Notify calls sent and not answered yet.
    int pending_ = 0;
    QList<EarlyEvent> early_;
    // Each Show's number; replies to Shows numbered below `closedBefore_`
    // come after a CloseAll and are withdrawn as they arrive.
    quint64 nextSequence_ = 0;
    quint64 closedBefore_ = 0;
};
