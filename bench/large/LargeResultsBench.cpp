// Large results at a million contacts, each beside the engine's own floor in
// the same run, with the ratio printed as a counter:
// - Save Contacts' export against the sqlite3 shell writing the same rows as
//   CSV (whole process, output to a file), the fastest of three turns each;
// - the search list of all contacts read to its end (Ctrl+End) against the
//   engine stepping the same statement's rows;
// - a search the index cannot serve (two letters over the nine columns)
//   with the program's own LIKE against the engine's built-in LIKE.
// Run: build/bin/corvana_large_bench
#include "../BenchDatabase.h"

#include "data/DBConnection.h"
#include "data/QueryCursor.h"
#include "export/ContactExport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <benchmark/benchmark.h>

#include <sqlite3.h>
#include <sys/resource.h>

namespace {

const char *const kExportSql = "select ct.Name as Country, c.* from Contacts c "
                               "left join Countries ct on ct.CountryID = c.CountryID";

double Seconds(const QElapsedTimer &clock) {
    return double(clock.nsecsElapsed()) / 1e9;
}

// Seconds of processor time (user and system) of this process, or of its
// waited-for children.
double ProcessorSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The export of every contact, timed against the shell writing the same rows,
// each three times in turn: the fastest of each is the figure least disturbed
// by whatever else the machine does, and the ratio is taken of those.
void BM_ExportAgainstTheShell(benchmark::State &state) {
    const QString shell = QStandardPaths::findExecutable("sqlite3");
    if (shell.isEmpty()) {
        state.SkipWithError("the sqlite3 shell is not installed");
        return;
    }
    const QString folder = QDir::tempPath() + "/corvana-large-bench";
    QDir().mkpath(folder);
    const QString ours = folder + "/ours.csv";
    const QString theirs = folder + "/shell.csv";
    constexpr int kTurns = 3;
    for (auto _ : state) {
        double program = 1e9, floor = 1e9, programCpu = 1e9, floorCpu = 1e9;
        double highest = ResidentMB();
        for (int turn = 0; turn < kTurns; ++turn) {
            QElapsedTimer clock;
            clock.start();
            const double cpuBefore = ProcessorSeconds(RUSAGE_SELF);
            TQueryCursor query("qryExportContacts");
            query.SetConnection(&BenchConnection());
            query.SQL().Add("select ct.Name as Country, c.* from Contacts c");
            query.SQL().Add("left join Countries ct on ct.CountryID = c.CountryID");
            auto rows = std::make_shared<qint64>(0);
            query.AfterScroll = [rows, &highest](TRecordCursor &) {
                if (++*rows % 50000 == 0)
                    highest = std::max(highest, ResidentMB());
            };
            ContactExport exporter(query);
            exporter.SaveTo(ours);
            program = std::min(program, Seconds(clock));
            programCpu = std::min(programCpu, ProcessorSeconds(RUSAGE_SELF) - cpuBefore);

            QProcess process;
            process.setStandardOutputFile(theirs);
            const double childrenBefore = ProcessorSeconds(RUSAGE_CHILDREN);
            clock.restart();
            process.start(shell, {"-csv", BenchDatabasePath(), kExportSql});
            process.waitForFinished(-1);
            floor = std::min(floor, Seconds(clock));
            floorCpu = std::min(floorCpu, ProcessorSeconds(RUSAGE_CHILDREN) - childrenBefore);
        }
        state.counters["program_s"] = program;
        state.counters["program_MB_per_s"] = QFileInfo(ours).size() / 1e6 / program;
        state.counters["rss_highest_MB"] = highest;
        state.counters["shell_s"] = floor;
        state.counters["shell_MB_per_s"] = QFileInfo(theirs).size() / 1e6 / floor;
        state.counters["ratio"] = program / floor;
        state.counters["cpu_ratio"] = programCpu / floorCpu;
    }
    QFile::remove(ours);
    QFile::remove(theirs);
}
BENCHMARK(BM_ExportAgainstTheShell)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// The engine stepping every row of a statement, reading every column.
double EngineSteps(const char *sql, qint64 *rowsOut) {
    sqlite3 *db = nullptr;
    sqlite3_open_v2(BenchDatabasePath().toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *statement = nullptr;
    QElapsedTimer clock;
    clock.start();
    sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    qint64 rows = 0;
    qint64 bytes = 0;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        for (int i = 0; i < sqlite3_column_count(statement); ++i)
            bytes += sqlite3_column_bytes(statement, i);
        ++rows;
    }
    sqlite3_finalize(statement);
    const double seconds = Seconds(clock);
    sqlite3_close(db);
    benchmark::DoNotOptimize(bytes);
    *rowsOut = rows;
    return seconds;
}

void BM_ListToTheEnd(benchmark::State &state) {
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        TQueryCursor query("qrySearch");
        query.SetConnection(&BenchConnection());
        query.SetCursorType(ctOpenForwardOnly);
        query.SetLockType(ltReadOnly);
        query.SQL().Add("select * from Contacts");
        query.Open();
        const double opened = Seconds(clock);
        query.Last();
        const double program = Seconds(clock);
        benchmark::DoNotOptimize(query.FieldNamed("CompanyName")->TextValue());
        // Everything the query keeps on disk lies in the bench's own
        // temporary folder; its files may have no name, so they are found
        // among the open files.
        qint64 spill = 0;
        for (const QFileInfo &fd :
             QDir("/proc/self/fd").entryInfoList(QDir::System | QDir::Files)) {
            if (fd.symLinkTarget().startsWith(QDir::tempPath()))
                spill += QFileInfo(fd.absoluteFilePath()).size();
        }
        state.counters["open_ms"] = opened * 1000;
        state.counters["to_the_end_ms"] = program * 1000;
        state.counters["records"] = query.RecordCount();
        state.counters["temp_file_MB"] = spill / 1e6;
        state.counters["rss_MB"] = ResidentMB();
        query.Close();
        qint64 rows = 0;
        const double floor = EngineSteps("select * from Contacts", &rows);
        state.counters["engine_ms"] = floor * 1000;
        state.counters["ratio"] = program / floor;
    }
}
BENCHMARK(BM_ListToTheEnd)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

