// The notifier against the recording notification service, run as a process
// of its own on a private session bus: what each notification carries, which
// cookie an activation brings back, and what CloseAll withdraws.

#include "reminders/DesktopNotifier.h"
#include "NotifierTestSupport.h"
#include "support/NotificationRecorder.h"
#include "support/PrivateSessionBus.h"

#include <QDBusConnection>
#include <QJsonArray>
#include <QSet>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

namespace {

using namespace NotifierTest;

class DesktopNotifierTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(bus_.Address().isEmpty()) << bus_.Failure().toStdString();
        StartRecorder();
        connection_ = bus_.Connect();
        ASSERT_TRUE(connection_.isConnected());
    }

    void StartRecorder() {
        recorder_.emplace(bus_.Address());
        ASSERT_TRUE(recorder_->Ready()) << recorder_->Failure().toStdString();
    }

    // The ids of the CloseNotification calls the notifier made, in order.
    QList<quint32> ClosedByNotifier() const {
        QList<quint32> ids;
        for (const QJsonObject &close : recorder_->Closes())
            if (close.value("sender").toString() == connection_.baseService())
                ids.append(close.value("id").toInt());
        return ids;
    }

    PrivateSessionBus bus_;
    std::optional<NotificationRecorder> recorder_;
    QDBusConnection connection_ = QDBusConnection(QString());
};

TEST_F(DesktopNotifierTest, ShowSendsTheProgramsNotificationWithTheBodyEscaped) {
    DesktopNotifier notifier(connection_);
    QSignalSpy shown(&notifier, &DesktopNotifier::Shown);
    notifier.Show("Call back Smith & Sons <Leeds>", "Re: <b>offer</b> & \"terms\" > 5 'now'", 42);
    ASSERT_TRUE(WaitForCount(shown, 1));

    const QList<QJsonObject> notes = recorder_->Notifications();
    ASSERT_EQ(notes.size(), 1);
    const QJsonObject &note = notes.at(0);
    EXPECT_EQ(note.value("sender").toString(), connection_.baseService());
    EXPECT_EQ(note.value("app_name").toString(), "Corvana");
    EXPECT_EQ(note.value("app_icon").toString(), "corvana");
    EXPECT_EQ(note.value("replaces_id").toInt(-1), 0);
    EXPECT_EQ(note.value("expire_timeout").toInt(0), -1);
    // The summary is plain text and goes as it is; the body may be read as
    // markup, so only what starts a tag or an entity is escaped.
    EXPECT_EQ(note.value("summary").toString(), "Call back Smith & Sons <Leeds>");
    EXPECT_EQ(note.value("body").toString(),
              "Re: &lt;b&gt;offer&lt;/b&gt; &amp; \"terms\" &gt; 5 'now'");
    EXPECT_EQ(Json(note.value("actions")), Json(QJsonArray{"default", "Load"}));
    EXPECT_EQ(Json(note.value("hints")), Json(QJsonObject{{"desktop-entry", "corvana"},
                                                          {"category", "x-corvana.callback"},
                                                          {"urgency", "1"}}));
    // The urgency must be a byte: services ignore or refuse other types.
    EXPECT_EQ(Json(note.value("hint_types")),
              Json(QJsonObject{{"desktop-entry", "s"}, {"category", "s"}, {"urgency", "y"}}));

    ASSERT_EQ(shown.count(), 1);
    EXPECT_EQ(shown.at(0).at(0).toUInt(), quint32(note.value("id").toInt()));
    EXPECT_EQ(shown.at(0).at(1).toLongLong(), 42);
}

TEST_F(DesktopNotifierTest, EachActivationCarriesTheCookieOfItsOwnNotification) {
    DesktopNotifier notifier(connection_);
    QSignalSpy shown(&notifier, &DesktopNotifier::Shown);
    QSignalSpy activated(&notifier, &DesktopNotifier::Activated);
    // A cookie beyond 32 bits, and a negative one, must come back whole.
    const qint64 big = (qint64(1) << 40) + 7;
    notifier.Show("Ann", "first", 7);
    notifier.Show("Bob", "second", big);
    notifier.Show("Cy", "third", -3);
    ASSERT_TRUE(WaitForCount(shown, 3));
    const QHash<qint64, quint32> ids = IdsByCookie(shown);
    ASSERT_EQ(ids.size(), 3);
    ASSERT_EQ(QSet<quint32>(ids.begin(), ids.end()).size(), 3) << "ids repeat";

    // A click on the notification is "default"; its button is "Load".
    ASSERT_TRUE(recorder_->Invoke(ids.value(big), "Load"));
    ASSERT_TRUE(recorder_->Invoke(ids.value(7), "default"));
    ASSERT_TRUE(recorder_->Invoke(ids.value(-3), "Load"));
    ASSERT_TRUE(recorder_->Invoke(ids.value(big), "default"));
    ASSERT_TRUE(WaitForCount(activated, 4));
    EXPECT_EQ(Cookies(activated), (QList<qint64>{big, 7, -3, big}));
}

