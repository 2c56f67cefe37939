// Cursor timings on the million-contact database (see BenchDatabase).
// Run: build/bin/corvana_bench [--benchmark_filter=...]
#include "BenchDatabase.h"

#include "data/ConnectionString.h"
#include "data/DBConnection.h"
#include "data/DateTimeValue.h"
#include "data/QueryCursor.h"
#include "data/TableCursor.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <benchmark/benchmark.h>
#include <random>

namespace {

TDBConnection &Connection() {
    static TDBConnection conn("connDB");
    if (!conn.Connected()) {
        const QString folder = QFileInfo(BenchDatabasePath()).absolutePath() + "/";
        conn.SetConnectionString(ConnectionString::ForProgramFolder(folder));
        conn.Open();
    }
    return conn;
}

void SetUpContacts(TTableCursor &cursor) {
    cursor.SetConnection(&Connection());
    cursor.SetTableName("Contacts");
    cursor.SetIndexName("ContactID");
    cursor.SetCursorLocation(clUseServer);
    cursor.SetCursorType(ctKeyset);
    cursor.SetLockType(ltOptimistic);
}

void BM_OpenContacts(benchmark::State &state) {
    for (auto _ : state) {
        TTableCursor cursor("rsContacts");
        SetUpContacts(cursor);
        cursor.Open();
        benchmark::DoNotOptimize(cursor.FieldNamed("ContactID")->IntegerValue());
        state.PauseTiming();
        cursor.Close();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenContacts)->Unit(benchmark::kMillisecond);

void BM_FirstLast(benchmark::State &state) {
    TTableCursor cursor("rsContacts");
    SetUpContacts(cursor);
    cursor.Open();
    bool last = false;
    for (auto _ : state) {
        last ? cursor.First() : cursor.Last();
        last = !last;
        benchmark::DoNotOptimize(cursor.FieldNamed("ContactID")->IntegerValue());
    }
}
BENCHMARK(BM_FirstLast)->Unit(benchmark::kMicrosecond);

void BM_NextPrior(benchmark::State &state) {
    const bool forward = state.range(0) == 1;
    TTableCursor cursor("rsContacts");
    SetUpContacts(cursor);
    cursor.Open();
    if (!forward)
        cursor.Last();
    for (auto _ : state) {
        forward ? cursor.Next() : cursor.Prior();
        benchmark::DoNotOptimize(cursor.FieldNamed("CompanyName")->TextValue());
        if (cursor.Eof() || cursor.Bof()) {
            state.PauseTiming();
            forward ? cursor.First() : cursor.Last();
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_NextPrior)->Arg(1)->Arg(-1)->Unit(benchmark::kMicrosecond);

void BM_LocateById(benchmark::State &state) {
    TTableCursor cursor("rsContacts");
    SetUpContacts(cursor);
    cursor.Open();
    std::mt19937 random(7);
    std::uniform_int_distribution<int> ids(1, 1000000);
    int found = 0;
    for (auto _ : state)
        found += cursor.Locate("ContactID", ids(random)) ? 1 : 0;
    state.counters["found"] = found;
}
BENCHMARK(BM_LocateById)->Unit(benchmark::kMicrosecond);

void BM_PostOneField(benchmark::State &state) {
    TTableCursor cursor("rsContacts");
    SetUpContacts(cursor);
    cursor.Open();
    cursor.Locate("ContactID", 500000);
    int n = 0;
    for (auto _ : state) {
        cursor.Edit();
        cursor.FieldNamed("Phone")->SetTextValue(QStringLiteral("+1 555 %1").arg(++n % 10000));
        cursor.Post();
    }
}
BENCHMARK(BM_PostOneField)->Unit(benchmark::kMillisecond);

void BM_ResidentMemoryOfOpenCursor(benchmark::State &state) {
    TTableCursor cursor("rsContacts");
    SetUpContacts(cursor);
    cursor.Open();
    for (int i = 0; i < 1000; ++i)
        cursor.Next();
    cursor.Last();
    for (auto _ : state)
        benchmark::DoNotOptimize(cursor.FieldNamed("ContactID")->IntegerValue());
    state.counters["resident_MB"] = ResidentMB();
}
BENCHMARK(BM_ResidentMemoryOfOpenCursor)->Iterations(1);

void BM_OpenSelectAll(benchmark::State &state) {
    for (auto _ : state) {
        TQueryCursor query("qrySearch");
        query.SetConnection(&Connection());
        query.SetLockType(ltReadOnly);
        query.SQL().Add("select * from Contacts");
        query.Open();
        benchmark::DoNotOptimize(query.FieldNamed("ContactID")->IntegerValue());
        query.Close();
    }
}
BENCHMARK(BM_OpenSelectAll)->Unit(benchmark::kMillisecond);

void BM_CallbacksOfToday(benchmark::State &state) {
    const double today = DateTimeValue::FromDate(QDate::currentDate());
    int rows = 0;
    for (auto _ : state) {
        TQueryCursor query("qryCallBack");
        query.SetConnection(&Connection());
        query.SetCursorType(ctStatic);
        query.SetLockType(ltReadOnly);
        query.SQL().Add("select * from Contacts where Format(CallbackDate, \"Short Date\") = \"" +
                        DateTimeValue::ShortDateText(today) + "\"");
        query.Open();
        query.Last();
        rows = 0;
        for (query.First(); !query.Eof(); query.Next())
            ++rows;
        query.Close();
    }
    state.counters["rows"] = rows;
}
BENCHMARK(BM_CallbacksOfToday)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    BenchDatabasePath(); // creates the database before anything is timed
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
