// Load of a saved report file, as the preview's Load does it (the whole file
// checked, then page 1 read): BM_LoadSavedReport/10000 a report of 10,000
// contact-report-like pages (budget 1 s); BM_RefuseHugeFile a sparse file of
// 2 GB whose one record claims nearly all of it (budget 100 ms);
// BM_LoadLargestPage a page as large as a reader takes. Each reports
// peak_MB, how far the process's peak memory rose during the run (budget
// 100 MB above the process's own before the first case); run a case alone
// (--benchmark_filter) for its own figure.
// Run: build/bin/corvana_saved_report_bench
#include "reports/TQRPageList.h"
#include "reports/TQRPagePicture.h"
#include "reports/TQRPrinter.h"
#include "reports/TQRStream.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

namespace {

QTemporaryDir &Folder() {
    static QTemporaryDir folder;
    return folder;
}

// The process's peak before the first benchmark ran: the program's own.
double baselinePeak = 0;

double PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// Writes a saved report of `pages` pages, each drawn like the contact
// report's: a title and thirty labelled fields.
void WriteSavedReport(const QString &name, int pages) {
    TQRPrinter producer;
    producer.SetDestination(qrdMetafile);
    producer.BeginDoc();
    QFont bold(QStringLiteral("Arial"), 12, QFont::Bold);
    QFont plain(QStringLiteral("Arial"), 10);
    for (int page = 1; page <= pages; ++page) {
        producer.NewPage();
        QPainter *canvas = producer.Canvas();
        canvas->fillRect(QRect(0, 0, producer.XPos(2100), producer.YPos(200)), Qt::white);
        canvas->setFont(bold);
        canvas->drawText(producer.XPos(127), producer.YPos(180),
                         QStringLiteral("Contact Details %1").arg(page));
        canvas->setFont(plain);
        for (int field = 0; field < 30; ++field) {
            const int y = producer.YPos(300 + field * 80);
            canvas->drawText(producer.XPos(127), y, QStringLiteral("Field %1:").arg(field));
            canvas->drawText(producer.XPos(600), y,
                             QStringLiteral("Value %1 of contact %2").arg(field).arg(page));
        }
    }
    producer.EndDoc();
    producer.StorePages(name);
}

// Writes a saved report of one page as large as a reader takes, filled with
// the smallest operations there are: the most a Load holds of one page.
void WriteLargestPage(const QString &name) {
    TQRPagePicture picture(794, 1123);
    TQRPagePicture::Operation text;
    text.kind = TQRPagePicture::Operation::Text;
    text.origin = QPointF(10, 10);
    text.size = 12;
    const int smallest = 36;
    const int count = int((TQRPagePicture::MaxBytes - TQRPagePicture::HeaderSize) / smallest);
    for (int i = 0; i < count; ++i)
        picture.Add(text);
    TQRPageList list;
    list.AddPage(picture);
    list.Finish();
    QFile file(name);
    if (file.open(QIODevice::WriteOnly))
        file.write(list.Stream().Read(0, list.Stream().Size()));
}

// The saved report of `pages` pages (0: the largest page), written by a
// process of its own so that the writing does not count in this one's peak
// memory.
QString SavedReport(int pages) {
    const QString name = Folder().filePath(QStringLiteral("pages%1.qrp").arg(pages));
    if (!QFile::exists(name)) {
        QProcess writer;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("CORVANA_BENCH_WRITE"),
                           QStringLiteral("%1:%2").arg(pages).arg(name));
        writer.setProcessEnvironment(environment);
        writer.start(QCoreApplication::applicationFilePath(), {});
        writer.waitForFinished(-1);
    }
    return name;
}

QString HugeFile() {
    const QString name = Folder().filePath(QStringLiteral("huge.qrp"));
    if (QFile::exists(name))
        return name;
    TQRPageList list;
    list.AddPage(TQRPagePicture(794, 1123));
    list.Finish();
    QByteArray head = list.Stream().Read(0, 128 + 8 + TQRPagePicture::HeaderSize);
    const qint64 size = 2'000'000'000;
    qToLittleEndian<qint32>(qint32(size), head.data() + 132);
    qToLittleEndian<quint32>(quint32(size - 140), head.data() + 144);
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(head) != head.size() || !file.resize(size) ||
        !file.seek(size - 4))
        return QString();
    const char back[4] = {char(128), 0, 0, 0};
    file.write(back, 4);
    return name;
}

void BM_LoadSavedReport(benchmark::State &state) {
    const QString name = SavedReport(int(state.range(0)));
    for (auto _ : state) {
        TQRPrinter producer;
        producer.RestorePages(name);
        benchmark::DoNotOptimize(producer.PageCount());
        if (producer.PageCount() != state.range(0))
            state.SkipWithError("pages lost");
        benchmark::DoNotOptimize(producer.GetPage(int(state.range(0))));
    }
    state.counters["peak_MB"] = PeakMegabytes() - baselinePeak;
    state.counters["file_MB"] = QFile(name).size() / 1e6;
}
BENCHMARK(BM_LoadSavedReport)->Arg(10000)->Unit(benchmark::kMillisecond);

// The largest page a reader takes, about 16 MB of operations.
void BM_LoadLargestPage(benchmark::State &state) {
    const QString name = SavedReport(0);
    for (auto _ : state) {
        TQRPrinter producer;
        producer.RestorePages(name);
        if (producer.PageCount() != 1 || !producer.GetPage(1))
            state.SkipWithError("page lost");
    }
    state.counters["peak_MB"] = PeakMegabytes() - baselinePeak;
    state.counters["file_MB"] = QFile(name).size() / 1e6;
}
BENCHMARK(BM_LoadLargestPage)->Unit(benchmark::kMillisecond);

void BM_RefuseHugeFile(benchmark::State &state) {
    const QString name = HugeFile();
    for (auto _ : state) {
        TQRPrinter producer;
        bool refused = false;
        try {
            producer.RestorePages(name);
        } catch (const EQRError &) {
            refused = true;
        }
        if (!refused)
            state.SkipWithError("accepted");
    }
    state.counters["peak_MB"] = PeakMegabytes() - baselinePeak;
}
BENCHMARK(BM_RefuseHugeFile)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    // CORVANA_BENCH_WRITE=<pages>:<file>: only write that saved report.
    const QString write = qEnvironmentVariable("CORVANA_BENCH_WRITE");
    if (!write.isEmpty()) {
        const int colon = write.indexOf(QLatin1Char(':'));
        const int pages = write.left(colon).toInt();
        if (pages == 0)
            WriteLargestPage(write.mid(colon + 1));
        else
            WriteSavedReport(write.mid(colon + 1), pages);
        return 0;
    }
    baselinePeak = PeakMegabytes();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
