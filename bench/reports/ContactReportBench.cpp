// "Print ..." of one contact of the million-contact database (see
// BenchDatabase), from the command to the page handed to the printer: a fresh
// report form, its query opened on the contact's key, and Print with its
// progress window, into a 600 dpi PDF writer kept in memory in place of the
// printer. The budget is 300 ms.
// BM_ContactReportFirstPrint is the first print of a process (fonts not yet
// loaded); BM_ContactReportPrint a print like every later one.
// BM_ContactReportExport/<format> is the preview's Save in an export format:
// the report of a loaded contact produced again into a file (0 HTML, 1 CSV,
// 2 text), with its progress window.
// Run: build/bin/corvana_report_bench
#include "../BenchDatabase.h"

#include "data/ConnectionString.h"
#include "data/DBConnection.h"
#include "reports/QRpt.h"
#include "reports/TQRAsciiExportFilter.h"
#include "reports/TQRCommaSeparatedFilter.h"
#include "reports/TQRHTMLDocumentFilter.h"
#include "reports/TQRPrinter.h"
#include "reports/TQRReport.h"

#include <QApplication>
#include <QBuffer>
#include <QFileInfo>
#include <QFont>
#include <QPageLayout>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

TDBConnection &ReportConnection() {
    static TDBConnection conn("connDB");
    if (!conn.Connected()) {
        const QString folder = QFileInfo(BenchDatabasePath()).absolutePath() + "/";
        conn.SetConnectionString(ConnectionString::ForProgramFolder(folder));
        conn.Open();
    }
    return conn;
}

// Prints one contact as the main window's print command does; returns the
// size of the PDF written.
qint64 PrintContact(const QString &key) {
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    QPdfWriter writer(&pdf);
    writer.setResolution(600);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
    auto form = std::make_unique<TQRMDForm>();
    form->Report->ProducerSetup = [&writer](TQRPrinter &producer) {
        producer.SetOutputDevice(&writer);
    };
    form->LoadContact(ReportConnection(), key);
    form->Report->Print();
    return pdf.size();
}

// A contact in the middle of the database.
QString MiddleKey() {
    return QString::number(kBenchContacts / 2);
}

void BM_ContactReportFirstPrint(benchmark::State &state) {
    for (auto _ : state)
        state.counters["pdf_bytes"] = double(PrintContact(MiddleKey()));
}
BENCHMARK(BM_ContactReportFirstPrint)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ContactReportPrint(benchmark::State &state) {
    qint64 key = kBenchContacts / 3;
    for (auto _ : state) {
        state.counters["pdf_bytes"] = double(PrintContact(QString::number(++key)));
    }
}
BENCHMARK(BM_ContactReportPrint)->Unit(benchmark::kMillisecond);

void BM_ContactReportExport(benchmark::State &state) {
    const TQRExportFilterClass formats[] = {&TQRHTMLDocumentFilter::Create,
                                            &TQRCommaSeparatedFilter::Create,
                                            &TQRAsciiExportFilter::Create};
    QTemporaryDir folder;
    TQRMDForm form;
    form.LoadContact(ReportConnection(), MiddleKey());
    const QString fileName = folder.filePath(QStringLiteral("contact"));
    for (auto _ : state) {
        const std::unique_ptr<TQRExportFilter> exportFilter = formats[state.range(0)](fileName);
        form.Report->ExportToFilter(*exportFilter);
    }
    state.counters["file_bytes"] = double(QFileInfo(fileName).size());
}
BENCHMARK(BM_ContactReportExport)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The program's font mapping: the report's fonts are drawn by their
    // metric twins.
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Times New Roman"),
                              QStringLiteral("Liberation Serif"));
    // The PDF writer stands in for the printer, so a machine without one
    // still runs the whole command.
    TQRPrinter::SetPrinterInstalledHook([] { return true; });
    ReportConnection();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
