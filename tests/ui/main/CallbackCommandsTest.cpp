#include "ui/main/CallbackCommands.h"

#include "data/DateTimeValue.h"
#include "reminders/CallbackReminders.h"
#include "settings/ReminderSettings.h"
#include "support/NotificationRecorder.h"
#include "support/PrivateSessionBus.h"
#include "support/TempDatabase.h"
#include "support/TempSettings.h"
#include "ui/controls/TErrorBox.h"
#include "ui/main/frmMain.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr double kMinute = 1.0 / (24 * 60);
constexpr int kWaitMs = 20000;

class CallbackCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        TErrorBox::ShowHook = [this](const QString &, const QString &text) { errors << text; };
        today = DateTimeValue::FromDate(QDate(2026, 12, 9));
        now = today + 9.0 / 24;
        db.Exec(QStringLiteral("INSERT INTO Contacts (ContactID, CompanyName, ContactPerson, "
                               "Phone, Email, CountryID, StatusID, CallbackDate) VALUES "
                               "(1, 'First Ltd', 'Ann', '555-1', 'ann@first', 1, 1, %1),"
                               "(2, 'Second, Inc.', 'Bob; Jr', '555-2', NULL, 1, 1, %2),"
                               "(3, 'Later', 'Cy', '555-3', NULL, 1, 1, %3),"
                               "(4, 'Never', 'Di', NULL, NULL, 1, 1, NULL)")
                    .arg(QString::number(today + 10.0 / 24, 'g', 17),
                         QString::number(today + 10.5 / 24, 'g', 17),
                         QString::number(today + 40, 'g', 17)));
    }
    void TearDown() override { TErrorBox::ShowHook = nullptr; }

    void Open() {
        window = std::make_unique<TfrmMain>(db.Folder(), [this](std::exception_ptr error) {
            try {
                std::rethrow_exception(error);
            } catch (const EError &e) {
                errors << e.Message();
            }
        });
        callbacks = window->callbacks.get();
        callbacks->clock = [this] { return DateTimeValue::ToDateTime(now); };
        callbacks->tell = [this](const QString &text) { told << text; };
    }

    qint64 EditorId() const { return window->rsContacts.FieldNamed("ContactID")->IntegerValue(); }

    QList<QJsonObject> WaitForNotifications(int count) {
        QTest::qWaitFor([&] { return recorder->Notifications().size() >= count; }, kWaitMs);
        return recorder->Notifications();
    }

    TempSettings settings;
    TempDatabase db;
    QStringList errors;
    QStringList told;
    double today = 0;
    double now = 0;
    std::unique_ptr<TfrmMain> window;
    CallbackCommands *callbacks = nullptr;
    std::unique_ptr<PrivateSessionBus> bus;
    std::unique_ptr<NotificationRecorder> recorder;
};

// A day of the program with a notification service: the reminder comes at
// the call-back's time, clicking it while another contact is being edited
// saves that edit and loads the reminded contact; a call recorded for the
// second contact keeps its reminder away; the lead set in Options applies
// from the next check.
TEST_F(CallbackCommandsTest, RemindersComeAtTheirTimeAndActivatingOneLoadsTheContact) {
    bus = std::make_unique<PrivateSessionBus>();
    ASSERT_FALSE(bus->Address().isEmpty()) << bus->Failure().toStdString();
    recorder = std::make_unique<NotificationRecorder>(bus->Address());
    ASSERT_TRUE(recorder->Ready()) << recorder->Failure().toStdString();
    Open();
    callbacks->UseBus(bus->Connect());
    callbacks->StartReminders();
    window->show();

    now = today + 9.99 / 24;
    EXPECT_EQ(callbacks->Reminders().Check(), 0);
    now = today + 10.0 / 24 + 5.0 / 86400;
    EXPECT_EQ(callbacks->Reminders().Check(), 1);
    QList<QJsonObject> shown = WaitForNotifications(1);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].value("summary").toString(), "Call back First Ltd");
    EXPECT_TRUE(shown[0].value("body").toString().startsWith("Ann\nPhone: 555-1\nAt "));

    // The editor stands on contact 1; edit contact 3 and leave it pending.
    ASSERT_TRUE(window->rsContacts.Locate("ContactID", 3));
    window->rsContacts.Edit();
    window->rsContacts.FieldNamed("CompanyName")->SetTextValue("Later and Sons");
    ASSERT_TRUE(recorder->Invoke(quint32(shown[0].value("id").toInt()), "default"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return EditorId() == 1; }, kWaitMs));
    EXPECT_EQ(db.ContactText("CompanyName", 3), "Later and Sons");

    // Contact 2 is called at 10:40, after its call-back's time but before
    // the next check: no reminder.
    now = today + 10.0 / 24 + 40 * kMinute;
    ASSERT_TRUE(window->rsContacts.Locate("ContactID", 2));
    window->rsContacts.Edit();
    window->rsContacts.FieldNamed("LastCallDate")->SetDateTimeValue(now);
    window->rsContacts.Post();
    now = today + 11.0 / 24;
    EXPECT_EQ(callbacks->Reminders().Check(), 0);

    // A call-back moved to 11:30, with a lead of 15 minutes from Options:
    // reminded at 11:15.
    db.Exec(QStringLiteral("UPDATE Contacts SET CallbackDate = %1, LastCallDate = NULL "
                           "WHERE ContactID = 2")
                .arg(QString::number(today + 11.5 / 24, 'g', 17)));
    ReminderSettings lead;
    lead.leadMinutes = 15;
    lead.Write();
    now = today + 11.0 / 24 + 14 * kMinute;
    callbacks->SettingsChanged();
    EXPECT_EQ(WaitForNotifications(1).size(), 1);
    now = today + 11.0 / 24 + 15 * kMinute + 1.0 / 86400;
    EXPECT_EQ(callbacks->Reminders().Check(), 1);
    shown = WaitForNotifications(2);
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[1].value("summary").toString(), "Call back Second, Inc.");

    // Closing withdraws what is still shown.
    window->close();
    const int second = shown[1].value("id").toInt();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (const QJsonObject &close : recorder->Closes())
                if (close.value("id").toInt() == second)
                    return true;
            return false;
        },
        kWaitMs));
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}

