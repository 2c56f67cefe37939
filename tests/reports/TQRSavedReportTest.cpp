#include "RecordingPageDevice.h"
#include "ReportTestSupport.h"
#include "reports/TQRPageList.h"
#include "reports/TQRPagePicture.h"
#include "reports/TQRPrinter.h"

#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

QByteArray DataOf(const TQRPagePicture &picture) {
    return picture.Serialize();
}

qint32 Int32At(const QByteArray &bytes, qint64 offset) {
    return qFromLittleEndian<qint32>(bytes.constData() + offset);
}

void PutInt32(QByteArray &bytes, qint64 offset, qint32 value) {
    qToLittleEndian<qint32>(value, bytes.data() + offset);
}

QByteArray ReadAll(const QString &name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString &name, const QByteArray &bytes) {
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// Runs a producer into the page store: `pages` pages, each with its number
// drawn on it.
void Produce(TQRPrinter &producer, int pages, const TQRPrinterSettings &settings = {}) {
    producer.SetDestination(qrdMetafile);
    producer.SetPrinterSettings(settings);
    producer.BeginDoc();
    for (int page = 1; page <= pages; ++page) {
        producer.NewPage();
        producer.Canvas()->drawText(producer.XPos(200), producer.YPos(300),
                                    QStringLiteral("Page %1").arg(page));
        producer.Canvas()->drawRect(producer.XPos(100), producer.YPos(100), 50, 20 * page);
    }
    producer.EndDoc();
}

QList<QByteArray> PagesOf(TQRPrinter &producer) {
    QList<QByteArray> pages;
    for (int page = 1; page <= producer.AvailablePages(); ++page) {
        std::unique_ptr<TQRPagePicture> picture = producer.GetPage(page);
        pages << (picture ? DataOf(*picture) : QByteArray());
    }
    return pages;
}

class TQRSavedReport : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder_.isValid()); }
    QString Path(const QString &name) const { return folder_.filePath(name); }
    // The bytes of a saved report of `pages` pages.
    QByteArray SavedBytes(int pages) {
        TQRPrinter producer;
        Produce(producer, pages);
        const QString name = Path(QStringLiteral("source%1.qrp").arg(pages));
        producer.StorePages(name);
        return ReadAll(name);
    }

private:
    QTemporaryDir folder_;
};

} // namespace

TEST_F(TQRSavedReport, SaveThenLoadGivesTheSamePagesAndDetectsA4Portrait) {
    TQRPrinter source;
    Produce(source, 3);
    const QString name = Path("report.qrp");
    source.StorePages(name);
    const QByteArray saved = ReadAll(name);

    TQRPrinter loaded;
    TQRPrinterSettings settings;
    settings.paperSize = 1;
    settings.orientation = poLandscape;
    loaded.SetPrinterSettings(settings);
    loaded.PrinterSetupHandler = [] {};
    loaded.ExportHandler = [](TQRExportFilter &) {};
    loaded.RestorePages(name);

    EXPECT_EQ(loaded.Status(), mpFinished);
    EXPECT_TRUE(loaded.LoadedFromFile());
    EXPECT_FALSE(source.LoadedFromFile());
    EXPECT_EQ(loaded.PageCount(), 3);
    EXPECT_EQ(PagesOf(loaded), PagesOf(source));
    // Both A4 rows match; the last one wins.
    EXPECT_EQ(loaded.PrinterSettings().paperSize, 10);
    EXPECT_EQ(loaded.PrinterSettings().orientation, poPortrait);
    EXPECT_FALSE(loaded.PrinterSetupHandler);
    EXPECT_FALSE(loaded.ExportHandler);
    // The loaded file is read in place and left alone.
    EXPECT_EQ(ReadAll(name), saved);
    loaded.StorePages(Path("copy.qrp"));
    EXPECT_EQ(ReadAll(Path("copy.qrp")), saved);
}

TEST_F(TQRSavedReport, LandscapePagesAreDetectedAsLandscape) {
    TQRPrinter source;
    TQRPrinterSettings settings;
    settings.paperSize = 9;
    settings.orientation = poLandscape;
    Produce(source, 1, settings);
    source.StorePages(Path("landscape.qrp"));
    TQRPrinter loaded;
    loaded.RestorePages(Path("landscape.qrp"));
    EXPECT_EQ(loaded.PrinterSettings().paperSize, 10);
    EXPECT_EQ(loaded.PrinterSettings().orientation, poLandscape);
}

