// The report's Preview and its window, driven by timers while Preview waits:
// the first page, paging keys, printer setup, save and load, closing during
// a run, and two previews at once.
#include "reports/TQRStandardPreview.h"
#include "PreviewDriver.h"
#include "RecordingPageDevice.h"
#include "ReportTestSupport.h"
#include "ReportWithRows.h"
#include "reports/TQRBand.h"
#include "reports/TQRDBText.h"
#include "reports/TQRPreview.h"
#include "reports/TQRPreviewImage.h"
#include "reports/TQRReport.h"
#include "support/MemoryRowSource.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

using namespace ReportTest;

namespace {

bool Ready(TQRStandardPreview *preview) {
    return preview->Item(QStringLiteral("Print"))->isEnabled();
}

class StandardPreview : public ::testing::Test {
protected:
    void SetUp() override { MapReportFonts(); }
    void TearDown() override {
        TQRStandardPreview::SaveDialog = savedSave;
        TQRStandardPreview::OpenDialog = savedOpen;
        TQRStandardPreview::Message = savedMessage;
        TQRReport::PrintDialogExec = savedExec;
    }

    TQRStandardPreview::SaveFileDialog savedSave = TQRStandardPreview::SaveDialog;
    TQRStandardPreview::FileDialog savedOpen = TQRStandardPreview::OpenDialog;
    TQRStandardPreview::MessageBox savedMessage = TQRStandardPreview::Message;
    std::function<int(QPrintDialog &)> savedExec = TQRReport::PrintDialogExec;
};

TEST_F(StandardPreview, AOnePageReportShowsPageOneOfOneAndPagingStaysThere) {
    ReportWithRows data(1);
    QStringList pagesSeen;
    QString progress = QStringLiteral("unset");
    bool wasMaximised = false;
    QString caption;
    int zoom = 0;
    int expectedZoom = -1;
    bool hasPicture = false;
    PreviewDriver driver([&](const QList<TQRStandardPreview *> &previews) {
        if (previews.size() != 1 || !Ready(previews[0]))
            return false;
        TQRStandardPreview *preview = previews[0];
        wasMaximised = preview->isMaximized();
        caption = preview->windowTitle();
        zoom = preview->QRPreview()->Zoom();
        expectedZoom = TQRPrinter::RoundEven(preview->QRPreview()->width() / 794.0 * 90);
        hasPicture = preview->QRPreview()->PreviewImage()->Picture() != nullptr;
        pagesSeen << preview->StatusPanel(1)->text();
        for (int key : {Qt::Key_PageDown, Qt::Key_PageUp, Qt::Key_Home, Qt::Key_End}) {
            QTest::keyClick(preview->QRPreview(), Qt::Key(key));
            pagesSeen << preview->StatusPanel(1)->text();
        }
        QTest::keyClick(preview->QRPreview(), Qt::Key_PageDown, Qt::ControlModifier);
        pagesSeen << preview->StatusPanel(1)->text();
        progress = preview->StatusPanel(0)->text();
        // Escape closes the window, which ends Preview.
        QTest::keyClick(preview->QRPreview(), Qt::Key_Escape);
        return true;
    });
    data.report.Preview();

    ASSERT_TRUE(driver.Done());
    EXPECT_TRUE(wasMaximised);
    EXPECT_EQ(caption, "Print Preview");
    EXPECT_TRUE(hasPicture);
    EXPECT_EQ(zoom, expectedZoom);
    EXPECT_EQ(pagesSeen, QStringList(6, QStringLiteral("Page 1 of 1")));
    EXPECT_EQ(progress, "");
    EXPECT_TRUE(OpenPreviews().isEmpty());
    EXPECT_FALSE(data.report.Busy());
    EXPECT_EQ(data.report.QRPrinter(), nullptr);
}

TEST_F(StandardPreview, PagingKeysMoveThroughThreePages) {
    ReportWithRows data(12);
    data.report.SetReportTitle(QStringLiteral("Rows"));
    QStringList pagesSeen;
    QString caption;
    PreviewDriver driver([&](const QList<TQRStandardPreview *> &previews) {
        if (previews.size() != 1 || !Ready(previews[0]))
            return false;
        TQRStandardPreview *preview = previews[0];
        caption = preview->windowTitle();
        QWidget *view = preview->QRPreview();
        const auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers) {
            QTest::keyClick(view, key, modifiers);
            pagesSeen << preview->StatusPanel(1)->text();
        };
        press(Qt::Key_PageDown, Qt::NoModifier);
        press(Qt::Key_PageDown, Qt::NoModifier);
        press(Qt::Key_PageDown, Qt::NoModifier);
        press(Qt::Key_PageUp, Qt::ControlModifier);
        press(Qt::Key_PageDown, Qt::ControlModifier);
        press(Qt::Key_PageUp, Qt::ShiftModifier | Qt::ControlModifier);
        press(Qt::Key_Home, Qt::NoModifier);
        press(Qt::Key_End, Qt::NoModifier);
        press(Qt::Key_A, Qt::NoModifier);
        preview->ExitClick();
        return true;
    });
    data.report.Preview();

