// Backups of the million-contact database as the window makes them: the
// automatic backup on its own thread while the window's event loop runs (the
// longest the loop went without turning is how long the window did not
// answer), the close with and without a backup due, the check of a copy, the
// start-up check and a restore; beside them the engine's own backup in one
// step, the floor. Run: build/bin/corvana_safety_bench
#include "../BenchDatabase.h"

#include "data/Field.h"
#include "safety/BackupFolder.h"
#include "sqlite/SqliteBackup.h"
#include "sqlite/SqliteEngine.h"
#include "ui/main/SafetyCommands.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <sqlite3.h>

namespace {

// Notes when a watched window is hidden.
class HideWatch : public QObject {
public:
    HideWatch(QElapsedTimer &clock, qint64 &at) : clock_(clock), at_(at) {}
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Hide && at_ < 0)
            at_ = clock_.elapsed();
        return false;
    }

private:
    QElapsedTimer &clock_;
    qint64 &at_;
};

QString Folder() {
    return QFileInfo(BenchDatabasePath()).absolutePath() + "/";
}

void RemoveBackups() {
    QDir(Folder() + "backups").removeRecursively();
}

// The engine alone: every page in one step, no check, no sync.
void BM_EngineBackupFloor(benchmark::State &state) {
    QTemporaryDir dir(Folder() + "floor-XXXXXX");
    for (auto _ : state) {
        const QString target = dir.path() + "/floor.mdb";
        sqlite3 *src = nullptr;
        sqlite3 *dst = nullptr;
        sqlite3_open_v2(BenchDatabasePath().toUtf8().constData(), &src, SQLITE_OPEN_READONLY,
                        nullptr);
        sqlite3_open_v2(target.toUtf8().constData(), &dst,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        sqlite3_exec(dst, "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF", nullptr, nullptr,
                     nullptr);
        sqlite3_backup *backup = sqlite3_backup_init(dst, "main", src, "main");
        sqlite3_backup_step(backup, -1);
        sqlite3_backup_finish(backup);
        sqlite3_close(dst);
        sqlite3_close(src);
        state.counters["MB"] = QFileInfo(target).size() / 1e6;
        QFile::remove(target);
    }
}
BENCHMARK(BM_EngineBackupFloor)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// The automatic backup with the window open: the event loop turns every
// 10 ms while the copy runs; the longest gap is what a user could feel.
void BM_AutomaticBackupWhileTheWindowRuns(benchmark::State &state) {
    RemoveBackups();
    TfrmMain window(Folder(), [](std::exception_ptr) {});
    window.show();
    QApplication::processEvents();
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        if (!window.safety->StartAutomaticBackup()) {
            state.SkipWithError("no backup was started");
            return;
        }
        qint64 last = clock.elapsed();
        qint64 longest = 0;
        QEventLoop loop;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
            const qint64 at = clock.elapsed();
            longest = std::max(longest, at - last);
            last = at;
            if (window.safety->BackupsFolder().isEmpty() ||
                !BackupFolder(BenchDatabasePath(), window.safety->BackupsFolder()).List().isEmpty())
                loop.quit();
        });
        tick.start(10);
        loop.exec();
        window.safety->WaitForAutomaticBackup();
        state.counters["longest_gap_ms"] = double(longest);
        state.counters["total_s"] = clock.elapsed() / 1000.0;
    }
    RemoveBackups();
}
BENCHMARK(BM_AutomaticBackupWhileTheWindowRuns)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

// Closing the window when today's backup is made already: what close adds
// is folding the log in. And with a backup due: the window goes at once,
// the program ends when the copy is made.
void BM_CloseTheWindow(benchmark::State &state) {
    const bool due = state.range(0) != 0;
    for (auto _ : state) {
        state.PauseTiming();
        RemoveBackups();
        auto window = std::make_unique<TfrmMain>(Folder(), [](std::exception_ptr) {});
        window->show();
        QApplication::processEvents();
        if (!due) {
            window->safety->StartAutomaticBackup();
            window->safety->WaitForAutomaticBackup();
        }
        // A change, so the log has something to fold in.
        window->rsContacts.Edit();
        window->rsContacts.FieldNamed("Note")->SetTextValue(
            QString::number(QDateTime::currentMSecsSinceEpoch()));
        window->rsContacts.Post();
        qint64 hiddenAt = -1;
        QElapsedTimer clock;
        state.ResumeTiming();
        clock.start();
        HideWatch watch(clock, hiddenAt);
        window->installEventFilter(&watch);
        window->close();
        window.reset();
        state.counters["closed_ms"] = double(clock.elapsed());
        state.counters["window_hidden_ms"] = double(hiddenAt);
    }
    RemoveBackups();
    state.counters["wal_left"] = QFileInfo::exists(BenchDatabasePath() + "-wal");
}
BENCHMARK(BM_CloseTheWindow)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

// The checks: a copy's full check before a restore, the quick check of the
// start after an unclean end, and the restore of a copy into the live file.
void BM_ChecksAndRestore(benchmark::State &state) {
    QTemporaryDir dir(Folder() + "restore-XXXXXX");
    const QString copy = dir.path() + "/copy.mdb";
    {
        SqliteBackup backup(BenchDatabasePath(), copy, 5000, false);
        while (!backup.Step()) {
        }
        backup.Finish();
    }
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        const QString unsound = SqliteBackup::Unsound(copy, SqliteEngine::kApplicationId);
        state.counters["full_check_s"] = clock.restart() / 1000.0;
        const QString problems = SqliteBackup::QuickCheck(BenchDatabasePath(), 5000);
        state.counters["quick_check_s"] = clock.restart() / 1000.0;
        SqliteBackup::Restore(copy, BenchDatabasePath(), 5000);
        state.counters["restore_s"] = clock.restart() / 1000.0;
        if (!unsound.isEmpty() || !problems.isEmpty())
            state.SkipWithError((unsound + problems).toUtf8().constData());
    }
}
BENCHMARK(BM_ChecksAndRestore)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// Delete in the editor and Undo Delete from the menu on a million contacts:
// the kept copy and the delete in one transaction, then the contact put back
// and the editor and both lists read again.
void BM_DeleteAndUndo(benchmark::State &state) {
    TfrmMain window(Folder(), [](std::exception_ptr) {});
    window.show();
    QApplication::processEvents();
    if (!window.rsContacts.Locate("ContactID", 500000)) {
        state.SkipWithError("no contact 500000");
        return;
    }
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        window.safety->DeleteContact([&] { window.rsContacts.Delete(); });
        state.counters["delete_ms"] = double(clock.restart());
        window.safety->UndoDelete();
        state.counters["undo_ms"] = double(clock.elapsed());
        if (window.rsContacts.FieldNamed("ContactID")->IntegerValue() != 500000)
            state.SkipWithError("the editor is not on the contact put back");
    }
}
BENCHMARK(BM_DeleteAndUndo)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

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
