#include "ui/main/CallbackCommands.h"

#include "calendar/CallbackCalendar.h"
#include "reminders/CallbackReminders.h"
#include "reminders/DesktopNotifier.h"
#include "settings/ReminderSettings.h"
#include "ui/controls/TErrorBox.h"
#include "ui/main/CalendarRangeDialog.h"
#include "ui/main/frmMain.h"

#include <QAction>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QStandardPaths>

namespace {

constexpr int kDefaultDays = 30;

CallbackReminders::Settings StoredSettings() {
    const ReminderSettings stored = ReminderSettings::Read();
    return {stored.on, stored.leadMinutes};
}

} // namespace

CallbackCommands::CallbackCommands(TfrmMain &window, QMenu &tools) : window_(window) {
    tools.addSeparator()->setObjectName(QStringLiteral("N6"));
    mniExportCalendar = tools.addAction(QStringLiteral("Export Call-&Backs to Calendar ..."));
    mniExportCalendar->setObjectName(QStringLiteral("mniExportCalendar"));
    QObject::connect(mniExportCalendar, &QAction::triggered, &window,
                     [this] { TErrorBox::Guard([this] { ExportToCalendar(); }); });
    MakeReminders(std::make_unique<DesktopNotifier>());
}

CallbackCommands::~CallbackCommands() = default;

void CallbackCommands::MakeReminders(std::unique_ptr<DesktopNotifier> notifier) {
    const bool running = reminders_ && reminders_->Running();
    reminders_.reset();
    notifier_ = std::move(notifier);
    reminders_ = std::make_unique<CallbackReminders>(
        window_.connDB, *notifier_, [this] { return Now(); }, StoredSettings);
    QObject::connect(reminders_.get(), &CallbackReminders::Activated, &window_,
                     [this](qint64 id) { LoadContact(id); });
    if (running)
        reminders_->Start();
}

void CallbackCommands::UseBus(const QDBusConnection &bus) {
    MakeReminders(std::make_unique<DesktopNotifier>(bus));
}

void CallbackCommands::StartReminders() {
    reminders_->Start();
}

void CallbackCommands::SettingsChanged() {
    reminders_->Check();
}

void CallbackCommands::AtClose() {
    reminders_->Stop();
    notifier_->CloseAll();
}

QDateTime CallbackCommands::Now() const {
    return clock ? clock() : QDateTime::currentDateTime();
}

void CallbackCommands::Show(const QString &text) {
    if (tell)
        tell(text);
    else
        QMessageBox::information(&window_, TErrorBox::ApplicationTitle(), text);
}

void CallbackCommands::LoadContact(qint64 id) {
    // Brought to the front with the contact in the editor; a pending edit
    // is settled first, as Load does.
    window_.showNormal();
    window_.raise();
    window_.activateWindow();
    TErrorBox::Guard([this, id] {
        if (!window_.rsContacts.Active())
            return;
        if (!window_.rsContacts.Locate(QStringLiteral("ContactID"), id))
            Show(QStringLiteral("The contact of this reminder is no longer there."));
    });
}

void CallbackCommands::ExportToCalendar() {
    // What the file holds is what is stored: a pending edit is saved first.
    if (window_.rsContacts.Active())
        window_.rsContacts.EnsureBrowse();
    QDate first = Now().date();
    int days = kDefaultDays;
    if (chooseRange) {
        if (!chooseRange(first, days))
            return;
    } else {
        CalendarRangeDialog dialog(first, days, &window_);
        if (dialog.exec() != QDialog::Accepted)
            return;
        first = dialog.First();
        days = dialog.Days();
    }
    const QString suggested =
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
            .filePath(QStringLiteral("Corvana call-backs %1.ics")
                          .arg(first.toString(QStringLiteral("yyyy-MM-dd"))));
    QString fileName =
        chooseCalendarFile
            ? chooseCalendarFile(suggested)
            : QFileDialog::getSaveFileName(
                  &window_, QStringLiteral("Export Call-Backs to Calendar"), suggested,
                  QStringLiteral("Calendar files (*.ics);;All files (*)"));
    if (fileName.isEmpty())
        return;
    if (QFileInfo(fileName).suffix().isEmpty())
        fileName += QStringLiteral(".ics");
    const int written =
        CallbackCalendar(window_.connDB)
            .Write(first, days, ReminderSettings::Read().leadMinutes, fileName, Now());
    const QString where = QDir::toNativeSeparators(fileName);
    const QString last = first.addDays(days - 1).toString(Qt::ISODate);
    const QString count =
        written == 1 ? QStringLiteral("1 call-back") : QStringLiteral("%1 call-backs").arg(written);
    Show(QStringLiteral("Wrote %1 (%2 to %3) to '%4'.")
             .arg(count, first.toString(Qt::ISODate), last, where));
}