QByteArray ShortSearch(const char *text) {
    QByteArray sql = "select count(*) from Contacts where ";
    const char *columns[] = {"CompanyName", "ContactPerson", "City", "State",  "PostCode",
                             "Phone",       "Mobile",        "Url",  "Address"};
    for (int i = 0; i < 9; ++i)
        sql += QByteArray(i ? " or " : "") + columns[i] + " like '%" + text + "%'";
    return sql;
}

double CountOn(sqlite3 *db, const QByteArray &sql, qint64 *count) {
    sqlite3_stmt *statement = nullptr;
    QElapsedTimer clock;
    clock.start();
    sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr);
    if (sqlite3_step(statement) == SQLITE_ROW)
        *count = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    return Seconds(clock);
}

void BM_ScanSearchAgainstTheBuiltInLike(benchmark::State &state, const char *text) {
    const QByteArray sql = ShortSearch(text);
    for (auto _ : state) {
        qint64 ours = -1;
        QElapsedTimer clock;
        clock.start();
        auto statement = BenchConnection().Prepare(QString::fromUtf8(sql));
        if (statement->Step())
            ours = statement->Column(0).toLongLong();
        statement->Reset();
        const double program = Seconds(clock);
        sqlite3 *db = nullptr;
        sqlite3_open_v2(BenchDatabasePath().toUtf8().constData(), &db, SQLITE_OPEN_READONLY,
                        nullptr);
        qint64 builtIn = -1;
        const double floor = CountOn(db, sql, &builtIn);
        sqlite3_close(db);
        state.counters["program_ms"] = program * 1000;
        state.counters["builtin_ms"] = floor * 1000;
        state.counters["ratio"] = program / floor;
        state.counters["rows"] = double(ours);
        state.counters["builtin_rows"] = double(builtIn);
    }
}
BENCHMARK_CAPTURE(BM_ScanSearchAgainstTheBuiltInLike, two_letters, "be")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ScanSearchAgainstTheBuiltInLike, found_nowhere, "xq")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

} // namespace

int main(int argc, char **argv) {
    // A temporary folder of the bench's own, so that the lists' temporary
    // files can be measured.
    const QString temp = QDir::tempPath() + "/corvana-large-bench-tmp";
    QDir(temp).removeRecursively();
    QDir().mkpath(temp);
    qputenv("TMPDIR", temp.toLocal8Bit());
    QCoreApplication app(argc, argv);
    BenchDatabasePath();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
