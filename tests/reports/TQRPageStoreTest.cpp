#include "reports/TQRPageList.h"
#include "reports/TQRPagePicture.h"
#include "reports/TQRPictureRecorder.h"
#include "reports/TQRPrinter.h"
#include "reports/TQRStream.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <cstring>
#include <gtest/gtest.h>

namespace {

// A page picture with a label and, for bulk, many lines, drawn through the
// recorder as a report page is.
TQRPagePicture MakePicture(const QString &label, int lines = 0) {
    TQRPictureRecorder recorder(794, 1123, 96);
    QPainter painter(&recorder);
    painter.drawRect(10, 10, 200, 100);
    painter.drawText(20, 50, label);
    for (int i = 0; i < lines; ++i)
        painter.drawLine(i % 700, i % 500, (i * 7) % 700, (i * 3) % 900);
    painter.end();
    return recorder.TakePicture();
}

QByteArray DataOf(const TQRPagePicture &picture) {
    return picture.Serialize();
}

qint32 Int32At(const QByteArray &bytes, qint64 offset) {
    return qFromLittleEndian<qint32>(bytes.constData() + offset);
}

// The whole stream of a page store.
QByteArray StreamBytes(TQRPageList &list) {
    return list.Stream().Read(0, list.Stream().Size());
}

} // namespace

TEST(TQRStream, StaysInMemoryUpToItsLimitThenMovesToATemporaryFile) {
    QString temporaryName;
    {
        TQRStream stream(1000);
        stream.Append(QByteArray(1000, 'a'));
        EXPECT_TRUE(stream.TemporaryFileName().isEmpty());
        stream.Append(QByteArray(1, 'b'));
        temporaryName = stream.TemporaryFileName();
        ASSERT_FALSE(temporaryName.isEmpty());
        EXPECT_TRUE(QFileInfo(temporaryName).fileName().startsWith(QLatin1String("QRP")));
        EXPECT_TRUE(QFile::exists(temporaryName));
        // Earlier bytes moved with the stream; writes in the middle still
        // land in place.
        EXPECT_EQ(stream.Size(), 1001);
        stream.Write(10, QByteArray("xyz"));
        EXPECT_EQ(stream.Read(8, 6), QByteArray("aaxyza"));
        EXPECT_EQ(stream.Read(1000, 10), QByteArray("b"));
        EXPECT_TRUE(stream.Read(1001, 4).isEmpty());
        EXPECT_TRUE(stream.Read(-1, 4).isEmpty());
    }
    EXPECT_FALSE(QFile::exists(temporaryName));
}

TEST(TQRStream, AFileStreamIsReadOnlyAndLeavesTheFileBehind) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString name = folder.filePath("pages.qrp");
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("0123456789");
    file.close();
    {
        std::unique_ptr<TQRStream> stream = TQRStream::OpenFile(name);
        EXPECT_TRUE(stream->ReadOnly());
        EXPECT_EQ(stream->Read(2, 3), QByteArray("234"));
        EXPECT_THROW(stream->Write(0, "x"), std::exception);
    }
    ASSERT_TRUE(QFile::exists(name));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("0123456789"));
    EXPECT_THROW(TQRStream::OpenFile(folder.filePath("missing.qrp")), std::exception);
}

TEST(TQRPageList, LaysOutHeaderAndRecordsAsTheSavedFile) {
    TQRPageList list;
    const TQRPagePicture first = MakePicture("one");
    const TQRPagePicture second = MakePicture("two");
    list.AddPage(first);
    // The header is there from page 1 on, with count 1.
    QByteArray bytes = StreamBytes(list);
    EXPECT_EQ(Int32At(bytes, 8), 1);
    list.AddPage(second);
    list.Finish();
    bytes = StreamBytes(list);

    EXPECT_EQ(qFromLittleEndian<quint16>(bytes.constData()), 3);
    EXPECT_EQ(qFromLittleEndian<quint16>(bytes.constData() + 2), 305);
    EXPECT_EQ(Int32At(bytes, 8), 2);
    EXPECT_EQ(bytes.at(25), 0);
    const qint64 next = 128 + 12 + DataOf(first).size();
    EXPECT_EQ(Int32At(bytes, 128), 1);
    EXPECT_EQ(Int32At(bytes, 132), next);
    EXPECT_EQ(bytes.mid(136, DataOf(first).size()), DataOf(first));
    EXPECT_EQ(Int32At(bytes, next - 4), 128);
    EXPECT_EQ(Int32At(bytes, next), 2);
    EXPECT_EQ(Int32At(bytes, next + 4), bytes.size());
    EXPECT_EQ(Int32At(bytes, bytes.size() - 4), next);

    // The date-time is now, in days since 30 December 1899.
    double stamp = 0;
    const quint64 bits = qFromLittleEndian<quint64>(bytes.constData() + 16);
    std::memcpy(&stamp, &bits, sizeof stamp);
    const QDateTime now = QDateTime::currentDateTime();
    const double expected =
        QDate(1899, 12, 30).daysTo(now.date()) + now.time().msecsSinceStartOfDay() / 86400000.0;
    EXPECT_NEAR(stamp, expected, 1.0 / 24);
    EXPECT_TRUE(TQRPageList::ValidateBytes(bytes));
}

