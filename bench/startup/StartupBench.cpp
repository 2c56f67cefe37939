// Start-up of the main window on the million-contact database: from nothing
// to the window showing the first contact, and the memory it then holds.
// Run: build/bin/corvana_startup_bench
#include "../BenchDatabase.h"

#include "ui/main/frmMain.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <benchmark/benchmark.h>

namespace {

void BM_StartMainWindow(benchmark::State &state) {
    const QString folder = QFileInfo(BenchDatabasePath()).absolutePath() + "/";
    int failures = 0;
    for (auto _ : state) {
        TfrmMain window(folder, [&](std::exception_ptr) { ++failures; });
        window.show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(window.rsContacts.FieldNamed("CompanyName")->TextValue());
        state.PauseTiming();
        state.counters["resident_MB"] = ResidentMB();
        state.ResumeTiming();
    }
    state.counters["failures"] = failures;
}
BENCHMARK(BM_StartMainWindow)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BenchDatabasePath();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