    ASSERT_TRUE(driver.Done());
    EXPECT_EQ(caption, "Rows");
    EXPECT_EQ(pagesSeen, QStringList({"Page 2 of 3", "Page 3 of 3", "Page 3 of 3", "Page 1 of 3",
                                      "Page 3 of 3", "Page 2 of 3", "Page 1 of 3", "Page 3 of 3",
                                      "Page 3 of 3"}));
}

TEST_F(StandardPreview, PrinterSetupKeepsTheChosenCopiesOrientationAndPages) {
    ReportWithRows data(12);
    int minPage = -1;
    int maxPage = -1;
    TQRReport::PrintDialogExec = [&](QPrintDialog &dialog) {
        minPage = dialog.minPage();
        maxPage = dialog.maxPage();
        dialog.printer()->setCopyCount(3);
        dialog.printer()->setPageOrientation(QPageLayout::Landscape);
        dialog.setPrintRange(QAbstractPrintDialog::PageRange);
        dialog.printer()->setFromTo(2, 3);
        return int(QDialog::Accepted);
    };
    bool setupWasEnabled = false;
    PreviewDriver driver([&](const QList<TQRStandardPreview *> &previews) {
        if (previews.size() != 1 || !Ready(previews[0]))
            return false;
        setupWasEnabled = previews[0]->Item(QStringLiteral("PrintSetup"))->isEnabled();
        previews[0]->Item(QStringLiteral("PrintSetup"))->trigger();
        previews[0]->close();
        return true;
    });
    data.report.Preview();

    ASSERT_TRUE(driver.Done());
    EXPECT_TRUE(setupWasEnabled);
    EXPECT_EQ(minPage, 1);
    EXPECT_EQ(maxPage, 3);
    EXPECT_EQ(data.report.PrinterSettings().copies, 3);
    EXPECT_EQ(data.report.PrinterSettings().firstPage, 2);
    EXPECT_EQ(data.report.PrinterSettings().lastPage, 3);
    EXPECT_EQ(data.report.Page().Orientation(), poLandscape);
}

