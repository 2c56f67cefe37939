// The office's server database beside the file, at a million contacts each:
// the same sample contacts (count, seed and day as the bench file's) on a
// private, durable server started by the benchmark. Each measure runs on
// both engines, so the figures stand side by side:
//   open to the first contact, the search's first screen, the call-backs of
//   a day, one save, the export of every contact.
// Run: build/bin/corvana_server_bench (it first makes the server's contacts:
// a minute or two).
#include "../BenchDatabase.h"

#include "ServerDatabaseBuilder.h"
#include "data/ConnectionString.h"
#include "data/DBConnection.h"
#include "data/DateTimeValue.h"
#include "data/QueryCursor.h"
#include "data/TableCursor.h"
#include "export/ContactExport.h"
#include "support/TempPgServer.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>
#include <stdexcept>

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

// The server and its copy of the bench file's contacts, made once.
QString ServerConnectionString() {
    static std::unique_ptr<TempPgServer> server;
    static QString connection;
    if (!connection.isEmpty())
        return connection;
    server = std::make_unique<TempPgServer>(TempPgServer::Durability::Durable);
    const QString conninfo = server->Conninfo(QStringLiteral("corvana_bench"));
    // The same sample contacts as the bench file (same count, seed and day),
    // made on the server in bulk.
    DatabaseBuilder::Options options;
    options.sampleContacts = kBenchContacts;
    QString error;
    QElapsedTimer timer;
    timer.start();
    if (!ServerDatabaseBuilder::Create(conninfo, options, &error))
        throw std::runtime_error(error.toStdString());
    std::fprintf(stderr, "made %lld contacts on the server in %.1f s\n",
                 static_cast<long long>(kBenchContacts), double(timer.elapsed()) / 1000.0);
    connection = ConnectionString::ForServer(conninfo);
    return connection;
}

QString ConnectionStringOf(const char *engine) {
    if (QByteArray(engine) == "server")
        return ServerConnectionString();
    return ConnectionString::ForProgramFolder(QFileInfo(BenchDatabasePath()).absolutePath() + "/");
}

TDBConnection &Connection(const char *engine) {
    static TDBConnection file("connDB"), server("connDB");
    TDBConnection &conn = QByteArray(engine) == "server" ? server : file;
    if (!conn.Connected()) {
        conn.SetConnectionString(ConnectionStringOf(engine));
        conn.Open();
    }
    return conn;
}

// Reads up to the first screen of a list; how many rows it read.
int FirstScreen(TRecordCursor &cursor) {
    int rows = 0;
    for (; rows < kFirstRows && !cursor.Eof(); ++rows) {
        benchmark::DoNotOptimize(cursor.FieldNamed("CompanyName")->TextValue());
        cursor.Next();
    }
    return rows;
}

// From no connection to the first contact shown, with the lookups and the
// day's call-back list open, as the main window starts.
void BM_OpenToFirstContact(benchmark::State &state, const char *engine) {
    const QString text = ConnectionStringOf(engine);
    const QString today =
        DateTimeValue::ShortDateText(DateTimeValue::FromDate(QDate::currentDate()));
    for (auto _ : state) {
        TDBConnection conn("connDB");
        conn.SetConnectionString(text);
        TTableCursor contacts("rsContacts"), countries("rsCountries"), status("rsStatus");
        for (TTableCursor *table : {&contacts, &countries, &status})
            table->SetConnection(&conn);
        contacts.SetTableName("Contacts");
        contacts.SetIndexName("ContactID");
        countries.SetTableName("Countries");
        status.SetTableName("Status");
        contacts.Open();
        countries.Open();
        status.Open();
        benchmark::DoNotOptimize(contacts.FieldNamed("CompanyName")->TextValue());
        TQueryCursor callbacks("qryCallBack");
        callbacks.SetConnection(&conn);
        callbacks.SQL().Add("select * from Contacts where Format(CallbackDate, \"Short Date\") "
                            "= \"" +
                            today + "\"");
        callbacks.Open();
        FirstScreen(callbacks);
    }
}

