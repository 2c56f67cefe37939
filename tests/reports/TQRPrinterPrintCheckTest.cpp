#include "reports/TQRPrinter.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>
#include <iostream>

// Prints through the system's default printer, so it runs only on request:
// set CORVANA_PRINT_CHECK to the folder where that printer leaves its PDF
// files (or to 1 for $HOME/PDF), with a PDF-writing print queue as the
// default printer.

namespace {

QString OutputFolder() {
    const QString setting = qEnvironmentVariable("CORVANA_PRINT_CHECK");
    if (QFileInfo(setting).isDir())
        return setting;
    return QDir::homePath() + QStringLiteral("/PDF");
}

QSet<QString> PdfFiles(const QString &folder) {
    const QStringList names = QDir(folder).entryList({QStringLiteral("*.pdf")}, QDir::Files);
    return QSet<QString>(names.begin(), names.end());
}

// Waits for a PDF file that was not in the folder before and whose name
// carries the job's title; empty when none arrives in time.
QString AwaitNewPdf(const QString &folder, const QSet<QString> &before, const QString &title,
                    int seconds) {
    const QDateTime deadline = QDateTime::currentDateTime().addSecs(seconds);
    while (QDateTime::currentDateTime() < deadline) {
        for (const QString &name : PdfFiles(folder) - before) {
            if (name.contains(title)) {
                QThread::msleep(500); // the queue may still be writing it
                return QDir(folder).filePath(name);
            }
        }
        QTest::qWait(250);
    }
    return QString();
}

int PdfPages(const QString &path) {
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {path});
    if (info.waitForFinished(10000) && info.exitCode() == 0) {
        const QRegularExpressionMatch pages =
            QRegularExpression(QStringLiteral("Pages:\\s*(\\d+)"))
                .match(QString::fromLocal8Bit(info.readAllStandardOutput()));
        if (pages.hasMatch())
            return pages.captured(1).toInt();
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return int(QString::fromLatin1(file.readAll())
                   .count(QRegularExpression(QStringLiteral("/Type\\s*/Page(?![A-Za-z])"))));
}

void PrintPages(TQRPrinter &producer, int pages) {
    producer.BeginDoc();
    for (int page = 1; page <= pages; ++page) {
        producer.NewPage();
        QPainter *canvas = producer.Canvas();
        canvas->setFont(QFont(QStringLiteral("Liberation Sans"), 14));
        canvas->drawRect(QRect(QPoint(producer.XPos(127), producer.YPos(127)),
                               QPoint(producer.XPos(2100 - 127), producer.YPos(2970 - 127))));
        canvas->drawText(producer.XPos(254), producer.YPos(381),
                         QStringLiteral("Print check, page %1").arg(page));
    }
}

} // namespace

TEST(TQRPrinterPrintCheck, TwoPagesReachTheDefaultPrinterAndAnAbortedJobDoesNot) {
    if (qEnvironmentVariableIsEmpty("CORVANA_PRINT_CHECK"))
        GTEST_SKIP() << "set CORVANA_PRINT_CHECK to print on the default printer";
    ASSERT_TRUE(TQRPrinter::PrinterInstalled());
    const QString folder = OutputFolder();
    const QString stamp = QString::number(QDateTime::currentMSecsSinceEpoch());

    const QString printedTitle = QStringLiteral("corvana-check-") + stamp;
    QSet<QString> before = PdfFiles(folder);
    {
        TQRPrinter producer;
        producer.SetTitle(printedTitle);
        PrintPages(producer, 2);
        std::cout << "default printer: " << producer.DpiX() << " x " << producer.DpiY()
                  << " dpi, offsets " << producer.OffsetX() << ", " << producer.OffsetY()
                  << " tenths of a millimetre" << std::endl;
        producer.EndDoc();
        EXPECT_EQ(producer.PageCount(), 2);
    }
    const QString printed = AwaitNewPdf(folder, before, printedTitle, 60);
    ASSERT_FALSE(printed.isEmpty()) << "no PDF arrived in " << folder.toStdString();
    std::cout << "printed: " << printed.toStdString() << std::endl;
    EXPECT_EQ(PdfPages(printed), 2);

    const QString abortedTitle = QStringLiteral("corvana-abort-") + stamp;
    before = PdfFiles(folder);
    {
        TQRPrinter producer;
        producer.SetTitle(abortedTitle);
        PrintPages(producer, 2);
        producer.Abort();
    }
    EXPECT_TRUE(AwaitNewPdf(folder, before, abortedTitle, 15).isEmpty());
}
