#include "reminders/CallbackReminders.h"

#include "NotifierTestSupport.h"
#include "data/DBConnection.h"
#include "data/DateTimeValue.h"
#include "reminders/DesktopNotifier.h"
#include "support/NotificationRecorder.h"
#include "support/PrivateSessionBus.h"
#include "support/TempDatabase.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <set>

namespace {

// A contact of the test: its call-back and last call as stored (NaN: null).
struct Contact {
    double callback = NAN;
    double lastCall = NAN;
};

QString Sql(double value) {
    return std::isnan(value) ? QStringLiteral("NULL") : QString::number(value, 'g', 17);
}

class CallbackRemindersTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(bus.Address().isEmpty()) << bus.Failure().toStdString();
        recorder = std::make_unique<NotificationRecorder>(bus.Address());
        ASSERT_TRUE(recorder->Ready()) << recorder->Failure().toStdString();
        connection.SetConnectionString(db.ConnectionString());
        connection.Open();
        notifier = std::make_unique<DesktopNotifier>(bus.Connect());
        reminders = std::make_unique<CallbackReminders>(
            connection, *notifier, [this] { return DateTimeValue::ToDateTime(now); },
            [this] { return settings; });
    }

    void Store(qint64 id, const Contact &contact) {
        db.Exec(QStringLiteral("INSERT OR REPLACE INTO Contacts (ContactID, CompanyName, "
                               "ContactPerson, Phone, CountryID, StatusID, CallbackDate, "
                               "LastCallDate) VALUES (%1, 'Company %1', 'Person %1', '555-%1', "
                               "1, 1, %2, %3)")
                    .arg(id)
                    .arg(Sql(contact.callback), Sql(contact.lastCall)));
        contacts[id] = contact;
    }

    // The summaries the service received, waiting for `count` of them.
    QStringList Received(int count) {
        QTest::qWaitFor([&] { return recorder->Notifications().size() >= count; },
                        NotifierTest::kTimeoutMs);
        QStringList summaries;
        for (const QJsonObject &record : recorder->Notifications())
            summaries << record.value("summary").toString();
        return summaries;
    }

    PrivateSessionBus bus;
    std::unique_ptr<NotificationRecorder> recorder;
    TempDatabase db{0};
    TDBConnection connection{QStringLiteral("connDB")};
    std::unique_ptr<DesktopNotifier> notifier;
    std::unique_ptr<CallbackReminders> reminders;
    CallbackReminders::Settings settings;
    double now = 0;
    std::map<qint64, Contact> contacts;
};

constexpr double kMinute = 1.0 / (24 * 60);