TEST_F(StandardPreview, SaveThenLoadDisablesPrinterSetupAndEnablesPrint) {
    ReportWithRows data(1);
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString fileName = folder.filePath(QStringLiteral("contact.QRP"));
    QString saveCaption, saveFilter, message;
    TQRStandardPreview::SaveDialog = [&](QWidget *, const QString &caption, const QString &filter,
                                         int &) {
        saveCaption = caption;
        saveFilter = filter;
        return folder.filePath(QStringLiteral("contact"));
    };
    QString openWith = folder.filePath(QStringLiteral("missing.qrp"));
    TQRStandardPreview::OpenDialog = [&](QWidget *, const QString &, const QString &) {
        return openWith;
    };
    TQRStandardPreview::Message = [&](QWidget *, const QString &text) { message = text; };

    bool setupAfterLoad = true, printAfterLoad = false, loadedFromFile = false;
    bool missingChangedNothing = false;
    QString pageAfterLoad;
    PreviewDriver driver([&](const QList<TQRStandardPreview *> &previews) {
        if (previews.size() != 1 || !Ready(previews[0]))
            return false;
        TQRStandardPreview *preview = previews[0];
        preview->Item(QStringLiteral("SaveReport"))->trigger();

        preview->Item(QStringLiteral("LoadReport"))->trigger();
        missingChangedNothing = !preview->QRPrinter()->LoadedFromFile() &&
                                preview->Item(QStringLiteral("PrintSetup"))->isEnabled();

        openWith = fileName;
        preview->Item(QStringLiteral("LoadReport"))->trigger();
        setupAfterLoad = preview->Item(QStringLiteral("PrintSetup"))->isEnabled();
        printAfterLoad = preview->Item(QStringLiteral("Print"))->isEnabled();
        loadedFromFile = preview->QRPrinter()->LoadedFromFile();
        pageAfterLoad = preview->StatusPanel(1)->text();
        preview->close();
        return true;
    });
    data.report.Preview();

    ASSERT_TRUE(driver.Done());
    EXPECT_EQ(saveCaption, "Save report");
    // No report form is alive, so no export format is offered.
    EXPECT_EQ(saveFilter, "Folvane file(*.QRP)|*.QRP");
    // The default extension was added to the chosen name.
    EXPECT_TRUE(QFileInfo::exists(fileName));
    EXPECT_EQ(message, "File does not exist");
    EXPECT_TRUE(missingChangedNothing);
    EXPECT_FALSE(setupAfterLoad);
    EXPECT_TRUE(printAfterLoad);
    EXPECT_TRUE(loadedFromFile);
    EXPECT_EQ(pageAfterLoad, "Page 1 of 1");
}

TEST_F(StandardPreview, ClosingWhileProducingCancelsTheRun) {
    // Enough rows that the first page arrives long before the end.
    ReportWithRows data(400);
    bool closedWhileBusy = false;
    PreviewDriver driver([&](const QList<TQRStandardPreview *> &previews) {
        if (previews.size() != 1 || !previews[0]->QRPrinter())
            return false;
        TQRPrinter *producer = previews[0]->QRPrinter();
        if (producer->AvailablePages() < 1)
            return false;
        closedWhileBusy = producer->Status() == mpBusy;
        previews[0]->close();
        return true;
    });
    data.report.Preview();

    ASSERT_TRUE(driver.Done());
    EXPECT_TRUE(closedWhileBusy);
    EXPECT_TRUE(data.report.Cancelled());
    EXPECT_FALSE(data.report.Busy());
    EXPECT_EQ(data.report.QRPrinter(), nullptr);
    QApplication::processEvents();
    EXPECT_TRUE(OpenPreviews().isEmpty());
}

TEST_F(StandardPreview, TwoPreviewsAreOpenAtOnce) {
    ReportWithRows first(1);
    ReportWithRows second(7);
    bool secondStarted = false;
    bool secondReturned = false;
    QStringList pages;
    bool distinctProducers = false;
    PreviewDriver driver([&](const QList<TQRStandardPreview *> &previews) {
        if (!secondStarted) {
            if (previews.size() != 1 || !Ready(previews[0]))
                return false;
            secondStarted = true;
            QTimer::singleShot(0, [&] {
                second.report.Preview();
                secondReturned = true;
            });
            return false;
        }
        if (previews.size() != 2 || !Ready(previews[0]) || !Ready(previews[1]))
            return false;
        for (TQRStandardPreview *preview : previews)
            pages << preview->StatusPanel(1)->text();
        distinctProducers = previews[0]->QRPrinter() != previews[1]->QRPrinter();
        for (TQRStandardPreview *preview : previews)
            preview->close();
        return true;
    });
    first.report.Preview();

    ASSERT_TRUE(driver.Done());
    EXPECT_TRUE(secondReturned);
    EXPECT_TRUE(distinctProducers);
    pages.sort();
    EXPECT_EQ(pages, QStringList({"Page 1 of 1", "Page 1 of 2"}));
    EXPECT_EQ(first.report.QRPrinter(), nullptr);
    EXPECT_EQ(second.report.QRPrinter(), nullptr);
}

} // namespace

