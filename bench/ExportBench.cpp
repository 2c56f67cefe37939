// "Save Contacts ..." over the million-contact database (see BenchDatabase):
// the export query read to its end and written as comma-separated text,
// with the file written once per piece (args 0) or once per line (args 1),
// over the first N contacts. Counters: the rate of the file in bytes per
// second, the rows, and the resident memory at the start and at its highest
// during the export (sampled every 50,000 rows), which must not grow with N.
// BM_ExportReadOnly reads the same rows (and with texts:1 every exported
// field's TextValue) without writing a file, to show where the time and the
// memory go.
// The rate is taken over the elapsed time, not the processor time.
// Run: build/bin/corvana_bench --benchmark_filter=Export
#include "BenchDatabase.h"

#include "data/ConnectionString.h"
#include "data/DBConnection.h"
#include "data/QueryCursor.h"
#include "export/ContactExport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <benchmark/benchmark.h>

namespace {

TDBConnection &ExportConnection() {
    static TDBConnection conn("connDB");
    if (!conn.Connected()) {
        const QString folder = QFileInfo(BenchDatabasePath()).absolutePath() + "/";
        conn.SetConnectionString(ConnectionString::ForProgramFolder(folder));
        conn.Open();
    }
    return conn;
}

// The main window's export query, limited to the first `contacts` contacts.
void SetUpExport(TQueryCursor &query, std::int64_t contacts) {
    query.SetConnection(&ExportConnection());
    query.SQL().Add("select ct.Name as Country, c.* from Contacts c");
    query.SQL().Add("left join Countries ct on ct.CountryID = c.CountryID");
    if (contacts < kBenchContacts)
        query.SQL().Add(QString("where c.ContactID <= %1").arg(contacts));
}

// Samples the resident memory while the query is read.
void WatchMemory(TQueryCursor &query, double &highest) {
    auto rows = std::make_shared<qint64>(0);
    query.AfterScroll = [rows, &highest](TRecordCursor &) {
        if (++*rows % 50000 == 0)
            highest = std::max(highest, ResidentMB());
    };
}

void BM_ExportCsv(benchmark::State &state) {
    const auto flush =
        state.range(0) == 0 ? ContactExport::TFlush::EachPiece : ContactExport::TFlush::EachRow;
    const QString folder = QDir::tempPath() + "/corvana-export-bench";
    QDir().mkpath(folder);
    const QString path = folder + "/contacts.csv";
    qint64 bytes = 0;
    qint64 rows = 0;
    double start = 0;
    double highest = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TQueryCursor query("qryExportContacts");
        SetUpExport(query, state.range(1));
        start = ResidentMB();
        highest = start;
        WatchMemory(query, highest);
        state.ResumeTiming();

        ContactExport exporter(query, flush);
        exporter.SaveTo(path);
        bytes += exporter.BytesWritten();
        rows = exporter.RowsWritten();
    }
    QFile::remove(path);
    state.SetBytesProcessed(bytes);
    state.counters["rows"] = double(rows);
    state.counters["file_MB"] = double(bytes) / double(state.iterations()) / 1e6;
    state.counters["rss_start_MB"] = start;
    state.counters["rss_highest_MB"] = highest;
}
BENCHMARK(BM_ExportCsv)
    ->ArgsProduct({{0, 1}, {100000, kBenchContacts}})
    ->ArgNames({"each_row", "contacts"})
    ->UseRealTime()
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

void BM_ExportReadOnly(benchmark::State &state) {
    qint64 rows = 0;
    qint64 characters = 0;
    double start = 0;
    double highest = 0;
    for (auto _ : state) {
        TQueryCursor query("qryExportContacts");
        SetUpExport(query, kBenchContacts);
        start = ResidentMB();
        highest = start;
        WatchMemory(query, highest);
        query.Open();
        std::vector<TField *> fields;
        for (int i = 0; i < query.FieldCount(); ++i)
            if (ContactExport::IsExported(query.Fields(i)->DataType()))
                fields.push_back(query.Fields(i));
        rows = 0;
        while (!query.Eof()) {
            if (state.range(0) != 0)
                for (TField *field : fields)
                    characters += field->TextValue().size();
            ++rows;
            query.Next();
        }
        query.Close();
    }
    benchmark::DoNotOptimize(characters);
    state.counters["rows"] = double(rows);
    state.counters["rss_start_MB"] = start;
    state.counters["rss_highest_MB"] = highest;
}
BENCHMARK(BM_ExportReadOnly)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("texts")
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

} // namespace