TEST_F(TQRSavedReport, AOnePageFileHasTheHeaderAndEndsWithTheRecordOffset) {
    const QByteArray bytes = SavedBytes(1);
    ASSERT_GT(bytes.size(), 140);
    EXPECT_EQ(qFromLittleEndian<quint16>(bytes.constData()), 3);
    EXPECT_EQ(qFromLittleEndian<quint16>(bytes.constData() + 2), 305);
    EXPECT_EQ(Int32At(bytes, 8), 1);
    EXPECT_EQ(Int32At(bytes, 128), 1);
    EXPECT_EQ(Int32At(bytes, 132), bytes.size());
    EXPECT_EQ(Int32At(bytes, bytes.size() - 4), 128);
}

TEST_F(TQRSavedReport, ARunWithoutPagesSavesTheHeaderOnlyAndLoadsEmpty) {
    TQRPrinter source;
    Produce(source, 0);
    EXPECT_EQ(source.Status(), mpFinished);
    EXPECT_EQ(source.AvailablePages(), 0);
    EXPECT_EQ(source.GetPage(1), nullptr);
    source.StorePages(Path("empty.qrp"));
    const QByteArray bytes = ReadAll(Path("empty.qrp"));
    ASSERT_EQ(bytes.size(), 128);
    EXPECT_EQ(Int32At(bytes, 8), 0);

    TQRPrinter loaded;
    TQRPrinterSettings settings;
    settings.paperSize = 5;
    loaded.SetPrinterSettings(settings);
    loaded.RestorePages(Path("empty.qrp"));
    EXPECT_EQ(loaded.Status(), mpFinished);
    EXPECT_EQ(loaded.PageCount(), 0);
    EXPECT_EQ(loaded.PrinterSettings().paperSize, 5);
}

TEST_F(TQRSavedReport, SaveBeforeTheRunIsFinishedWritesNothing) {
    TQRPrinter producer;
    producer.StorePages(Path("ready.qrp"));
    producer.SetDestination(qrdMetafile);
    producer.BeginDoc();
    producer.NewPage();
    producer.StorePages(Path("busy.qrp"));
    EXPECT_FALSE(QFile::exists(Path("ready.qrp")));
    EXPECT_FALSE(QFile::exists(Path("busy.qrp")));
    producer.EndDoc();
}

TEST_F(TQRSavedReport, SavingALoadedReportOverItsOwnFileKeepsTheFile) {
    const QByteArray bytes = SavedBytes(2);
    WriteAll(Path("self.qrp"), bytes);
    TQRPrinter loaded;
    loaded.RestorePages(Path("self.qrp"));
    loaded.StorePages(Path("self.qrp"));
    EXPECT_EQ(ReadAll(Path("self.qrp")), bytes);
    EXPECT_NE(loaded.GetPage(2), nullptr);
}

TEST_F(TQRSavedReport, LoadWhileBusyEndsTheRunAndTakesTheFile) {
    TQRPrinter source;
    Produce(source, 2);
    source.StorePages(Path("two.qrp"));
    TQRPrinter producer;
    producer.SetDestination(qrdMetafile);
    producer.BeginDoc();
    producer.NewPage();
    producer.RestorePages(Path("two.qrp"));
    EXPECT_EQ(producer.Status(), mpFinished);
    EXPECT_EQ(producer.Canvas(), nullptr);
    EXPECT_EQ(PagesOf(producer), PagesOf(source));
}