// Random contacts, edits and lead times while the clock moves on in random
// steps, across midnight too. Whatever happens, each call-back is reminded
// of at most once, never before its time less the lead at that moment,
// never when the contact was called since, and none that came due while the
// program ran on its day is missed.
TEST_F(CallbackRemindersTest, RandomDaysRemindEachDueCallBackOnceAndNeverEarly) {
    std::mt19937 random(91);
    const double day0 = DateTimeValue::FromDate(QDate(2026, 3, 2));
    auto randomContact = [&](double around) {
        Contact c;
        const int kind = int(random() % 10);
        if (kind == 0)
            return c; // no call-back
        if (kind == 1)
            c.callback = DateTimeValue::FromDate(QDate(2301, 1, 1)); // far off
        else
            c.callback = around + int(random() % 600) * kMinute - 60 * kMinute;
        const int called = int(random() % 5);
        if (called == 0)
            c.lastCall = c.callback - 1;
        else if (called == 1)
            c.lastCall = c.callback + kMinute; // called after: nothing to remind
        return c;
    };
    now = day0 + 8.0 / 24;
    for (qint64 id = 1; id <= 120; ++id)
        Store(id, randomContact(now));
    reminders->Start();
    const double started = now;

    // What was shown, by contact and call-back.
    std::set<std::pair<qint64, double>> shown;
    QSignalSpy taken(notifier.get(), &DesktopNotifier::Shown);
    int sent = 0;
    double lastCheck = now;
    bool wasOn = settings.on;
    int lastLead = settings.leadMinutes;
    for (int step = 0; step < 160; ++step) {
        SCOPED_TRACE(step);
        const int op = int(random() % 10);
        if (op < 6) {
            now += int(random() % 40 + 1) * kMinute * (random() % 8 == 0 ? 30 : 1);
        } else if (op < 8) {
            // An edit: a new call-back or a call, as a user makes.
            Store(qint64(random() % 120 + 1), randomContact(now));
        } else if (op == 8) {
            settings.leadMinutes = int(random() % 3) * 15;
        } else {
            settings.on = random() % 4 != 0;
        }
        const int before = sent;
        sent += reminders->Check();
        // The service has recorded a notification before it answers.
        ASSERT_TRUE(NotifierTest::WaitForCount(taken, sent));
        const QList<QJsonObject> records = recorder->Notifications();
        ASSERT_EQ(records.size(), sent);
        for (int i = before; i < sent; ++i) {
            const qint64 id = records[i].value("summary").toString().section(' ', -1).toLongLong();
            const Contact &c = contacts[id];
            ASSERT_FALSE(std::isnan(c.callback)) << "reminded without a call-back: " << id;
            EXPECT_TRUE(std::isnan(c.lastCall) || c.lastCall < c.callback) << "called: " << id;
            EXPECT_LE(c.callback - settings.leadMinutes * kMinute, now + 1e-9) << "early: " << id;
            EXPECT_GT(c.callback, started) << id;
            EXPECT_TRUE(settings.on);
            EXPECT_TRUE(shown.insert({id, c.callback}).second) << "twice: " << id;
        }
        // None missed: due since the last check, on its day, while on and
        // with the same lead throughout, after the start and not called.
        if (settings.on && wasOn && settings.leadMinutes == lastLead) {
            for (const auto &[id, c] : contacts) {
                if (std::isnan(c.callback) || !(std::isnan(c.lastCall) || c.lastCall < c.callback))
                    continue;
                const double due = c.callback - settings.leadMinutes * kMinute;
                if (due <= now && due > lastCheck && c.callback >= DateTimeValue::DayOf(now) &&
                    c.callback > started)
                    EXPECT_EQ(shown.count({id, c.callback}), 1u) << "missed: " << id;
            }
        }
        lastCheck = now;
        wasOn = settings.on;
        lastLead = settings.leadMinutes;
    }
    EXPECT_GT(shown.size(), 10u) << "too few reminders for the test to mean much";
}

TEST_F(CallbackRemindersTest, NamesTheContactAndWaitsForTheNextCallBack) {
    now = DateTimeValue::FromDate(QDate(2026, 6, 1)) + 9.0 / 24;
    Store(1, {now + 30 * kMinute, NAN});
    db.Exec("UPDATE Contacts SET CompanyName = 'Acme <Tools> & Co', Mobile = '0170 1' "
            "WHERE ContactID = 1");
    EXPECT_EQ(reminders->Start(), 0);
    // The timer is set for the call-back, not a minute blindly.
    EXPECT_GT(reminders->NextCheckIn(), 0);
    EXPECT_LE(reminders->NextCheckIn(), 60 * 1000);
    now += 29 * kMinute;
    EXPECT_EQ(reminders->Check(), 0);
    EXPECT_LE(reminders->NextCheckIn(), 60 * 1000 + 100);
    EXPECT_GE(reminders->NextCheckIn(), 250);
    now += 1 * kMinute + 1.0 / 86400;
    EXPECT_EQ(reminders->Check(), 1);
    ASSERT_EQ(Received(1), QStringList{"Call back Acme <Tools> & Co"});
    const QJsonObject record = recorder->Notifications().first();
    const QString body = record.value("body").toString();
    EXPECT_TRUE(body.startsWith("Person 1\nPhone: 555-1\nMobile: 0170 1\nAt "))
        << body.toStdString();
    EXPECT_TRUE(body.contains("9:30")) << body.toStdString();
    // Activating it names the contact.
    QSignalSpy activated(reminders.get(), &CallbackReminders::Activated);
    ASSERT_TRUE(recorder->Invoke(quint32(record.value("id").toInt()), "default"));
    ASSERT_TRUE(NotifierTest::WaitForCount(activated, 1));
    EXPECT_EQ(activated.first().first().toLongLong(), 1);
    // No database: the check does nothing and fails nothing.
    connection.Close();
    now += 60 * kMinute;
    EXPECT_EQ(reminders->Check(), 0);
    EXPECT_GE(reminders->NextCheckIn(), 0);
}

} // namespace
