#include "reports/TQRProgressForm.h"
#include "reports/TQRPrinter.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

TEST(TQRPrinterProgress, IsRecordedAtOnceAndAnnouncedOnlyThroughTheEventLoop) {
    TQRPrinter producer;
    QSignalSpy spy(&producer, &TQRPrinter::ProgressChanged);
    producer.SetProgress(40);
    producer.SetProgress(100);
    EXPECT_EQ(producer.Progress(), 100);
    EXPECT_EQ(spy.count(), 0);
    QCoreApplication::processEvents();
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 40);
    EXPECT_EQ(spy.at(1).at(0).toInt(), 100);
}

TEST(TQRPrinterProgress, AnAnnouncementPendingWhenTheProducerGoesIsDropped) {
    auto *producer = new TQRPrinter;
    TQRProgressForm form(producer);
    producer->SetProgress(40);
    delete producer;
    QCoreApplication::processEvents();
    EXPECT_EQ(form.Info()->text(), QString());
    EXPECT_EQ(form.Producer(), nullptr);
}

TEST(TQRPrinterInstalled, FollowsTheHookWhileOneIsSet) {
    TQRPrinter::SetPrinterInstalledHook([] { return false; });
    EXPECT_FALSE(TQRPrinter::PrinterInstalled());
    TQRPrinter::SetPrinterInstalledHook([] { return true; });
    EXPECT_TRUE(TQRPrinter::PrinterInstalled());
    TQRPrinter::SetPrinterInstalledHook(nullptr);
}

TEST(TQRProgressForm, IsASmallFixedWindowAboveTheOthers) {
    TQRPrinter producer;
    TQRProgressForm form(&producer);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Printing progress"));
    EXPECT_EQ(form.size(), QSize(149, 97));
    EXPECT_EQ(form.minimumSize(), QSize(149, 97));
    EXPECT_EQ(form.maximumSize(), QSize(149, 97));
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(form.isModal());
    EXPECT_EQ(form.Producer(), &producer);

    EXPECT_EQ(form.Gauge()->objectName(), QStringLiteral("Gauge"));
    EXPECT_EQ(form.Gauge()->geometry(), QRect(16, 18, 114, 16));
    EXPECT_EQ(form.Gauge()->minimum(), 0);
    EXPECT_EQ(form.Gauge()->maximum(), 100);
    EXPECT_EQ(form.Info()->objectName(), QStringLiteral("Info"));
    EXPECT_EQ(form.Info()->pos(), QPoint(0, 44));
    EXPECT_EQ(form.Info()->width(), 145);
    EXPECT_EQ(form.Info()->alignment(), Qt::AlignCenter);
    EXPECT_EQ(form.Info()->text(), QString());
    EXPECT_EQ(form.CancelButton()->objectName(), QStringLiteral("CancelButton"));
    EXPECT_EQ(form.CancelButton()->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(form.CancelButton()->geometry(), QRect(36, 60, 75, 25));

    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_FALSE(form.isModal());
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((form.geometry().center() - screenCentre).manhattanLength(), 40);
}

TEST(TQRProgressForm, ShowsMultiplesOfFiveAndIgnoresOtherValues) {
    TQRPrinter producer;
    TQRProgressForm form(&producer);
    producer.SetProgress(40);
    EXPECT_EQ(form.Info()->text(), QString()); // not before the event loop runs
    QCoreApplication::processEvents();
    EXPECT_EQ(form.Info()->text(), QStringLiteral("40%  Completed"));
    EXPECT_EQ(form.Gauge()->value(), 40);

    producer.SetProgress(42);
    QCoreApplication::processEvents();
    EXPECT_EQ(form.Info()->text(), QStringLiteral("40%  Completed"));
    EXPECT_EQ(form.Gauge()->value(), 40);

    producer.SetProgress(0);
    QCoreApplication::processEvents();
    EXPECT_EQ(form.Info()->text(), QStringLiteral("0%  Completed"));
    EXPECT_EQ(form.Gauge()->value(), 0);

    producer.SetProgress(100);
    QCoreApplication::processEvents();
    EXPECT_EQ(form.Info()->text(), QStringLiteral("100%  Completed"));
    EXPECT_EQ(form.Gauge()->value(), 100);
}

TEST(TQRProgressForm, AnAnnouncementLetsPendingEventsRun) {
    TQRPrinter producer;
    TQRProgressForm form(&producer);
    bool ran = false;
    // Queued before the announcement is shown, so it runs only if the form
    // lets pending events run while it shows the value.
    QMetaObject::invokeMethod(
        &form, [&] { ran = true; }, Qt::QueuedConnection);
    form.ProgressUpdate(45);
    EXPECT_TRUE(ran);
    EXPECT_EQ(form.Info()->text(), QStringLiteral("45%  Completed"));

    ran = false;
    QMetaObject::invokeMethod(
        &form, [&] { ran = true; }, Qt::QueuedConnection);
    form.ProgressUpdate(47);
    EXPECT_FALSE(ran); // an ignored value does nothing at all
    QCoreApplication::processEvents();
}

TEST(TQRProgressForm, CancelSetsTheProducersCancelledFlag) {
    TQRPrinter producer;
    TQRProgressForm form(&producer);
    form.show();
    EXPECT_FALSE(producer.Cancelled());
    QTest::mouseClick(form.CancelButton(), Qt::LeftButton);
    EXPECT_TRUE(producer.Cancelled());
    EXPECT_EQ(producer.Status(), mpReady); // the report stops the run itself
}

TEST(TQRProgressForm, CancelAfterTheProducerIsGoneDoesNothing) {
    auto *producer = new TQRPrinter;
    TQRProgressForm form(producer);
    delete producer;
    QTest::mouseClick(form.CancelButton(), Qt::LeftButton);
    EXPECT_EQ(form.Producer(), nullptr);
}
