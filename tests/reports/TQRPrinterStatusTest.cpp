#include "RecordingPageDevice.h"
#include "data/DatabaseErrors.h"
#include "reports/TQRPrinter.h"

#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString ErrorOf(const std::function<void()> &call) {
    try {
        call();
    } catch (const EQRError &error) {
        EXPECT_EQ(error.Message(), QString::fromUtf8(error.what()));
        return error.Message();
    }
    return QString();
}

} // namespace

TEST(TQRPrinterStatus, FollowsBeginEndAndRefusesCallsOutOfSequence) {
    RecordingPageDevice device;
    TQRPrinter producer;
    producer.SetOutputDevice(&device);
    EXPECT_EQ(producer.Status(), mpReady);
    EXPECT_EQ(ErrorOf([&] { producer.NewPage(); }), "Illegal call to NewPage");
    EXPECT_EQ(producer.Status(), mpReady);

    producer.BeginDoc();
    EXPECT_EQ(producer.Status(), mpBusy);
    EXPECT_EQ(ErrorOf([&] { producer.BeginDoc(); }), "QRPrinter not ready");
    EXPECT_EQ(producer.Status(), mpBusy);
    producer.NewPage();
    EXPECT_EQ(producer.PageCount(), 1);

    producer.EndDoc();
    EXPECT_EQ(producer.Status(), mpFinished);
    EXPECT_EQ(ErrorOf([&] { producer.NewPage(); }), "Illegal call to NewPage");
    EXPECT_EQ(ErrorOf([&] { producer.BeginDoc(); }), "QRPrinter not ready");
    EXPECT_EQ(producer.PageCount(), 1);
    EXPECT_EQ(device.Engine().Pages().size(), 1);
}

TEST(TQRPrinterStatus, AbortFinishesAndRefusesFurtherPages) {
    RecordingPageDevice device;
    TQRPrinter producer;
    producer.SetOutputDevice(&device);
    producer.BeginDoc();
    producer.NewPage();
    producer.Abort();
    EXPECT_EQ(producer.Status(), mpFinished);
    EXPECT_EQ(producer.Canvas(), nullptr);
    EXPECT_EQ(device.Engine().EndCount(), 1);
    EXPECT_EQ(ErrorOf([&] { producer.NewPage(); }), "Illegal call to NewPage");
}

TEST(TQRPrinterStatus, EndAndAbortOutsideARunChangeNothing) {
    RecordingPageDevice device;
    TQRPrinter producer;
    producer.SetOutputDevice(&device);
    producer.EndDoc();
    producer.Abort();
    EXPECT_EQ(producer.Status(), mpReady);
    EXPECT_EQ(device.Engine().BeginCount(), 0);
    // The run that then follows is an ordinary one.
    producer.BeginDoc();
    producer.NewPage();
    producer.EndDoc();
    EXPECT_EQ(device.Engine().BeginCount(), 1);
    EXPECT_EQ(device.Engine().EndCount(), 1);
}

TEST(TQRPrinterStatus, ARunWithoutPagesStartsNoJobAndWritesNothing) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath("empty.pdf");
    QPdfWriter writer(path);
    TQRPrinter producer;
    producer.SetOutputDevice(&writer);
    producer.BeginDoc();
    EXPECT_EQ(producer.Canvas(), nullptr);
    producer.EndDoc();
    EXPECT_EQ(producer.Status(), mpFinished);
    EXPECT_EQ(producer.PageCount(), 0);
    EXPECT_FALSE(QFile::exists(path));

    RecordingPageDevice device;
    TQRPrinter recorded;
    recorded.SetOutputDevice(&device);
    recorded.BeginDoc();
    recorded.EndDoc();
    EXPECT_EQ(device.Engine().BeginCount(), 0);
}

TEST(TQRPrinterStatus, AnAbortedPdfPrinterJobLeavesNoFile) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath("aborted.pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    TQRPrinter producer;
    producer.SetOutputDevice(&printer);
    producer.BeginDoc();
    producer.NewPage();
    producer.Canvas()->drawText(100, 100, QStringLiteral("never printed"));
    producer.NewPage();
    producer.Abort();
    EXPECT_EQ(producer.Status(), mpFinished);
    EXPECT_FALSE(QFile::exists(path));

    // The same printer still prints a run that ends normally.
    TQRPrinter next;
    next.SetOutputDevice(&printer);
    next.BeginDoc();
    next.NewPage();
    next.EndDoc();
    EXPECT_TRUE(QFile::exists(path));
}

TEST(TQRPrinterStatus, AProducerFreedInARunEndsItsJob) {
    RecordingPageDevice device;
    {
        TQRPrinter producer;
        producer.SetOutputDevice(&device);
        producer.BeginDoc();
        producer.NewPage();
    }
    EXPECT_EQ(device.Engine().BeginCount(), 1);
    EXPECT_EQ(device.Engine().EndCount(), 1);
}

TEST(TQRPrinterStatus, TheOutputCannotChangeDuringARun) {
    RecordingPageDevice first;
    RecordingPageDevice second;
    TQRPrinter producer;
    producer.SetOutputDevice(&first);
    producer.BeginDoc();
    EXPECT_FALSE(ErrorOf([&] { producer.SetOutputDevice(&second); }).isEmpty());
    producer.NewPage();
    producer.EndDoc();
    EXPECT_EQ(first.Engine().Pages().size(), 1);
    EXPECT_EQ(second.Engine().BeginCount(), 0);
}

TEST(TQRPrinterStatus, AJobThatCannotStartIsAnErrorNotAnEmptyPrintout) {
    RecordingPageDevice device;
    device.Engine().SetFailBegin(true);
    TQRPrinter producer;
    producer.SetOutputDevice(&device);
    producer.BeginDoc();
    EXPECT_THROW(producer.NewPage(), EError);
    EXPECT_EQ(producer.PageCount(), 0);
    EXPECT_EQ(producer.Canvas(), nullptr);
    // The run's final end still finishes the producer.
    producer.EndDoc();
    EXPECT_EQ(producer.Status(), mpFinished);
}

TEST(TQRPrinterStatus, APageThePrinterRefusesIsAnError) {
    RecordingPageDevice device;
    device.SetFailNewPage(true);
    TQRPrinter producer;
    producer.SetOutputDevice(&device);
    producer.BeginDoc();
    producer.NewPage();
    EXPECT_THROW(producer.NewPage(), EError);
    EXPECT_EQ(producer.PageCount(), 1);
    producer.Abort();
    EXPECT_EQ(producer.Status(), mpFinished);
    EXPECT_EQ(device.Engine().EndCount(), 1);
}
