// A query over every contact read to its end, as Ctrl+End in a list of all
// contacts does: the time, and the process's peak resident memory, which must
// stay small however many rows the result has.
// Run alone, so that the peak is this benchmark's own:
//   build/bin/corvana_bench --benchmark_filter=BM_QueryAllToTheEnd
#include "BenchDatabase.h"

#include "data/ConnectionString.h"
#include "data/DBConnection.h"
#include "data/QueryCursor.h"

#include <QFile>
#include <QFileInfo>
#include <benchmark/benchmark.h>

namespace {

// The highest resident memory of this process so far, in MB; 0 when unknown.
TDBConnection &RowsConnection() {
    static TDBConnection conn("connRows");
    if (!conn.Connected()) {
        const QString folder = QFileInfo(BenchDatabasePath()).absolutePath() + "/";
        conn.SetConnectionString(ConnectionString::ForProgramFolder(folder));
        conn.Open();
    }
    return conn;
}

void SetUpSearch(TQueryCursor &query) {
    query.SetConnection(&RowsConnection());
    query.SetCursorType(ctOpenForwardOnly);
    query.SetLockType(ltReadOnly);
    query.SQL().Add("select * from Contacts");
}

void BM_QueryAllToTheEnd(benchmark::State &state) {
    qint64 records = 0;
    for (auto _ : state) {
        TQueryCursor query("qrySearch");
        SetUpSearch(query);
        query.Open();
        query.Last();
        benchmark::DoNotOptimize(query.FieldNamed("CompanyName")->TextValue());
        records = query.RecordCount();
        if (query.RecNo() != records)
            state.SkipWithError("the last row is not the last record");
        state.PauseTiming();
        query.Close();
        state.ResumeTiming();
    }
    state.counters["records"] = double(records);
    state.counters["peak_resident_MB"] = PeakResidentMB();
}
BENCHMARK(BM_QueryAllToTheEnd)->Unit(benchmark::kMillisecond)->Iterations(3);

// Every row read back: a search for the last contact scans the whole result.
void BM_QueryLocateScansAllRows(benchmark::State &state) {
    TQueryCursor query("qrySearch");
    SetUpSearch(query);
    query.Open();
    query.Last();
    const qint64 lastId = query.FieldNamed("ContactID")->IntegerValue();
    for (auto _ : state) {
        if (!query.Locate("ContactID", lastId))
            state.SkipWithError("the last contact was not found");
    }
    state.counters["peak_resident_MB"] = PeakResidentMB();
}
BENCHMARK(BM_QueryLocateScansAllRows)->Unit(benchmark::kMillisecond)->Iterations(3);

// Jumps to record numbers across the result, as dragging the scroll bar does.
void BM_QuerySetRecNo(benchmark::State &state) {
    TQueryCursor query("qrySearch");
    SetUpSearch(query);
    query.Open();
    query.Last();
    const qint64 count = query.RecordCount();
    qint64 number = 1;
    for (auto _ : state) {
        number = (number + 104729) % count + 1;
        query.SetRecNo(number);
        benchmark::DoNotOptimize(query.FieldNamed("CompanyName")->TextValue());
    }
}
BENCHMARK(BM_QuerySetRecNo)->Unit(benchmark::kMicrosecond);

} // namespace