TEST_F(CallbackCommandsTest, WithoutANotificationServiceNothingIsShownAndNothingFails) {
    bus = std::make_unique<PrivateSessionBus>();
    ASSERT_FALSE(bus->Address().isEmpty());
    Open();
    callbacks->UseBus(bus->Connect());
    callbacks->StartReminders();
    now = today + 11.0 / 24;
    EXPECT_EQ(callbacks->Reminders().Check(), 2);
    QTest::qWait(50);
    // Reminders off: nothing is sent at all.
    ReminderSettings off;
    off.on = false;
    off.Write();
    db.Exec(QStringLiteral("UPDATE Contacts SET CallbackDate = %1 WHERE ContactID = 3")
                .arg(QString::number(today + 11.5 / 24, 'g', 17)));
    now = today + 12.0 / 24;
    EXPECT_EQ(callbacks->Reminders().Check(), 0);
    window->close();
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
    EXPECT_TRUE(told.isEmpty()) << told.join("; ").toStdString();
}

// Tools > Export Call-Backs to Calendar: the range offered starts today for
// 30 days, a pending edit is saved first, the file holds the call-backs of
// the range, and the message says how many.
TEST_F(CallbackCommandsTest, ExportToCalendarWritesTheRangeChosen) {
    Open();
    QMenu *tools = nullptr;
    for (QAction *menu : window->MainMenu1->actions())
        if (menu->text() == "&Tools")
            tools = menu->menu();
    ASSERT_TRUE(tools);
    ASSERT_EQ(tools->actions().last(), callbacks->mniExportCalendar);
    EXPECT_EQ(callbacks->mniExportCalendar->text(), "Export Call-&Backs to Calendar ...");

    QTemporaryDir out;
    QDate offeredFirst;
    int offeredDays = 0;
    callbacks->chooseRange = [&](QDate &first, int &days) {
        offeredFirst = first;
        offeredDays = days;
        return true;
    };
    QString suggested;
    callbacks->chooseCalendarFile = [&](const QString &name) {
        suggested = name;
        return out.filePath("calls"); // no extension: one is added
    };
    ASSERT_TRUE(window->rsContacts.Locate("ContactID", 2));
    window->rsContacts.Edit();
    window->rsContacts.FieldNamed("ContactPerson")->SetTextValue("Bob, Sr");
    callbacks->mniExportCalendar->trigger();
    EXPECT_EQ(offeredFirst, QDate(2026, 12, 9));
    EXPECT_EQ(offeredDays, 30);
    EXPECT_TRUE(suggested.endsWith("Corvana call-backs 2026-12-09.ics")) << suggested.toStdString();
    QFile file(out.filePath("calls.ics"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray calendar = file.readAll();
    EXPECT_EQ(calendar.count("BEGIN:VEVENT"), 2);
    EXPECT_TRUE(calendar.contains("Person: Bob\\, Sr")) << calendar.toStdString();
    EXPECT_FALSE(calendar.contains("Later"));
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].startsWith("Wrote 2 call-backs (2026-12-09 to 2027-01-07)"))
        << told[0].toStdString();

    // Cancelled at the range: nothing written, nothing said.
    callbacks->chooseRange = [](QDate &, int &) { return false; };
    file.remove();
    callbacks->mniExportCalendar->trigger();
    EXPECT_FALSE(QFile::exists(out.filePath("calls.ics")));
    EXPECT_EQ(told.size(), 1);
    // A folder that is not there: the error box says so.
    callbacks->chooseRange = [](QDate &, int &days) {
        days = 60;
        return true;
    };
    callbacks->chooseCalendarFile = [&](const QString &) { return out.filePath("gone/x.ics"); };
    callbacks->mniExportCalendar->trigger();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("gone")) << errors[0].toStdString();
}

} // namespace
