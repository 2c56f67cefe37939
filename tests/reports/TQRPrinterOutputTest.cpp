#include "RecordingPageDevice.h"
#include "reports/TQRPrinter.h"

#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using Operation = RecordingPaintEngine::Operation;

// Page objects of a PDF file; the page tree's "/Type /Pages" is not one.
int PdfPageCount(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QString text = QString::fromLatin1(file.readAll());
    return int(text.count(QRegularExpression(QStringLiteral("/Type\\s*/Page(?![A-Za-z])"))));
}

QList<Operation> TextsOf(const QList<Operation> &page) {
    QList<Operation> texts;
    for (const Operation &operation : page) {
        if (operation.kind == Operation::Text)
            texts.append(operation);
    }
    return texts;
}

} // namespace

TEST(TQRPrinterOutput, TwoPagesIntoAPdfWriterMakeATwoPageDocument) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath("two.pdf");
    QPdfWriter writer(path);
    writer.setResolution(254);
    TQRPrinter producer;
    producer.SetOutputDevice(&writer);
    producer.SetTitle(QStringLiteral("Two pages"));
    producer.BeginDoc();
    EXPECT_EQ(producer.DpiX(), 254);
    EXPECT_EQ(producer.DpiY(), 254);
    producer.NewPage();
    ASSERT_NE(producer.Canvas(), nullptr);
    EXPECT_EQ(producer.Canvas()->device(), &writer);
    producer.Canvas()->drawText(producer.XPos(127), producer.YPos(127), QStringLiteral("One"));
    producer.NewPage();
    producer.Canvas()->drawText(producer.XPos(127), producer.YPos(127), QStringLiteral("Two"));
    producer.EndDoc();

    EXPECT_EQ(producer.PageCount(), 2);
    EXPECT_EQ(producer.Canvas(), nullptr);
    EXPECT_EQ(writer.title(), QStringLiteral("Two pages"));
    EXPECT_EQ(PdfPageCount(path), 2);
}

TEST(TQRPrinterOutput, EachPageGetsItsOwnDrawing) {
    RecordingPageDevice device(254);
    TQRPrinter producer;
    producer.SetOutputDevice(&device);
    producer.BeginDoc();
    producer.NewPage();
    producer.Canvas()->drawText(producer.XPos(127), producer.YPos(228), QStringLiteral("first"));
    producer.NewPage();
    producer.Canvas()->drawText(producer.XPos(127), producer.YPos(2780), QStringLiteral("second"));
    producer.EndDoc();

    EXPECT_EQ(device.NewPageCalls(), 1);
    const auto &pages = device.Engine().Pages();
    ASSERT_EQ(pages.size(), 2);
    const QList<Operation> first = TextsOf(pages[0]);
    const QList<Operation> second = TextsOf(pages[1]);
    ASSERT_EQ(first.size(), 1);
    ASSERT_EQ(second.size(), 1);
    EXPECT_EQ(first[0].text, "first");
    EXPECT_EQ(first[0].point, QPointF(127, 228));
    EXPECT_EQ(second[0].text, "second");
    EXPECT_EQ(second[0].point, QPointF(127, 2780));
}

TEST(TQRPrinterOutput, EveryPageStartsWithTheInitialPainterState) {
    RecordingPageDevice device(254);
    TQRPrinter producer;
    producer.SetOutputDevice(&device);
    producer.BeginDoc();
    producer.NewPage();
    QPainter *canvas = producer.Canvas();
    const QBrush initialBrush = canvas->brush();
    const QFont initialFont = canvas->font();
    canvas->setBrush(Qt::red);
    canvas->setFont(QFont(QStringLiteral("Liberation Serif"), 31));
    canvas->translate(500, 500);
    canvas->drawRect(QRectF(0, 0, 10, 10));
    producer.NewPage();
    EXPECT_EQ(producer.Canvas()->brush(), initialBrush);
    EXPECT_EQ(producer.Canvas()->font(), initialFont);
    producer.Canvas()->drawRect(QRectF(0, 0, 10, 10));
    producer.EndDoc();

    const auto &pages = device.Engine().Pages();
    ASSERT_EQ(pages.size(), 2);
    ASSERT_FALSE(pages[0].isEmpty());
    ASSERT_FALSE(pages[1].isEmpty());
    EXPECT_EQ(pages[0].last().rect, QRectF(500, 500, 10, 10));
    EXPECT_EQ(pages[1].last().rect, QRectF(0, 0, 10, 10));
}

