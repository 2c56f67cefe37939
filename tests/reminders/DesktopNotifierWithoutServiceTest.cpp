// The notifier where no notification service answers yet or no bus can be
// reached, and the default notifier on the process's session bus.

#include "NotifierTestSupport.h"
#include "reminders/DesktopNotifier.h"
#include "support/NotificationRecorder.h"
#include "support/PrivateSessionBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

using namespace NotifierTest;

TEST(DesktopNotifierWithoutService, NothingIsShownUntilAServiceStartsAndThenItWorks) {
    PrivateSessionBus bus;
    ASSERT_FALSE(bus.Address().isEmpty()) << bus.Failure().toStdString();
    QDBusConnection connection = bus.Connect();
    DesktopNotifier notifier(connection);
    QSignalSpy shown(&notifier, &DesktopNotifier::Shown);
    QSignalSpy activated(&notifier, &DesktopNotifier::Activated);

    EXPECT_NO_THROW(notifier.Show("nobody", "listens", 1));
    EXPECT_NO_THROW(notifier.CloseAll());
    // The bus serves one connection's calls in order: once it answers this,
    // it has answered the Notify before it, with "no such service".
    ASSERT_TRUE(connection.interface()->isServiceRegistered("org.freedesktop.DBus"));

    NotificationRecorder recorder(bus.Address());
    ASSERT_TRUE(recorder.Ready()) << recorder.Failure().toStdString();
    notifier.Show("now", "someone listens", 2);
    ASSERT_TRUE(WaitForCount(shown, 1));
    ASSERT_TRUE(recorder.Invoke(shown.at(0).at(0).toUInt(), "default"));
    ASSERT_TRUE(WaitForCookie(activated, 2));

    EXPECT_EQ(shown.count(), 1);
    EXPECT_EQ(shown.at(0).at(1).toLongLong(), 2);
    EXPECT_EQ(Cookies(activated), QList<qint64>{2});
    const QList<QJsonObject> notes = recorder.Notifications();
    ASSERT_EQ(notes.size(), 1) << "the first notification was kept and sent later";
    EXPECT_EQ(notes.at(0).value("summary").toString(), "now");
}

TEST(DesktopNotifierWithoutService, ABusThatCannotBeReachedShowsNothingAndFailsNothing) {
    const QString name = QStringLiteral("corvana-no-bus");
    {
        QDBusConnection nowhere = QDBusConnection::connectToBus(
            QStringLiteral("unix:path=/nonexistent/corvana/bus"), name);
        ASSERT_FALSE(nowhere.isConnected());
        DesktopNotifier notifier(nowhere);
        QSignalSpy shown(&notifier, &DesktopNotifier::Shown);
        QSignalSpy activated(&notifier, &DesktopNotifier::Activated);
        EXPECT_NO_THROW(notifier.Show("Call back", "Ann", 1));
        EXPECT_NO_THROW(notifier.CloseAll());
        QCoreApplication::processEvents();
        EXPECT_EQ(shown.count(), 0);
        EXPECT_EQ(activated.count(), 0);
    }
    QDBusConnection::disconnectFromBus(name);
}

// Shows one notification through a default notifier with the session bus
// set to a private one; 0 when the service on that bus took it from this
// process's session bus connection, else 1 with the reason on stderr.
int ShowThroughTheSessionBus() {
    PrivateSessionBus bus;
    if (bus.Address().isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(bus.Failure()));
        return 1;
    }
    NotificationRecorder recorder(bus.Address());
    if (!recorder.Ready()) {
        std::fprintf(stderr, "%s\n", qPrintable(recorder.Failure()));
        return 1;
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.Address().toUtf8());
    DesktopNotifier notifier;
    QSignalSpy shown(&notifier, &DesktopNotifier::Shown);
    notifier.Show("Call back", "Ann", 8);
    if (!WaitForCount(shown, 1)) {
        std::fprintf(stderr, "nothing was shown\n");
        return 1;
    }
    const QList<QJsonObject> notes = recorder.Notifications();
    if (notes.size() != 1 ||
        notes.at(0).value("sender").toString() != QDBusConnection::sessionBus().baseService()) {
        std::fprintf(stderr, "not sent through the session bus\n");
        return 1;
    }
    return 0;
}

TEST(DesktopNotifierWithoutService, TheDefaultNotifierTalksToTheSessionBusOfTheEnvironment) {
    // A process opens its session bus once, on first use, from
    // DBUS_SESSION_BUS_ADDRESS: the check runs in a fresh process of this
    // program, so the bus it sets is the one opened.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::_Exit(ShowThroughTheSessionBus()), ::testing::ExitedWithCode(0), "");
}

} // namespace