TEST_F(TQRSavedReport, DamagedForeignAndCompressedFilesAreRefusedAndChangeNothing) {
    const QByteArray good = SavedBytes(3);
    ASSERT_TRUE(TQRPageList::ValidateBytes(good));
    const qint32 second = Int32At(good, 132);
    const qint32 third = Int32At(good, second + 4);

    QList<QPair<QString, QByteArray>> damaged;
    damaged << qMakePair(QStringLiteral("empty"), QByteArray());
    damaged << qMakePair(QStringLiteral("header cut"), good.left(100));
    damaged << qMakePair(QStringLiteral("last byte cut"), good.left(good.size() - 1));
    damaged << qMakePair(QStringLiteral("record cut"), good.left(third + 6));
    damaged << qMakePair(QStringLiteral("extra bytes"), good + QByteArray(4, '\0'));
    QByteArray bytes = good;
    bytes[0] = 4;
    damaged << qMakePair(QStringLiteral("foreign"), bytes);
    bytes = good;
    bytes[25] = 1;
    damaged << qMakePair(QStringLiteral("compressed"), bytes);
    for (qint32 count : {-1, 2, 4, 1000000}) {
        bytes = good;
        PutInt32(bytes, 8, count);
        damaged << qMakePair(QStringLiteral("count %1").arg(count), bytes);
    }
    bytes = good;
    PutInt32(bytes, 132, good.size() + 100);
    damaged << qMakePair(QStringLiteral("next offset outside"), bytes);
    bytes = good;
    PutInt32(bytes, second + 4, 128);
    damaged << qMakePair(QStringLiteral("link loops back"), bytes);
    bytes = good;
    PutInt32(bytes, 132, 128);
    damaged << qMakePair(QStringLiteral("link to itself"), bytes);
    bytes = good;
    PutInt32(bytes, second - 4, 0);
    damaged << qMakePair(QStringLiteral("back link"), bytes);
    bytes = good;
    PutInt32(bytes, second, 3);
    damaged << qMakePair(QStringLiteral("page number"), bytes);
    bytes = good;
    bytes[second + 40] = char(bytes[second + 40] ^ 0x5a);
    damaged << qMakePair(QStringLiteral("picture data"), bytes);
    bytes = good;
    bytes.replace(136, 4, "XXXX");
    damaged << qMakePair(QStringLiteral("picture magic"), bytes);

    // A producer showing pages of its own, which a refused file must not
    // disturb.
    TQRPrinter producer;
    TQRPrinterSettings settings;
    settings.paperSize = 5;
    Produce(producer, 2, settings);
    bool setupKept = false;
    producer.PrinterSetupHandler = [&] { setupKept = true; };
    const QList<QByteArray> before = PagesOf(producer);

    for (const auto &[what, content] : damaged) {
        QString reason;
        EXPECT_FALSE(TQRPageList::ValidateBytes(content, &reason)) << what.toStdString();
        EXPECT_FALSE(reason.isEmpty()) << what.toStdString();
        const QString name = Path("damaged.qrp");
        WriteAll(name, content);
        QString message;
        try {
            producer.RestorePages(name);
        } catch (const EQRError &error) {
            message = error.Message();
        }
        EXPECT_TRUE(message.contains(name)) << what.toStdString() << message.toStdString();
        EXPECT_EQ(producer.Status(), mpFinished) << what.toStdString();
        EXPECT_FALSE(producer.LoadedFromFile()) << what.toStdString();
        EXPECT_EQ(producer.PageCount(), 2) << what.toStdString();
        EXPECT_EQ(PagesOf(producer), before) << what.toStdString();
        EXPECT_EQ(producer.PrinterSettings().paperSize, 5) << what.toStdString();
        ASSERT_TRUE(producer.PrinterSetupHandler) << what.toStdString();
        // The refused file is only read, never changed.
        EXPECT_EQ(ReadAll(name), content) << what.toStdString();
    }
    producer.PrinterSetupHandler();
    EXPECT_TRUE(setupKept);
}

TEST_F(TQRSavedReport, TheCompressedFlagIsRefusedWithItsOwnReason) {
    QByteArray bytes = SavedBytes(1);
    bytes[25] = 1;
    QString reason;
    EXPECT_FALSE(TQRPageList::ValidateBytes(bytes, &reason));
    EXPECT_TRUE(reason.contains(QLatin1String("compressed")));
}

TEST_F(TQRSavedReport, PrintsTheStoredPagesOfTheRangeStretchedOverThePage) {
    ReportTest::MapReportFonts();
    TQRPrinter source;
    Produce(source, 3);
    source.StorePages(Path("print.qrp"));
    TQRPrinter loaded;
    loaded.RestorePages(Path("print.qrp"));

    RecordingPageDevice device;
    loaded.SetOutputDevice(&device);
    loaded.PrintStoredPages();
    ASSERT_EQ(device.Engine().Pages().size(), 3);
    EXPECT_EQ(device.Engine().BeginCount(), 1);
    EXPECT_EQ(device.Engine().EndCount(), 1);
    for (int page = 0; page < 3; ++page) {
        EXPECT_EQ(ReportTest::Texts(device.Engine().Pages()[page]),
                  QStringList{QStringLiteral("Page %1").arg(page + 1)});
    }
    // Drawn at the device's scale: the text at 20 mm from the left edge.
    const QList<ReportTest::Operation> &first = device.Engine().Pages()[0];
    const int index = ReportTest::IndexOfText(first, "Page 1");
    ASSERT_GE(index, 0);
    EXPECT_NEAR(first[index].point.x(), 200 * device.logicalDpiX() / 254.0, 3.0);

    RecordingPageDevice ranged;
    TQRPrinterSettings settings = loaded.PrinterSettings();
    settings.firstPage = 2;
    settings.lastPage = 2;
    loaded.SetPrinterSettings(settings);
    loaded.SetOutputDevice(&ranged);
    loaded.PrintStoredPages();
    ASSERT_EQ(ranged.Engine().Pages().size(), 1);
    EXPECT_EQ(ReportTest::Texts(ranged.Engine().Pages()[0]), QStringList{"Page 2"});
}

TEST_F(TQRSavedReport, PrintingNeedsAFinishedRunWithPages) {
    RecordingPageDevice device;
    TQRPrinter producer;
    producer.SetOutputDevice(&device);
    producer.PrintStoredPages();
    Produce(producer, 0);
    producer.PrintStoredPages();
    EXPECT_EQ(device.Engine().BeginCount(), 0);
}
