// A report run over rows kept in memory: pages, bands, the data walk,
// cancelling, errors and the Print operation.
#include "RecordingPageDevice.h"
#include "ReportTestSupport.h"
#include "reports/TQRBand.h"
#include "reports/TQRDBText.h"
#include "reports/TQRLabel.h"
#include "reports/TQRProgressForm.h"
#include "reports/TQRReport.h"
#include "support/MemoryRowSource.h"

#include <QApplication>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QImage>
#include <QPointer>
#include <QPushButton>
#include <gtest/gtest.h>
#include <memory>

using namespace ReportTest;

namespace {

class ReportRun : public ::testing::Test {
protected:
    void SetUp() override {
        MapReportFonts();
        table->Column(QStringLiteral("Name"), ColumnType::WideString, 50);
        report.SetDataSet(&cursor);
        report.SetShowProgress(false);
    }

    void AddRows(int count) {
        for (int i = 1; i <= count; ++i)
            table->AddRow({QStringLiteral("Row %1").arg(i)});
    }

    TQRBand *AddBand(const QString &name, TQRBandType type, double height) {
        TQRBand *band = report.AddBand(name, type);
        band->SetHeight(height);
        band->SetWidth(1846);
        return band;
    }

    static TQRLabel *AddLabel(TQRBand *band, const QString &caption, double top = 0,
                              double height = 60) {
        auto label = std::make_unique<TQRLabel>(caption, caption);
        label->SetSize({height, 0, top, 0});
        label->SetFont(QFont(QStringLiteral("Arial"), 12));
        return band->Add(std::move(label));
    }

    TQRDBText *AddField(TQRBand *band, const QString &field, double left = 400) {
        auto text = std::make_unique<TQRDBText>(QStringLiteral("Field"), &cursor, field);
        text->SetSize({60, left, 0, 0});
        text->SetFont(QFont(QStringLiteral("Arial"), 12));
        return band->Add(std::move(text));
    }

    // Header 100, column header 50, detail 500 with the row's name, footer 100.
    void BuildListReport() {
        AddLabel(AddBand(QStringLiteral("PageHeader"), rbPageHeader, 100), "Header");
        AddLabel(AddBand(QStringLiteral("ColumnHeader"), rbColumnHeader, 50), "Columns", 0, 50);
        AddField(AddBand(QStringLiteral("Detail"), rbDetail, 500), QStringLiteral("Name"));
        AddLabel(AddBand(QStringLiteral("PageFooter"), rbPageFooter, 100), "Footer");
    }

    // Runs the report into the recording device.
    void RunReport() {
        producer.SetOutputDevice(&device);
        report.Run(producer);
    }

    const QList<Page> &Pages() const { return device.Engine().Pages(); }

    // The paper Y (tenths of a millimetre, the device is at 254 dpi) of the
    // box drawn just before a text: its element's top, which for the
    // elements here is their band's top.
    double BoxTopOf(const Page &page, const QString &text) const {
        const int fill = FillBefore(page, IndexOfText(page, text));
        return fill < 0 ? -1 : page[fill].rect.top() + OriginOnPaper(device).y();
    }

