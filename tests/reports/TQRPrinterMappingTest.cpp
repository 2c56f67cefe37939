#include "RecordingPageDevice.h"
#include "reports/TQRPrinter.h"

#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <climits>
#include <gtest/gtest.h>

TEST(TQRPrinterMapping, RoundEvenSendsHalvesToTheEvenNeighbour) {
    const struct {
        double value;
        int rounded;
    } cases[] = {
        {2779.5, 2780}, {2778.5, 2778}, {0.5, 0},         {1.5, 2},    {2.5, 2},
        {-0.5, 0},      {-1.5, -2},     {-2.5, -2},       {0.4999, 0}, {0.5001, 1},
        {-0.5001, -1},  {100.541, 101}, {1603.375, 1603}, {63.5, 64},  {127, 127},
    };
    for (const auto &entry : cases)
        EXPECT_EQ(TQRPrinter::RoundEven(entry.value), entry.rounded) << entry.value;
    EXPECT_EQ(TQRPrinter::RoundEven(1e300), INT_MAX);
    EXPECT_EQ(TQRPrinter::RoundEven(-1e300), INT_MIN);
}

TEST(TQRPrinterMapping, PositionsScaleByTheResolution) {
    RecordingPageDevice at254(254);
    TQRPrinter producer;
    producer.SetOutputDevice(&at254);
    EXPECT_EQ(producer.OffsetX(), 0);
    EXPECT_EQ(producer.OffsetY(), 0);
    EXPECT_EQ(producer.XPos(2779.5), 2780);
    EXPECT_EQ(producer.YPos(2779.5), 2780);
    EXPECT_EQ(producer.XPos(2778.5), 2778);
    EXPECT_EQ(producer.YPos(2778.5), 2778);
    EXPECT_EQ(producer.YPos(228), 228);

    RecordingPageDevice at300(300);
    producer.SetOutputDevice(&at300);
    EXPECT_EQ(producer.DpiX(), 300);
    EXPECT_EQ(producer.XPos(254), 300);
    EXPECT_EQ(producer.YPos(2970), 3508); // 3507.87
    EXPECT_EQ(producer.XPos(127), 150);
}

TEST(TQRPrinterMapping, UnprintableMarginsAreSubtractedSoPaperPositionsStay) {
    // Half an inch and an inch: 127 and 254 pixels at 254 dpi.
    RecordingPageDevice device(254);
    device.setPageMargins(QMarginsF(36, 72, 0, 0), QPageLayout::Point);
    TQRPrinter producer;
    producer.SetOutputDevice(&device);
    EXPECT_EQ(producer.OffsetX(), 127);
    EXPECT_EQ(producer.OffsetY(), 254);
    EXPECT_EQ(producer.XPos(2906.5), 2780);
    EXPECT_EQ(producer.YPos(3032.5), 2778);

    // Drawn at the mapped position, a text lands where the report put it on
    // the paper: the device's origin is the printable area's corner.
    producer.BeginDoc();
    producer.NewPage();
    producer.Canvas()->drawText(producer.XPos(127), producer.YPos(228), QStringLiteral("here"));
    producer.EndDoc();
    const auto &page = device.Engine().Pages().first();
    ASSERT_EQ(page.size(), 1);
    const QPoint origin = device.pageLayout().paintRectPixels(254).topLeft();
    EXPECT_EQ(page[0].point + QPointF(origin), QPointF(127, 228));
}

TEST(TQRPrinterMapping, APrinterOffsetIsItsPageRectsCornerAndNoneOnAFullPage) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setResolution(1200);
    printer.setPageMargins(QMarginsF(6.35, 12.7, 6.35, 12.7), QPageLayout::Millimeter);
    TQRPrinter producer;
    producer.SetOutputDevice(&printer);
    // 6.35 mm is 300 pixels at 1200 dpi, 63.5 tenths: the even neighbour is
    // 64.
    EXPECT_EQ(producer.OffsetX(), 64);
    EXPECT_EQ(producer.OffsetY(), 127);
    EXPECT_EQ(producer.YPos(127), 0);
    // The offset is taken in whole tenths: (254 - 64) * 1200 / 254.
    EXPECT_EQ(producer.XPos(254), 898);

    printer.setFullPage(true);
    EXPECT_EQ(producer.OffsetX(), 0);
    EXPECT_EQ(producer.OffsetY(), 0);
    EXPECT_EQ(producer.XPos(254), 1200);
}

TEST(TQRPrinterMapping, APdfWritersOwnMarginsCountAsOffsets) {
    // A PDF writer starts with margins of 10 points, 35.28 tenths of a
    // millimetre; its painter's origin lies inside them.
    QPdfWriter writer(QString{});
    writer.setResolution(254);
    TQRPrinter producer;
    producer.SetOutputDevice(&writer);
    EXPECT_EQ(producer.OffsetX(), 35);
    EXPECT_EQ(producer.OffsetY(), 35);
    writer.setPageMargins(QMarginsF());
    EXPECT_EQ(producer.OffsetX(), 0);
}

TEST(TQRPrinterMapping, LandscapeOffsetsFollowThePaper) {
    RecordingPageDevice device(254);
    device.setPageMargins(QMarginsF(36, 72, 0, 0), QPageLayout::Point);
    TQRPrinterSettings settings;
    settings.orientation = poLandscape;
    TQRPrinter producer;
    producer.SetOutputDevice(&device);
    producer.SetPrinterSettings(settings);
    producer.BeginDoc();
    EXPECT_EQ(producer.OffsetX(), 127);
    EXPECT_EQ(producer.OffsetY(), 254);
    EXPECT_EQ(producer.XPos(2970), 2843);
    producer.EndDoc();
}