void BM_SearchFirstScreen(benchmark::State &state, const char *engine, const char *typed) {
    TDBConnection &conn = Connection(engine);
    int rows = 0;
    for (auto _ : state) {
        TQueryCursor query("qrySearch");
        query.SetConnection(&conn);
        for (const char *head : kSearchHeads)
            query.SQL().Add(QString::fromUtf8(head) + QString::fromUtf8(typed) + "%\"");
        query.Open();
        rows = FirstScreen(query);
        state.PauseTiming();
        query.Close();
        state.ResumeTiming();
    }
    state.counters["rows"] = rows;
}

void BM_CallbacksOfADay(benchmark::State &state, const char *engine) {
    TDBConnection &conn = Connection(engine);
    const QString today =
        DateTimeValue::ShortDateText(DateTimeValue::FromDate(QDate::currentDate()));
    int rows = 0;
    for (auto _ : state) {
        TQueryCursor query("qryCallBack");
        query.SetConnection(&conn);
        query.SQL().Add("select * from Contacts where Format(CallbackDate, \"Short Date\") = \"" +
                        today + "\"");
        query.Open();
        rows = FirstScreen(query);
        state.PauseTiming();
        query.Close();
        state.ResumeTiming();
    }
    state.counters["rows"] = rows;
}

void BM_SaveOneContact(benchmark::State &state, const char *engine) {
    TTableCursor cursor("rsContacts");
    cursor.SetConnection(&Connection(engine));
    cursor.SetTableName("Contacts");
    cursor.SetIndexName("ContactID");
    cursor.Open();
    if (!cursor.Locate("ContactID", 500000))
        throw std::runtime_error("contact 500000 is missing");
    int n = 0;
    for (auto _ : state) {
        cursor.Edit();
        cursor.FieldNamed("Phone")->SetTextValue(QStringLiteral("+1 555 %1").arg(++n % 10000));
        cursor.Post();
    }
}

// The main window's export query over every contact, to a comma-separated
// file.
void BM_ExportEveryContact(benchmark::State &state, const char *engine) {
    const QString folder = QDir::tempPath() + "/corvana-server-bench";
    QDir().mkpath(folder);
    const QString path = folder + "/contacts.csv";
    qint64 rows = 0;
    for (auto _ : state) {
        TQueryCursor query("qryExportContacts");
        query.SetConnection(&Connection(engine));
        query.SQL().Add("select ct.Name as Country, c.* from Contacts c");
        query.SQL().Add("left join Countries ct on ct.CountryID = c.CountryID");
        ContactExport exporter(query, ContactExport::TFlush::EachPiece);
        exporter.SaveTo(path);
        rows = exporter.RowsWritten();
    }
    QFile::remove(path);
    state.counters["rows"] = double(rows);
}

#define BOTH(bench, ...)                                                                           \
    BENCHMARK_CAPTURE(bench, file, "file" __VA_ARGS__)->Unit(benchmark::kMillisecond);             \
    BENCHMARK_CAPTURE(bench, server, "server" __VA_ARGS__)->Unit(benchmark::kMillisecond)

BOTH(BM_OpenToFirstContact);
// Three letters the trigram indexes serve, a common and a rare one.
BENCHMARK_CAPTURE(BM_SearchFirstScreen, file_ber, "file", "ber")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SearchFirstScreen, server_ber, "server", "ber")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SearchFirstScreen, file_zur, "file", "zur")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SearchFirstScreen, server_zur, "server", "zur")->Unit(benchmark::kMillisecond);
BOTH(BM_CallbacksOfADay);
BOTH(BM_SaveOneContact);
BENCHMARK_CAPTURE(BM_ExportEveryContact, file, "file")
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_ExportEveryContact, server, "server")
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1);

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    BenchDatabasePath();
    ServerConnectionString();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