    std::shared_ptr<MemoryTable> table = std::make_shared<MemoryTable>();
    MemoryCursor cursor{QStringLiteral("qryRows"), table};
    TQRReport report;
    RecordingPageDevice device;
    TQRPrinter producer;
};

TEST_F(ReportRun, DetailsFlowOverPagesWithHeadersAndFooters) {
    AddRows(10);
    BuildListReport();
    report.SetOptions({/*firstPageHeader*/ true, /*lastPageFooter*/ false, false});
    cursor.Open();
    RunReport();

    // Page 1: header 127-227, column header 227-277, rows at 277, 777, 1277,
    // 1777; the fifth row (500) no longer fits above 2970 - 127 - 100.
    ASSERT_EQ(Pages().size(), 3);
    EXPECT_EQ(Texts(Pages()[0]),
              QStringList({"Header", "Columns", "Row 1", "Row 2", "Row 3", "Row 4", "Footer"}));
    EXPECT_EQ(Texts(Pages()[1]),
              QStringList({"Header", "Columns", "Row 5", "Row 6", "Row 7", "Row 8", "Footer"}));
    // The last page has no footer without LastPageFooter.
    EXPECT_EQ(Texts(Pages()[2]), QStringList({"Header", "Columns", "Row 9", "Row 10"}));
    EXPECT_DOUBLE_EQ(BoxTopOf(Pages()[0], "Header"), 127);
    EXPECT_DOUBLE_EQ(BoxTopOf(Pages()[0], "Columns"), 227);
    EXPECT_DOUBLE_EQ(BoxTopOf(Pages()[0], "Row 1"), 277);
    EXPECT_DOUBLE_EQ(BoxTopOf(Pages()[0], "Row 4"), 1777);
    EXPECT_DOUBLE_EQ(BoxTopOf(Pages()[0], "Footer"), 2743);
    EXPECT_DOUBLE_EQ(BoxTopOf(Pages()[1], "Row 5"), 277);
    EXPECT_EQ(producer.PageCount(), 3);
    EXPECT_EQ(producer.Status(), mpFinished);
    EXPECT_EQ(report.Functions().value("PAGENUMBER"), "3");
    EXPECT_FALSE(report.Busy());
}

TEST_F(ReportRun, PageOneHeaderAndLastFooterFollowTheOptions) {
    AddRows(1);
    BuildListReport();
    report.SetOptions({/*firstPageHeader*/ false, /*lastPageFooter*/ true, false});
    cursor.Open();
    RunReport();

    ASSERT_EQ(Pages().size(), 1);
    EXPECT_EQ(Texts(Pages()[0]), QStringList({"Columns", "Row 1", "Footer"}));
    EXPECT_DOUBLE_EQ(BoxTopOf(Pages()[0], "Columns"), 127);
    EXPECT_DOUBLE_EQ(BoxTopOf(Pages()[0], "Row 1"), 177);
}

TEST_F(ReportRun, DisabledBandsNeitherPrintNorTakeFooterSpace) {
    AddRows(1);
    BuildListReport();
    report.BandOfType(rbColumnHeader)->SetEnabled(false);
    TQRBand *secondFooter = AddBand(QStringLiteral("Off"), rbPageFooter, 400);
    AddLabel(secondFooter, "Hidden footer");
    secondFooter->SetEnabled(false);
    report.SetOptions({true, true, false});
    cursor.Open();
    RunReport();

    ASSERT_EQ(Pages().size(), 1);
    EXPECT_EQ(Texts(Pages()[0]), QStringList({"Header", "Row 1", "Footer"}));
    EXPECT_DOUBLE_EQ(BoxTopOf(Pages()[0], "Footer"), 2743);
}

TEST_F(ReportRun, ProgressGoesToTheProducerAfterEveryRowUpToAHundred) {
    AddRows(3);
    BuildListReport();
    cursor.Open();
    QList<int> seen;
    cursor.AfterScroll = [&](TRecordCursor &) { seen << producer.Progress(); };
    RunReport();
    // AfterScroll runs inside the move to the next row, before that row's
    // progress is reported: First, then rows 1, 2 and 3 moving on.
    EXPECT_EQ(seen, QList<int>({0, 0, 33, 66}));
    EXPECT_EQ(producer.Progress(), 100);
}

TEST_F(ReportRun, EmptyDataPrintsNoPageAndStartsNoJob) {
    // Like the contact report: no title, detail or summary band.
    AddLabel(AddBand(QStringLiteral("PageHeader"), rbPageHeader, 100), "Header");
    AddField(AddBand(QStringLiteral("ColumnHeader"), rbColumnHeader, 500), QStringLiteral("Name"));
    AddLabel(AddBand(QStringLiteral("PageFooter"), rbPageFooter, 100), "Footer");
    report.SetOptions({true, true, false});
    cursor.Open();
    RunReport();
    EXPECT_EQ(device.Engine().BeginCount(), 0);
    EXPECT_EQ(producer.PageCount(), 0);
    EXPECT_EQ(producer.Status(), mpFinished);

    // A closed cursor is the same.
    cursor.Close();
    TQRPrinter second;
    second.SetOutputDevice(&device);
    report.Run(second);
    EXPECT_EQ(device.Engine().BeginCount(), 0);
}

TEST_F(ReportRun, EmptyDataWithADetailBandPrintsItOnceWhenPrintIfEmpty) {
    BuildListReport();
    report.SetOptions({true, true, false});
    AddLabel(report.BandOfType(rbDetail), "Nothing to list", 100);
    cursor.Open();
    RunReport();
    ASSERT_EQ(Pages().size(), 1);
    EXPECT_EQ(Texts(Pages()[0]), QStringList({"Header", "Nothing to list", "Footer"}));

    report.SetPrintIfEmpty(false);
    TQRPrinter second;
    RecordingPageDevice secondDevice;
    second.SetOutputDevice(&secondDevice);
    report.Run(second);
    EXPECT_EQ(secondDevice.Engine().BeginCount(), 0);
}

TEST_F(ReportRun, UnreadableOrUnknownFieldsPrintEmptyBesideTheirCaptions) {
    AddRows(1);
    TQRBand *detail = AddBand(QStringLiteral("Detail"), rbDetail, 200);
    AddLabel(detail, "Name:");
    AddField(detail, QStringLiteral("NoSuchField"));
    AddField(detail, QStringLiteral("name"), 900); // letter case does not matter
    cursor.Open();
    RunReport();
    ASSERT_EQ(Pages().size(), 1);
    EXPECT_EQ(Texts(Pages()[0]), QStringList({"Name:", "Row 1"}));

    table->failValueRead = QStringLiteral("the row is gone");
    cursor.Close();
    cursor.Open();
    RecordingPageDevice again;
    TQRPrinter second;
    second.SetOutputDevice(&again);
    report.Run(second);
    ASSERT_EQ(again.Engine().Pages().size(), 1);
    EXPECT_EQ(Texts(again.Engine().Pages()[0]), QStringList({"Name:"}));
}

TEST_F(ReportRun, ElementLinesAreCutAtReturnsAndDroppedBeyondTheStoredHeight) {
    AddRows(1);
    TQRBand *detail = AddBand(QStringLiteral("Detail"), rbDetail, 400);
    const QFont font(QStringLiteral("Arial"), 12);
    const double lineHeight = QFontMetricsF(font, &device).height(); // px = tenths at 254 dpi
    TQRLabel *label = AddLabel(detail, "One\r\nTw\no\rThree", 100, 2 * lineHeight);
    cursor.Open();
    RunReport();

    ASSERT_EQ(Pages().size(), 1);
    const Page &page = Pages()[0];
    EXPECT_EQ(Texts(page), QStringList({"One", "Two"}));
    const double ascent = QFontMetricsF(font, &device).ascent();
    const double origin = OriginOnPaper(device).y();
    const double top = 127 + label->Size().top;
    EXPECT_NEAR(page[IndexOfText(page, "One")].point.y() + origin, top + ascent, 1.0);
    EXPECT_NEAR(page[IndexOfText(page, "Two")].point.y() + origin, top + lineHeight + ascent, 1.0);
}

TEST_F(ReportRun, OpaqueBoxesTakeTheScreenWidthAndTransparentOnesNone) {
    AddRows(1);
    TQRBand *detail = AddBand(QStringLiteral("Detail"), rbDetail, 400);
    TQRLabel *sized = AddLabel(detail, "Measured on the screen");
    TQRLabel *fixed = AddLabel(detail, "Fixed", 100);
    fixed->SetAutoSize(false);
    fixed->SetSize({60, 0, 100, 300});
    TQRLabel *clear = AddLabel(detail, "Clear", 200);
    clear->SetTransparent(true);
    cursor.Open();
    RunReport();

    ASSERT_EQ(Pages().size(), 1);
    const Page &page = Pages()[0];
    const Operation &sizedBox = page[FillBefore(page, IndexOfText(page, sized->Caption()))];
    const double screenDpi = TQRPrintable::ScreenDpi();
    QImage screen(1, 1, QImage::Format_ARGB32);
    screen.setDotsPerMeterX(qRound(screenDpi / 0.0254));
    screen.setDotsPerMeterY(qRound(screenDpi / 0.0254));
    const int pixels = QFontMetrics(sized->Font(), &screen).horizontalAdvance(sized->Caption());
    EXPECT_NEAR(sizedBox.rect.width(), (pixels + 1) * 254.0 / screenDpi, 1.0);
    EXPECT_NEAR(sizedBox.rect.height(), 60, 1.0);
    EXPECT_EQ(sizedBox.brush, QColor(Qt::white));

    const Operation &fixedBox = page[FillBefore(page, IndexOfText(page, "Fixed"))];
    EXPECT_NEAR(fixedBox.rect.width(), 300, 1.0);
    // No box between the fixed label's text and the transparent one's.
    ASSERT_GE(IndexOfText(page, "Clear"), 0);
    EXPECT_LT(FillBefore(page, IndexOfText(page, "Clear")), IndexOfText(page, "Fixed"));
}

TEST(ReportAutoSize, TheWidthIsMeasuredAtTheZoomAndScaledBack) {
    const QStringList lines = TQRPrintable::Lines("Short\rThe longest line of all\r");
    const QFont points(QStringLiteral("Arial"), 12);
    QFont pixels(QStringLiteral("Arial"));
    pixels.setPixelSize(16);
    for (const QFont &font : {points, pixels}) {
        const double atHundred = TQRPrintable::AutoSizeWidth(font, lines, 100);
        EXPECT_NEAR(TQRPrintable::AutoSizeWidth(font, {lines[1]}, 100), atHundred, 1e-9);
        // Larger on the screen, the same on paper, give or take the pixel.
        EXPECT_NEAR(TQRPrintable::AutoSizeWidth(font, lines, 200), atHundred, 254.0 / 96);
        EXPECT_GT(atHundred, TQRPrintable::AutoSizeWidth(font, {lines[0]}, 100));
    }
}

TEST_F(ReportRun, APageHeaderTallerThanTheRoomLeftStillPrintsOnce) {
    AddRows(2);
    AddLabel(AddBand(QStringLiteral("PageHeader"), rbPageHeader, 2000), "Tall header");
    AddField(AddBand(QStringLiteral("Detail"), rbDetail, 100), QStringLiteral("Name"));
    AddLabel(AddBand(QStringLiteral("PageFooter"), rbPageFooter, 800), "Footer");
    report.SetOptions({true, true, false});
    cursor.Open();
    RunReport();
    // Each row finds no room under the header and starts its own page.
    ASSERT_EQ(Pages().size(), 2);
    EXPECT_EQ(Texts(Pages()[0]), QStringList({"Tall header", "Row 1", "Footer"}));
    EXPECT_EQ(Texts(Pages()[1]), QStringList({"Tall header", "Row 2", "Footer"}));
}

TEST_F(ReportRun, TheProducersCancelStopsAtTheNextRowAndEndsThePageAsUsual) {
    AddRows(5);
    BuildListReport();
    report.SetOptions({true, true, false});
    cursor.Open();
    int moves = 0;
    cursor.AfterScroll = [&](TRecordCursor &) {
        if (++moves == 3) // First, then the move after row 2
            producer.SetCancelled(true);
    };
    RunReport();
    ASSERT_EQ(Pages().size(), 1);
    EXPECT_EQ(Texts(Pages()[0]), QStringList({"Header", "Columns", "Row 1", "Row 2", "Footer"}));
    EXPECT_EQ(device.Engine().EndCount(), 1);
    EXPECT_EQ(producer.Status(), mpFinished);
}

TEST_F(ReportRun, TheReportsOwnCancelAbortsWithoutAFooter) {
    AddRows(3);
    BuildListReport();
    report.SetOptions({true, true, false});
    cursor.Open();
    int moves = 0;
    cursor.AfterScroll = [&](TRecordCursor &) {
        if (++moves == 2)
            report.SetCancelled(true);
    };
    RunReport();
    ASSERT_EQ(Pages().size(), 1);
    EXPECT_EQ(Texts(Pages()[0]), QStringList({"Header", "Columns", "Row 1"}));
    EXPECT_EQ(producer.Status(), mpFinished);
    // The next run starts afresh.
    moves = 10;
    RecordingPageDevice again;
    TQRPrinter second;
    second.SetOutputDevice(&again);
    report.Run(second);
    EXPECT_EQ(Texts(again.Engine().Pages().value(0)),
              QStringList({"Header", "Columns", "Row 1", "Row 2", "Row 3", "Footer"}));
}

TEST_F(ReportRun, AnOutputFailureLeavesTheReportAvailable) {
    AddRows(1);
    BuildListReport();
    cursor.Open();
    device.Engine().SetFailBegin(true);
    EXPECT_THROW(RunReport(), EError);
    EXPECT_FALSE(report.Busy());
    EXPECT_EQ(report.QRPrinter(), nullptr);
    EXPECT_EQ(producer.Status(), mpFinished);

    device.Engine().SetFailBegin(false);
    TQRPrinter second;
    second.SetOutputDevice(&device);
    report.Run(second);
    EXPECT_EQ(Pages().size(), 1);
}

TEST_F(ReportRun, ARunRefusesToStartInsideAnother) {
    AddRows(2);
    BuildListReport();
    cursor.Open();
    bool refused = false;
    int setups = 0;
    report.ProducerSetup = [&](TQRPrinter &) { ++setups; };
    PrinterInstalledScope printer(true);
    cursor.AfterScroll = [&](TRecordCursor &) {
        TQRPrinter nested;
        try {
            report.Run(nested);
        } catch (const EQRError &) {
            refused = true;
        }
        report.Print(); // does nothing while busy
    };
    RunReport();
    EXPECT_TRUE(refused);
    EXPECT_EQ(setups, 0);
    EXPECT_EQ(report.QRPrinter(), nullptr);
}

TEST_F(ReportRun, PrintShowsProgressAndItsCancelStopsAtTheNextRow) {
    AddRows(5);
    BuildListReport();
    report.SetOptions({true, true, false});
    report.SetShowProgress(true);
    cursor.Open();
    PrinterInstalledScope printer(true);
    QPointer<TQRPrinter> used;
    report.ProducerSetup = [&](TQRPrinter &fresh) {
        used = &fresh;
        fresh.SetOutputDevice(&device);
    };
    QPointer<TQRProgressForm> shown;
    int moves = 0;
    cursor.AfterScroll = [&](TRecordCursor &) {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *form = qobject_cast<TQRProgressForm *>(widget);
            if (form && form->isVisible() && !form->isModal() && form->Producer() == used)
                shown = form;
        }
        if (++moves == 3 && shown)
            shown->CancelButton()->click();
    };
    report.Print();