TEST_F(DesktopNotifierTest, AnUnknownIdAClosedNotificationOrAnotherActionActivatesNothing) {
    DesktopNotifier notifier(connection_);
    QSignalSpy shown(&notifier, &DesktopNotifier::Shown);
    QSignalSpy activated(&notifier, &DesktopNotifier::Activated);
    notifier.Show("closed", "", 5);
    notifier.Show("still up", "", 6);
    ASSERT_TRUE(WaitForCount(shown, 2));
    const QHash<qint64, quint32> ids = IdsByCookie(shown);

    ASSERT_TRUE(recorder_->Close(ids.value(5)));
    ASSERT_TRUE(recorder_->Invoke(ids.value(5), "default"));
    ASSERT_TRUE(recorder_->Invoke(ids.value(6) + 100, "default"));
    ASSERT_TRUE(recorder_->Invoke(ids.value(6), "dismiss"));
    // The service's signals come in order, so once this one is in, every
    // one before it has been handled.
    ASSERT_TRUE(recorder_->Invoke(ids.value(6), "Load"));
    ASSERT_TRUE(WaitForCookie(activated, 6));
    EXPECT_EQ(Cookies(activated), QList<qint64>{6});
}

TEST_F(DesktopNotifierTest, CloseAllWithdrawsEachNotificationStillUpOnceIncludingOneOnItsWay) {
    DesktopNotifier notifier(connection_);
    QSignalSpy shown(&notifier, &DesktopNotifier::Shown);
    QSignalSpy activated(&notifier, &DesktopNotifier::Activated);
    notifier.Show("one", "", 1);
    notifier.Show("two", "", 2);
    notifier.Show("three", "", 3);
    ASSERT_TRUE(WaitForCount(shown, 3));
    QHash<qint64, quint32> ids = IdsByCookie(shown);
    // Closed by the user meanwhile: nothing to withdraw there.
    ASSERT_TRUE(recorder_->Close(ids.value(2)));
    ASSERT_TRUE(recorder_->Invoke(ids.value(1), "default"));
    ASSERT_TRUE(WaitForCookie(activated, 1));

    // The fourth's reply can only come after CloseAll.
    notifier.Show("four", "", 4);
    notifier.CloseAll();
    notifier.CloseAll();
    ASSERT_TRUE(WaitForCount(shown, 4));
    ids = IdsByCookie(shown);
    // Calls from one connection are served in order: once this one is
    // shown, every close sent before it is recorded.
    notifier.Show("after", "", 5);
    ASSERT_TRUE(WaitForCount(shown, 5));

    QList<quint32> closed = ClosedByNotifier();
    std::sort(closed.begin(), closed.end());
    QList<quint32> expected{ids.value(1), ids.value(3), ids.value(4)};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(closed, expected);
}

TEST_F(DesktopNotifierTest, ANewServiceNumbersAfreshAndTheOldIdsActivateNothing) {
    DesktopNotifier notifier(connection_);
    QSignalSpy shown(&notifier, &DesktopNotifier::Shown);
    QSignalSpy activated(&notifier, &DesktopNotifier::Activated);
    notifier.Show("one", "", 1);
    notifier.Show("two", "", 2);
    ASSERT_TRUE(WaitForCount(shown, 2));
    const QHash<qint64, quint32> oldIds = IdsByCookie(shown);

    recorder_->Stop();
    recorder_.reset();
    StartRecorder();
    notifier.Show("three", "", 3);
    ASSERT_TRUE(WaitForCount(shown, 3));
    const quint32 newId = IdsByCookie(shown).value(3);
    // The new service's first id is one the old service gave out too.
    ASSERT_TRUE(oldIds.values().contains(newId));

    const quint32 otherOldId = oldIds.value(1) == newId ? oldIds.value(2) : oldIds.value(1);
    ASSERT_TRUE(recorder_->Invoke(otherOldId, "default"));
    ASSERT_TRUE(recorder_->Invoke(newId, "default"));
    ASSERT_TRUE(WaitForCookie(activated, 3));
    EXPECT_EQ(Cookies(activated), QList<qint64>{3});
}

} // namespace
