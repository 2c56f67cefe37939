#include "reports/TQRPagePicture.h"
#include "ReportTestSupport.h"
#include "reports/TQRPageList.h"
#include "reports/TQRPictureRecorder.h"
#include "reports/TQRStream.h"

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QtEndian>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

namespace {

using Op = TQRPagePicture::Operation;

// What the report engine draws on a page: filled bands, texts in several
// fonts and colours, a framed rectangle and a line.
void DrawPage(QPainter &painter) {
    painter.fillRect(QRect(20, 30, 300, 40), QColor(200, 220, 255));
    QFont arial(QStringLiteral("Liberation Sans"));
    arial.setPointSizeF(12);
    arial.setBold(true);
    painter.setFont(arial);
    painter.setPen(QColor(128, 0, 0));
    painter.drawText(QPointF(30, 60), QStringLiteral("Keystone Water Partners"));
    QFont serif(QStringLiteral("Liberation Serif"));
    serif.setPointSizeF(9.5);
    serif.setItalic(true);
    serif.setUnderline(true);
    painter.setFont(serif);
    painter.setPen(Qt::black);
    painter.drawText(QPointF(30, 100), QString::fromUtf8("Zürich · Ørsted & Söhne"));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(10.5, 120.5, 200, 50));
    painter.setPen(QPen(Qt::blue, 2));
    painter.drawLine(QPointF(10, 200), QPointF(300, 210));
}

TQRPagePicture Recorded(int width = 400, int height = 300) {
    TQRPictureRecorder recorder(width, height, 96);
    QPainter painter(&recorder);
    DrawPage(painter);
    painter.end();
    return recorder.TakePicture();
}