namespace {

TEST_F(StandardPreview, ARunWithoutPagesLeavesTheViewEmptyAndThePrintButtonsUsable) {
    ReportWithRows data(0);
    data.report.SetPrintIfEmpty(false);
    QString page;
    bool hasPicture = true, setup = false, print = false;
    PreviewDriver driver([&](const QList<TQRStandardPreview *> &previews) {
        if (previews.size() != 1 || !Ready(previews[0]))
            return false;
        page = previews[0]->StatusPanel(1)->text();
        hasPicture = previews[0]->QRPreview()->PreviewImage()->Picture() != nullptr;
        setup = previews[0]->Item(QStringLiteral("PrintSetup"))->isEnabled();
        print = previews[0]->Item(QStringLiteral("Print"))->isEnabled();
        previews[0]->close();
        return true;
    });
    data.report.Preview();

    ASSERT_TRUE(driver.Done());
    EXPECT_EQ(page, "Page 1 of 0");
    EXPECT_FALSE(hasPicture);
    EXPECT_TRUE(setup);
    EXPECT_TRUE(print);
}

} // namespace

namespace {

TEST_F(StandardPreview, PrintAsksTheReportToPrintAgainFromItsData) {
    PrinterInstalledScope installed(true);
    ReportWithRows data(12);
    RecordingPageDevice device;
    data.report.ProducerSetup = [&](TQRPrinter &producer) { producer.SetOutputDevice(&device); };
    bool printedLater = false;
    bool clicked = false;
    PreviewDriver driver([&](const QList<TQRStandardPreview *> &previews) {
        if (previews.size() != 1 || !Ready(previews[0]))
            return false;
        if (!clicked) {
            clicked = true;
            previews[0]->Item(QStringLiteral("Print"))->trigger();
            // Queued: nothing is printed while the click is handled.
            printedLater = device.Engine().Pages().isEmpty();
            return false;
        }
        if (device.Engine().Pages().size() < 3)
            return false;
        previews[0]->close();
        return true;
    });
    data.report.Preview();

    ASSERT_TRUE(driver.Done());
    EXPECT_TRUE(printedLater);
    EXPECT_EQ(device.Engine().Pages().size(), 3);
}

} // namespace

namespace {

TEST_F(StandardPreview, LoadingWhileProducingStopsTheRunAndKeepsTheWindow) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString fileName = folder.filePath(QStringLiteral("one.qrp"));
    TQRStandardPreview::SaveDialog = [&](QWidget *, const QString &, const QString &, int &) {
        return fileName;
    };
    TQRStandardPreview::OpenDialog = [&](QWidget *, const QString &, const QString &) {
        return fileName;
    };
    {
        ReportWithRows one(1);
        PreviewDriver save([&](const QList<TQRStandardPreview *> &previews) {
            if (previews.size() != 1 || !Ready(previews[0]))
                return false;
            previews[0]->Item(QStringLiteral("SaveReport"))->trigger();
            previews[0]->close();
            return true;
        });
        one.report.Preview();
        ASSERT_TRUE(save.Done());
        ASSERT_TRUE(QFileInfo::exists(fileName));
    }

    ReportWithRows many(400);
    bool loadedWhileBusy = false;
    QString pageAfterLoad;
    bool stillOpen = false;
    bool setupAfterRun = true;
    int step = 0;
    PreviewDriver driver([&](const QList<TQRStandardPreview *> &previews) {
        if (previews.size() != 1 || !previews[0]->QRPrinter())
            return false;
        TQRStandardPreview *preview = previews[0];
        if (step == 0) {
            if (preview->QRPrinter()->AvailablePages() < 1)
                return false;
            loadedWhileBusy = preview->QRPrinter()->Status() == mpBusy;
            preview->Item(QStringLiteral("LoadReport"))->trigger();
            pageAfterLoad = preview->StatusPanel(1)->text();
            step = 1;
            return false;
        }
        // The run has stopped by now, and the window stayed.
        if (many.report.Busy())
            return false;
        stillOpen = preview->isVisible();
        setupAfterRun = preview->Item(QStringLiteral("PrintSetup"))->isEnabled();
        preview->close();
        return true;
    });
    many.report.Preview();

    ASSERT_TRUE(driver.Done());
    EXPECT_TRUE(loadedWhileBusy);
    EXPECT_EQ(pageAfterLoad, "Page 1 of 1");
    EXPECT_TRUE(stillOpen);
    EXPECT_FALSE(setupAfterRun);
    EXPECT_TRUE(many.report.Cancelled());
}

} // namespace