TEST(TQRPageList, FetchesEveryPageInAnyOrderAndNothingOutsideTheCount) {
    TQRPageList list;
    QList<QByteArray> expected;
    for (int page = 1; page <= 6; ++page) {
        const TQRPagePicture picture = MakePicture(QStringLiteral("page %1").arg(page), page * 3);
        expected << DataOf(picture);
        list.AddPage(picture);
    }
    list.Finish();
    // Backward and forward walks from wherever the last fetch stopped.
    for (int page : {6, 1, 4, 2, 5, 3, 3, 1, 6}) {
        std::unique_ptr<TQRPagePicture> picture = list.GetPage(page);
        ASSERT_NE(picture, nullptr) << page;
        EXPECT_EQ(DataOf(*picture), expected[page - 1]) << page;
        EXPECT_EQ(picture->Size(), QSize(794, 1123));
    }
    EXPECT_EQ(list.GetPage(0), nullptr);
    EXPECT_EQ(list.GetPage(7), nullptr);
    EXPECT_EQ(list.GetPage(-3), nullptr);
}

TEST(TQRPageList, ABigStoreMovesToATemporaryFileThatGoesWithTheStore) {
    QString temporaryName;
    {
        TQRPageList list;
        int pages = 0;
        while (list.Stream().Size() <= 100000) {
            EXPECT_TRUE(list.Stream().TemporaryFileName().isEmpty());
            list.AddPage(MakePicture(QStringLiteral("bulk %1").arg(++pages), 400));
        }
        temporaryName = list.Stream().TemporaryFileName();
        ASSERT_FALSE(temporaryName.isEmpty());
        EXPECT_TRUE(QFileInfo(temporaryName).fileName().startsWith(QLatin1String("QRP")));
        EXPECT_TRUE(QFile::exists(temporaryName));
        list.Finish();
        EXPECT_TRUE(TQRPageList::ValidateBytes(StreamBytes(list)));
        EXPECT_NE(list.GetPage(1), nullptr);
        EXPECT_NE(list.GetPage(pages), nullptr);
        EXPECT_EQ(QFileInfo(temporaryName).size(), list.Stream().Size());
    }
    EXPECT_FALSE(QFile::exists(temporaryName));
}

TEST(TQRPrinterPageStore, StoresPagesAtTheScreenScaleAndAnnouncesThemQueued) {
    TQRPrinter producer;
    producer.SetDestination(qrdMetafile);
    QSignalSpy announced(&producer, &TQRPrinter::PageAvailable);
    producer.BeginDoc();
    producer.NewPage();
    producer.Canvas()->drawText(producer.XPos(100), producer.YPos(100), "first");
    EXPECT_EQ(producer.AvailablePages(), 0);
    producer.NewPage();
    EXPECT_EQ(producer.AvailablePages(), 1);
    producer.NewPage();
    producer.EndDoc();
    EXPECT_EQ(producer.AvailablePages(), 3);
    EXPECT_EQ(producer.PageCount(), 3);
    // Nothing is announced inside the producer's calls.
    EXPECT_EQ(announced.count(), 0);
    QCoreApplication::processEvents();
    ASSERT_EQ(announced.count(), 3);
    EXPECT_EQ(announced[0][0].toInt(), 1);
    EXPECT_EQ(announced[2][0].toInt(), 3);

    const double scale = TQRPrinter::ScreenScale();
    std::unique_ptr<TQRPagePicture> page = producer.GetPage(1);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->Size(),
              QSize(TQRPrinter::RoundEven(2100 * scale), TQRPrinter::RoundEven(2970 * scale)));
    EXPECT_EQ(producer.GetPage(4), nullptr);
}

TEST(TQRPrinterPageStore, AbortKeepsThePageThatWasOpen) {
    TQRPrinter producer;
    producer.SetDestination(qrdMetafile);
    producer.BeginDoc();
    producer.NewPage();
    producer.NewPage();
    producer.Abort();
    EXPECT_EQ(producer.Status(), mpFinished);
    EXPECT_EQ(producer.AvailablePages(), 2);
    EXPECT_NE(producer.GetPage(2), nullptr);
    EXPECT_EQ(producer.Canvas(), nullptr);
}

TEST(TQRPrinterPageStore, PaperExtentFollowsSizeAndOrientation) {
    TQRPrinter producer;
    TQRPrinterSettings settings;
    settings.paperSize = 11; // A5
    producer.SetPrinterSettings(settings);
    EXPECT_DOUBLE_EQ(producer.PaperWidth(), 1480);
    EXPECT_DOUBLE_EQ(producer.PaperLength(), 2100);
    settings.orientation = poLandscape;
    producer.SetPrinterSettings(settings);
    EXPECT_DOUBLE_EQ(producer.PaperWidth(), 2100);
    EXPECT_DOUBLE_EQ(producer.PaperLength(), 1480);
    // Custom and printer-default sizes take the settings' own extent.
    settings.paperSize = 27;
    settings.orientation = poPortrait;
    settings.paperWidth = 1000;
    settings.paperLength = 1500;
    producer.SetPrinterSettings(settings);
    EXPECT_DOUBLE_EQ(producer.PaperWidth(), 1000);
    EXPECT_DOUBLE_EQ(producer.PaperLength(), 1500);
}

TEST(TQRPageList, OpensASavedReportFromBytesOnlyWhenItIsSound) {
    TQRPageList list;
    list.AddPage(MakePicture("one"));
    list.AddPage(MakePicture("two"));
    list.Finish();
    const QByteArray bytes = StreamBytes(list);
    std::unique_ptr<TQRPageList> opened = TQRPageList::OpenBytes(bytes, "memory");
    EXPECT_EQ(opened->PageCount(), 2);
    EXPECT_TRUE(opened->Stream().ReadOnly());
    ASSERT_NE(opened->GetPage(2), nullptr);
    EXPECT_EQ(DataOf(*opened->GetPage(2)), DataOf(*list.GetPage(2)));
    EXPECT_THROW(TQRPageList::OpenBytes(bytes.left(bytes.size() - 2), "memory"), EQRError);
}