TEST(TQRPrinterOutput, TheRunsPaperAndOrientationGoToTheDevice) {
    RecordingPageDevice device(254);
    device.setPageSize(QPageSize(QPageSize::Letter));
    device.setPageOrientation(QPageLayout::Landscape);
    TQRPrinter producer;
    producer.SetOutputDevice(&device);
    producer.BeginDoc();
    EXPECT_EQ(device.pageLayout().pageSize().id(), QPageSize::A4);
    EXPECT_EQ(device.pageLayout().orientation(), QPageLayout::Portrait);
    producer.EndDoc();

    TQRPrinterSettings landscape;
    landscape.orientation = poLandscape;
    TQRPrinter turned;
    turned.SetOutputDevice(&device);
    turned.SetPrinterSettings(landscape);
    turned.BeginDoc();
    EXPECT_EQ(device.pageLayout().orientation(), QPageLayout::Landscape);
    const QSizeF paper = device.pageLayout().fullRect(QPageLayout::Millimeter).size();
    EXPECT_NEAR(paper.width(), 297, 0.5);
    EXPECT_NEAR(paper.height(), 210, 0.5);
    turned.EndDoc();
}

TEST(TQRPrinterOutput, PaperCodesChooseTheirSizesAndZeroKeepsTheDevicesOwn) {
    RecordingPageDevice device(254);
    device.setPageSize(QPageSize(QPageSize::Letter));
    TQRPrinterSettings settings;
    settings.paperSize = 0;
    TQRPrinter keeping;
    keeping.SetOutputDevice(&device);
    keeping.SetPrinterSettings(settings);
    keeping.BeginDoc();
    EXPECT_EQ(device.pageLayout().pageSize().id(), QPageSize::Letter);
    keeping.EndDoc();

    const struct {
        int code;
        QPageSize::PageSizeId id;
    } codes[] = {{1, QPageSize::Letter},
                 {5, QPageSize::Legal},
                 {8, QPageSize::A3},
                 {10, QPageSize::A4},
                 {11, QPageSize::A5}};
    for (const auto &entry : codes) {
        settings.paperSize = entry.code;
        TQRPrinter producer;
        producer.SetOutputDevice(&device);
        producer.SetPrinterSettings(settings);
        producer.BeginDoc();
        EXPECT_EQ(device.pageLayout().pageSize().id(), entry.id) << "code " << entry.code;
        producer.EndDoc();
    }

    settings.paperSize = 27;
    settings.paperWidth = 1500;
    settings.paperLength = 2000;
    TQRPrinter custom;
    custom.SetOutputDevice(&device);
    custom.SetPrinterSettings(settings);
    custom.BeginDoc();
    EXPECT_EQ(device.pageLayout().pageSize().size(QPageSize::Millimeter), QSizeF(150, 200));
    custom.EndDoc();
}

TEST(TQRPrinterOutput, APrinterTakesCopiesRangeAndTitle) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(folder.filePath("job.pdf"));
    printer.setPrintRange(QPrinter::PageRange);
    printer.setFromTo(2, 5);
    TQRPrinterSettings settings;
    settings.copies = 3;
    TQRPrinter producer;
    producer.SetOutputDevice(&printer);
    producer.SetPrinterSettings(settings);
    producer.SetTitle(QStringLiteral("Contact report"));
    producer.BeginDoc();
    EXPECT_EQ(printer.copyCount(), 3);
    EXPECT_EQ(printer.docName(), QStringLiteral("Contact report"));
    EXPECT_EQ(printer.printRange(), QPrinter::AllPages);
    EXPECT_EQ(printer.pageLayout().pageSize().id(), QPageSize::A4);
    producer.EndDoc();

    settings.firstPage = 2;
    settings.lastPage = 4;
    TQRPrinter ranged;
    ranged.SetOutputDevice(&printer);
    ranged.SetPrinterSettings(settings);
    ranged.BeginDoc();
    EXPECT_EQ(printer.printRange(), QPrinter::PageRange);
    EXPECT_EQ(printer.fromPage(), 2);
    EXPECT_EQ(printer.toPage(), 4);
    ranged.EndDoc();
}

TEST(TQRPrinterOutput, PagesForThePageStoreUseTheScreensResolution) {
    TQRPrinter producer;
    producer.SetDestination(qrdMetafile);
    const int screenDpi = producer.DpiX();
    EXPECT_GT(screenDpi, 0);
    EXPECT_EQ(producer.OffsetX(), 0);
    EXPECT_EQ(producer.OffsetY(), 0);
    producer.BeginDoc();
    producer.NewPage();
    ASSERT_NE(producer.Canvas(), nullptr);
    EXPECT_EQ(producer.DpiX(), screenDpi);
    EXPECT_EQ(producer.XPos(254), screenDpi);
    producer.NewPage();
    EXPECT_EQ(producer.PageCount(), 2);
    producer.EndDoc();
    EXPECT_EQ(producer.Status(), mpFinished);
    EXPECT_EQ(producer.Canvas(), nullptr);
}
