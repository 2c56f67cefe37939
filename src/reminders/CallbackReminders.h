#pragma once

#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <functional>

class DesktopNotifier;
class TDBConnection;

// Reminds of call-backs while the program runs: at each call-back's time,
// less the lead, a desktop notification names the company, the person and
// the phone of a contact not called since (LastCallDate missing or before
// the call-back). Activating it reports the contact through Activated.
//
// The reminders cover the call-backs after the moment Start was called, so
// opening the program does not bring up the whole morning again; those are
// in the call-backs list. Each check shows what came due since the last one
// and sets the timer for the next call-back, at most a minute ahead, so a
// call-back changed in the meantime (here or by another program) is still
// reminded of at its new time. After the computer slept, the call-backs of
// the day it slept through are shown at once; earlier days are not. A clock
// set back by more than an hour starts over from the new time.
//
// The call-back dates are the program's date-time values (days, local
// time); null, texts and dates far from today are never selected. A
// database that cannot be read makes a check do nothing: the next one tries
// again, and nothing is shown to the user.
class CallbackReminders : public QObject {
    Q_OBJECT
public:
    struct Settings {
        bool on = true;
        int leadMinutes = 0;
    };
    using Clock = std::function<QDateTime()>;
    using SettingsSource = std::function<Settings()>;

    // `settings` is read at every check, so a change takes effect at the
    // next one (Check may be called at once after a change).
    CallbackReminders(TDBConnection &connection, DesktopNotifier &notifier, Clock clock,
                      SettingsSource settings, QObject *parent = nullptr);

    // Both return how many reminders the check sent.
    int Start();
    void Stop();
    bool Running() const { return running_; }
    // Shows what came due and sets the timer; also called by the timer.
    int Check();
    // How long until the timer's next check, in milliseconds; -1 when stopped.
    int NextCheckIn() const;
    // The notification texts of a contact.
    static QString Summary(const QString &company, const QString &person);
    static QString Body(const QString &person, const QString &phone, const QString &mobile,
                        double callback);

signals:
    void Activated(qint64 contactId);

private:
    double Now() const;
    int Show(double from, double until);
    // The first call-back after `after` still to be called, NaN when none.
    double NextCallback(double after);

    TDBConnection &connection_;
    DesktopNotifier &notifier_;
    Clock clock_;
    SettingsSource settings_;
    QTimer timer_;
    bool running_ = false;
    // Call-backs up to this moment are dealt with (local days).
    double coveredUntil_ = 0;
};
