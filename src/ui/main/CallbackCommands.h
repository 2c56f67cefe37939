#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>

class CallbackReminders;
class DesktopNotifier;
class QAction;
class QDBusConnection;
class QMenu;
class TfrmMain;

// Keeps the call-backs from being forgotten: the reminders while the program
// runs (a desktop notification at each call-back time of today; activating
// it loads the contact into the editor), and the Tools menu's
// "Export Call-&Backs to Calendar ...", which writes the call-backs of a
// range of days as a calendar file other programs read.
class CallbackCommands {
public:
    CallbackCommands(TfrmMain &window, QMenu &tools);
    ~CallbackCommands();

    QAction *mniExportCalendar = nullptr;

    // Replaceable by tests: the range of days (false: cancelled), the file
    // to write (empty: cancelled), a message, and the clock of the
    // reminders and of the range's default first day.
    std::function<bool(QDate &first, int &days)> chooseRange;
    std::function<QString(const QString &suggested)> chooseCalendarFile;
    std::function<void(const QString &text)> tell;
    std::function<QDateTime()> clock;

    // Starts the reminders from now; called once the database is open.
    void StartReminders();
    // The settings changed (the Options dialog closed): a check at once.
    void SettingsChanged();
    // Sends the reminders to the notification service on `bus`.
    void UseBus(const QDBusConnection &bus);
    CallbackReminders &Reminders() { return *reminders_; }
    // Withdraws the reminders still shown; the window is closing.
    void AtClose();

    void ExportToCalendar();

private:
    void MakeReminders(std::unique_ptr<DesktopNotifier> notifier);
    void LoadContact(qint64 id);
    QDateTime Now() const;
    void Show(const QString &text);

    TfrmMain &window_;
    std::unique_ptr<DesktopNotifier> notifier_;
    std::unique_ptr<CallbackReminders> reminders_;
};