    EXPECT_EQ(moves, 3);
    ASSERT_EQ(Pages().size(), 1);
    EXPECT_EQ(Texts(Pages()[0]), QStringList({"Header", "Columns", "Row 1", "Row 2", "Footer"}));
    // The window and the producer are gone; the report has no producer left.
    EXPECT_TRUE(shown.isNull());
    EXPECT_TRUE(used.isNull());
    EXPECT_EQ(report.QRPrinter(), nullptr);
    EXPECT_FALSE(report.Busy());
}

TEST_F(ReportRun, PrintWithoutAPrinterDoesNothing) {
    AddRows(1);
    BuildListReport();
    cursor.Open();
    PrinterInstalledScope printer(false);
    int setups = 0;
    report.ProducerSetup = [&](TQRPrinter &fresh) {
        ++setups;
        fresh.SetOutputDevice(&device);
    };
    report.SetShowProgress(true);
    const int windows = QApplication::topLevelWidgets().size();
    report.Print();
    EXPECT_EQ(setups, 0);
    EXPECT_EQ(device.Engine().BeginCount(), 0);
    EXPECT_EQ(QApplication::topLevelWidgets().size(), windows);
}

TEST_F(ReportRun, PrintUsesTheDefaultSetupWhenTheReportHasNone) {
    AddRows(1);
    BuildListReport();
    cursor.Open();
    PrinterInstalledScope printer(true);
    TQRReport::SetDefaultProducerSetup([&](TQRPrinter &fresh) { fresh.SetOutputDevice(&device); });
    report.Print();
    TQRReport::SetDefaultProducerSetup({});
    EXPECT_EQ(Pages().size(), 1);
}

} // namespace
