// The notifier with the notification service served by this very thread, as
// a desktop whose service shares the program's event loop would have it: a
// notifier that waited for a reply would wait for itself.

#include "NotifierTestSupport.h"
#include "reminders/DesktopNotifier.h"
#include "support/PrivateSessionBus.h"
#include "support/RecordingNotificationService.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace NotifierTest;

class SameThreadService : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(bus_.Address().isEmpty()) << bus_.Failure().toStdString();
        ASSERT_TRUE(dir_.isValid());
        service_ = std::make_unique<RecordingNotificationService>(
            bus_.Connect(), dir_.filePath(QStringLiteral("record.jsonl")));
        ASSERT_TRUE(service_->Register()) << service_->Failure().toStdString();
        connection_ = bus_.Connect();
        ASSERT_TRUE(connection_.isConnected());
    }

    PrivateSessionBus bus_;
    QTemporaryDir dir_;
    std::unique_ptr<RecordingNotificationService> service_;
    QDBusConnection connection_ = QDBusConnection(QString());
};

TEST_F(SameThreadService, ShowReturnsBeforeTheServiceHasAnswered) {
    DesktopNotifier notifier(connection_);
    QSignalSpy shown(&notifier, &DesktopNotifier::Shown);
    QElapsedTimer timer;
    timer.start();
    notifier.Show("Call back", "Ann", 11);
    const qint64 took = timer.elapsed();
    // A call waiting for the reply would have waited out the bus's timeout
    // of 25 seconds: the service can answer only once this thread returns
    // to its event loop.
    EXPECT_LT(took, 5000) << "Show waited for the service";
    EXPECT_EQ(shown.count(), 0);
    ASSERT_TRUE(WaitForCount(shown, 1));
    EXPECT_EQ(shown.at(0).at(1).toLongLong(), 11);
}

TEST_F(SameThreadService, AnActivationThatComesBeforeTheReplyIsNotLost) {
    // The service sends each ActionInvoked before the Notify reply with the
    // notification's id.
    service_->InvokeBeforeReply(QStringLiteral("Load"));
    DesktopNotifier notifier(connection_);
    QSignalSpy shown(&notifier, &DesktopNotifier::Shown);
    QSignalSpy activated(&notifier, &DesktopNotifier::Activated);
    notifier.Show("Ann", "", 21);
    notifier.Show("Bob", "", 22);
    ASSERT_TRUE(WaitForCount(shown, 2));
    ASSERT_TRUE(WaitForCount(activated, 2));
    EXPECT_EQ(Cookies(activated), (QList<qint64>{21, 22}));
}

} // namespace
