// The search tab's and the call-back list's queries on the million-contact
// database (see BenchDatabase): opening each as the program does and reading
// the first rows the list shows.
// Run: build/bin/corvana_bench --benchmark_filter='Search|CallbacksFirst'
#include "BenchDatabase.h"

#include "data/ConnectionString.h"
#include "data/DBConnection.h"
#include "data/DateTimeValue.h"
#include "data/QueryCursor.h"

#include <QDate>
#include <QFileInfo>
#include <benchmark/benchmark.h>

namespace {

constexpr int kFirstRows = 20;

const char *const kSearchHeads[] = {
    "select * from Contacts where CompanyName like \"%",
    " or ContactPerson like \"%",
    " or City like \"%",
    " or State like \"%",
    " or PostCode like \"%",
    " or Phone like \"%",
    " or Mobile like \"%",
    " or Url like \"%",
    " or Address like \"%",
};

TDBConnection &SearchConnection() {
    static TDBConnection conn("connDB");
    if (!conn.Connected()) {
        const QString folder = QFileInfo(BenchDatabasePath()).absolutePath() + "/";
        conn.SetConnectionString(ConnectionString::ForProgramFolder(folder));
        conn.Open();
    }
    return conn;
}

// Opens the query read-only and forward-only and reads up to the first 20
// rows; how many it read.
int OpenAndReadFirstRows(TQueryCursor &query) {
    query.SetConnection(&SearchConnection());
    query.SetCursorType(ctOpenForwardOnly);
    query.SetLockType(ltReadOnly);
    query.Open();
    int rows = 0;
    for (; rows < kFirstRows && !query.Eof(); ++rows) {
        benchmark::DoNotOptimize(query.FieldNamed("CompanyName")->TextValue());
        query.Next();
    }
    return rows;
}

void BM_SearchFirstRows(benchmark::State &state, const char *typed) {
    int rows = 0;
    for (auto _ : state) {
        TQueryCursor query("qrySearch");
        for (const char *head : kSearchHeads)
            query.SQL().Add(QString::fromUtf8(head) + QString::fromUtf8(typed) + "%\"");
        rows = OpenAndReadFirstRows(query);
        state.PauseTiming();
        query.Close();
        state.ResumeTiming();
    }
    state.counters["rows"] = rows;
}
// Three letters go through the search index; two letters are too short for
// it and scan the table until 20 rows are found; a text found nowhere scans
// nothing with the index and everything without it.
BENCHMARK_CAPTURE(BM_SearchFirstRows, three_letters, "ber")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SearchFirstRows, three_letters_rare, "zur")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SearchFirstRows, two_letters, "be")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SearchFirstRows, three_letters_no_match, "zqx")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SearchFirstRows, two_letters_no_match, "xü")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

void BM_CallbacksFirstRows(benchmark::State &state) {
    const QString today =
        DateTimeValue::ShortDateText(DateTimeValue::FromDate(QDate::currentDate()));
    int rows = 0;
    for (auto _ : state) {
        TQueryCursor query("qryCallBack");
        query.SQL().Add("select * from Contacts where Format(CallbackDate, \"Short Date\") = \"" +
                        today + "\"");
        rows = OpenAndReadFirstRows(query);
        state.PauseTiming();
        query.Close();
        state.ResumeTiming();
    }
    state.counters["rows"] = rows;
}
BENCHMARK(BM_CallbacksFirstRows)->Unit(benchmark::kMillisecond);

// An empty search text lists every contact: scrolling the list to its end
// must not hold the million rows in memory. Run it alone to read the peak.
void BM_SearchEveryContactToTheEnd(benchmark::State &state) {
    qint64 records = 0;
    for (auto _ : state) {
        TQueryCursor query("qrySearch");
        for (const char *head : kSearchHeads)
            query.SQL().Add(QString::fromUtf8(head) + "%\"");
        OpenAndReadFirstRows(query);
        query.Last();
        records = query.RecordCount();
        state.PauseTiming();
        query.Close();
        state.ResumeTiming();
    }
    state.counters["records"] = double(records);
    state.counters["peak_resident_MB"] = PeakResidentMB();
}
BENCHMARK(BM_SearchEveryContactToTheEnd)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
