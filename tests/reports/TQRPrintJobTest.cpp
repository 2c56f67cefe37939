#include "reports/TQRPrintJob.h"

#include <QFile>
#include <QPrinter>
#include <gtest/gtest.h>

namespace {

QByteArray OptionValue(const TQRPrintJob::Options &options, const QByteArray &name) {
    for (const auto &option : options) {
        if (option.first == name)
            return option.second;
    }
    return QByteArray("(none)");
}

} // namespace

TEST(TQRPrintJob, QueueOptionsCarryPaperCopiesOrientationAndRange) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    TQRPrintJob::Options plain = TQRPrintJob::QueueOptions(printer);
    EXPECT_EQ(OptionValue(plain, "media"), "A4");
    EXPECT_EQ(OptionValue(plain, "copies"), "(none)");
    EXPECT_EQ(OptionValue(plain, "landscape"), "(none)");
    EXPECT_EQ(OptionValue(plain, "page-ranges"), "(none)");
    // Two-sided printing stays the printer's own choice.
    EXPECT_EQ(OptionValue(plain, "sides"), "(none)");

    printer.setCopyCount(2);
    printer.setCollateCopies(false);
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setPrintRange(QPrinter::PageRange);
    printer.setFromTo(2, 3);
    TQRPrintJob::Options full = TQRPrintJob::QueueOptions(printer);
    EXPECT_EQ(OptionValue(full, "copies"), "2");
    EXPECT_EQ(OptionValue(full, "Collate"), "False");
    EXPECT_EQ(OptionValue(full, "landscape"), "");
    EXPECT_EQ(OptionValue(full, "page-ranges"), "2-3");
}

TEST(TQRPrintJob, ASpoolFileKeepsThePrintersOwnOutputAndIsRemovedOnDiscard) {
    if (!TQRPrintJob::Available())
        GTEST_SKIP() << "no print queue client on this system";
    QPrinter printer(QPrinter::HighResolution);
    const QPrinter::OutputFormat format = printer.outputFormat();
    TQRPrintJob job;
    ASSERT_TRUE(job.Spool(printer));
    EXPECT_TRUE(QFile::exists(job.SpoolFile()));
    EXPECT_EQ(printer.outputFileName(), job.SpoolFile());
    EXPECT_EQ(printer.outputFormat(), format);
    const QString spoolFile = job.SpoolFile();
    job.Discard(printer);
    EXPECT_FALSE(QFile::exists(spoolFile));
    EXPECT_TRUE(printer.outputFileName().isEmpty());
}

TEST(TQRPrintJob, AJobLeftAloneRemovesItsSpoolFile) {
    if (!TQRPrintJob::Available())
        GTEST_SKIP() << "no print queue client on this system";
    QPrinter printer(QPrinter::HighResolution);
    QString spoolFile;
    {
        TQRPrintJob job;
        ASSERT_TRUE(job.Spool(printer));
        spoolFile = job.SpoolFile();
    }
    EXPECT_FALSE(QFile::exists(spoolFile));
}