QImage Played(const TQRPagePicture &picture, QSize size) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    picture.Play(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

// A picture's bytes with its checksum made right again after a change, so
// that what is tested is the field check, not the checksum.
QByteArray Resummed(QByteArray bytes) {
    const int header = TQRPagePicture::HeaderSize;
    qToLittleEndian<quint32>(
        TQRPagePicture::Checksum(bytes.constData() + header, bytes.size() - header),
        bytes.data() + 24);
    return bytes;
}

void PutDouble(QByteArray &bytes, int offset, double value) {
    quint64 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    qToLittleEndian<quint64>(bits, bytes.data() + offset);
}

TEST(TQRPagePicture, RecordsWhatThePainterDrawsAndPlaysItBackAsDrawnDirectly) {
    ReportTest::MapReportFonts();
    const TQRPagePicture picture = Recorded();
    QStringList kinds;
    for (const Op &op : picture.Operations())
        kinds << QString::number(op.kind);
    // The fill, two texts, the underline, the frame as four lines, the line.
    EXPECT_EQ(kinds.join(","), "1,3,3,2,2,2,2,2,2");

    const Op &bold = picture.Operations()[1];
    EXPECT_EQ(bold.family, "Liberation Sans");
    EXPECT_DOUBLE_EQ(bold.size, 16.0); // 12 points at 96 pixels per inch
    EXPECT_EQ(bold.style, TQRPagePicture::Bold);
    EXPECT_EQ(QColor::fromRgba(bold.color), QColor(128, 0, 0));
    EXPECT_EQ(picture.Operations()[2].style, TQRPagePicture::Italic);
    EXPECT_EQ(picture.Operations()[2].text, QString::fromUtf8("Zürich · Ørsted & Söhne"));

    // Through its stored form and back, the page draws exactly as the
    // painter drew it on an image of the same size.
    TQRPagePicture read;
    QString error;
    ASSERT_TRUE(TQRPagePicture::DecodeBytes(picture.Serialize(), &read, &error))
        << error.toStdString();
    EXPECT_EQ(read.Serialize(), picture.Serialize());
    QImage direct(400, 300, QImage::Format_ARGB32);
    direct.fill(Qt::white);
    {
        QPainter painter(&direct);
        DrawPage(painter);
    }
    EXPECT_EQ(Played(read, QSize(400, 300)), direct);
    // Stretched to twice the size, it covers twice the area.
    const QImage twice = Played(read, QSize(800, 600));
    EXPECT_EQ(twice.pixelColor(40, 62), QColor(200, 220, 255));
    EXPECT_EQ(twice.pixelColor(700, 500), QColor(Qt::white));
}

TEST(TQRPagePicture, EveryFieldOutOfBoundsIsRefusedWithAReason) {
    const QByteArray good = Recorded().Serialize();
    ASSERT_TRUE(TQRPagePicture::DecodeBytes(good, nullptr));
    const int ops = TQRPagePicture::HeaderSize; // the first operation, a fill
    // The first text: kind, x, y, size, style, colour, family length.
    const int text = ops + 1 + 32 + 4;
    QList<QPair<const char *, QByteArray>> damaged;
    auto with = [&](const char *what, auto change) {
        QByteArray bytes = good;
        change(bytes);
        damaged << qMakePair(what, Resummed(bytes));
    };
    with("count beyond the bytes",
         [](QByteArray &b) { qToLittleEndian<quint32>(0x7fffffff, b.data() + 20); });
    with("count one short", [](QByteArray &b) {
        qToLittleEndian<quint32>(qFromLittleEndian<quint32>(b.constData() + 20) - 1, b.data() + 20);
    });
    with("length", [](QByteArray &b) { qToLittleEndian<quint32>(b.size() + 1, b.data() + 8); });
    with("width 0", [](QByteArray &b) { qToLittleEndian<qint32>(0, b.data() + 12); });
    with("height huge", [](QByteArray &b) { qToLittleEndian<qint32>(1 << 30, b.data() + 16); });
    with("version", [](QByteArray &b) { b[4] = 2; });
    with("unknown kind", [&](QByteArray &b) { b[ops] = 9; });
    with("NaN x", [&](QByteArray &b) { PutDouble(b, ops + 1, std::nan("")); });
    with("far y", [&](QByteArray &b) { PutDouble(b, ops + 9, 1e300); });
    with("negative width", [&](QByteArray &b) { PutDouble(b, ops + 17, -5); });
    with("font size 0", [&](QByteArray &b) { PutDouble(b, text + 17, 0); });
    with("font size huge", [&](QByteArray &b) { PutDouble(b, text + 17, 1e6); });
    with("style bits", [&](QByteArray &b) { b[text + 25] = char(0x80); });
    with("family length",
         [&](QByteArray &b) { qToLittleEndian<quint16>(0xffff, b.data() + text + 30); });
    with("text length", [&](QByteArray &b) {
        const int family = qFromLittleEndian<quint16>(b.constData() + text + 30);
        qToLittleEndian<quint32>(0x7ffffff0, b.data() + text + 32 + family);
    });
    QByteArray bytes = good;
    bytes[ops + 3] = char(bytes[ops + 3] ^ 0x10);
    damaged << qMakePair("a flipped bit", bytes);
    damaged << qMakePair("cut short", good.left(good.size() - 3));
    damaged << qMakePair("header only", good.left(TQRPagePicture::HeaderSize - 1));
    bytes = good;
    bytes.replace(0, 4, "QPIC");
    damaged << qMakePair("earlier format", bytes);

    for (const auto &[what, content] : damaged) {
        QString reason;
        TQRPagePicture picture;
        EXPECT_FALSE(TQRPagePicture::DecodeBytes(content, &picture, &reason)) << what;
        EXPECT_FALSE(reason.isEmpty()) << what;
    }
    QString reason;
    TQRPagePicture::DecodeBytes(bytes, nullptr, &reason);
    EXPECT_TRUE(reason.contains("earlier version")) << reason.toStdString();
}

// A saved report whose one record claims nearly all of a sparse file of
// about 2 GB, with every link right, so only the picture's own check can
// refuse it.
TEST(TQRPagePicture, AHugeSparseFileIsRefusedAtOnceWithoutReadingIt) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString name = folder.filePath("huge.qrp");
    TQRPageList list;
    list.AddPage(Recorded());
    list.Finish();
    QByteArray head = list.Stream().Read(0, 128 + 8 + TQRPagePicture::HeaderSize);
    const qint64 size = 2'000'000'000;
    qToLittleEndian<qint32>(qint32(size), head.data() + 132);
    qToLittleEndian<quint32>(quint32(size - 128 - 12), head.data() + 136 + 8);
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(head);
    ASSERT_TRUE(file.resize(size));
    ASSERT_TRUE(file.seek(size - 4));
    const char back[4] = {char(128), 0, 0, 0};
    file.write(back, 4);
    file.close();

    QElapsedTimer timer;
    timer.start();
    QString reason;
    EXPECT_FALSE(TQRPageList::Validate(*TQRStream::OpenFile(name), &reason));
    EXPECT_LT(timer.elapsed(), 100);
    EXPECT_TRUE(reason.contains("too large")) << reason.toStdString();
}

} // namespace
