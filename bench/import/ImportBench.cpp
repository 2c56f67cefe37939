// Imports at scale, with the duplicate check: 100,000 vCards (one in ten a
// stored contact's) into a copy of the million-contact database, and a
// million-row comma-separated file into a new database. Each run counts the
// file first, as the import dialog does, then stores it; the counters give
// the peak resident memory of the process.
//
//   build/bin/corvana_import_bench
#include "../BenchDatabase.h"
#include "DatabaseBuilder.h"
#include "data/DBConnection.h"
#include "interchange/ContactFile.h"
#include "interchange/ContactImporter.h"
#include "interchange/VCardWriter.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <stdexcept>

namespace {

ImportedContact Generated(QRandomGenerator &random, qint64 i) {
    ImportedContact contact;
    contact.companyName = QStringLiteral("Imported Company %1").arg(i);
    contact.contactPerson = QStringLiteral("Person %1 Example").arg(random.bounded(100000));
    contact.address = QStringLiteral("%1 Import Street").arg(random.bounded(9999));
    contact.city = QStringLiteral("Town %1").arg(random.bounded(500));
    contact.state = QStringLiteral("Region");
    contact.postCode = QString::number(10000 + random.bounded(89999));
    contact.country = QStringLiteral("Germany");
    contact.phone = QStringLiteral("+49 30 %1").arg(1000000 + i);
    contact.mobile = QStringLiteral("+49 170 %1").arg(2000000 + i);
    contact.email = QStringLiteral("person%1@imported%2.example").arg(i).arg(random.bounded(1000));
    contact.url = QStringLiteral("www.imported%1.example").arg(i);
    contact.note = QStringLiteral("Met at the fair.");
    return contact;
}

QString Connection(const QString &path) {
    return QStringLiteral("Provider=SQLite;Data Source=%1").arg(path);
}

void RunImport(benchmark::State &state, const QString &database, const QString &file) {
    TDBConnection connection;
    connection.SetConnectionString(Connection(database));
    ContactImporter importer(connection, ContactImporter::Defaults{46000, 1, 1});
    ContactFile contacts(file);
    QElapsedTimer timer;
    timer.start();
    const ContactImporter::Counts counts = importer.Count(contacts);
    state.counters["count_s"] = timer.restart() / 1000.0;
    const ContactImporter::Result result =
        importer.Import(contacts, ContactImporter::SkipDuplicates);
    state.counters["store_s"] = timer.elapsed() / 1000.0;
    state.counters["rows"] = double(counts.rows);
    state.counters["duplicates"] = double(counts.duplicates);
    state.counters["added"] = double(result.added);
    state.counters["skipped"] = double(result.skipped);
    state.counters["peak_MB"] = PeakResidentMB();
}

void BM_VCardsIntoAMillion(benchmark::State &state) {
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("_db.mdb"));
    if (!QFile::copy(BenchDatabasePath(), database))
        throw std::runtime_error("cannot copy the benchmark database");
    QString error;
    if (!DatabaseBuilder::Upgrade(database, &error))
        throw std::runtime_error(error.toStdString());
    const QString file = dir.filePath(QStringLiteral("cards.vcf"));
    {
        // One card in ten is a stored contact's, found by its e-mail.
        TDBConnection connection;
        connection.SetConnectionString(Connection(database));
        auto stored =
            connection.Prepare(QStringLiteral("SELECT Email FROM Contacts WHERE Email IS NOT NULL "
                                              "AND ContactID % 97 = 0 LIMIT 10000"));
        QFile out(file);
        out.open(QIODevice::WriteOnly);
        VCardWriter writer(out);
        QRandomGenerator random(42);
        for (qint64 i = 0; i < 100000; ++i) {
            ImportedContact contact = Generated(random, i);
            if (i % 10 == 0 && stored->Step())
                contact.email = stored->Column(0).toString();
            writer.Write(contact);
        }
        stored->Reset();
    }
    for (auto _ : state)
        RunImport(state, database, file);
}
BENCHMARK(BM_VCardsIntoAMillion)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_MillionRowCsvIntoANewDatabase(benchmark::State &state) {
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("_db.mdb"));
    QString error;
    if (!DatabaseBuilder::Create(database, DatabaseBuilder::Options(), &error))
        throw std::runtime_error(error.toStdString());
    const QString file = dir.filePath(QStringLiteral("rows.csv"));
    {
        QFile out(file);
        out.open(QIODevice::WriteOnly);
        out.write("Company,First Name,Last Name,Business Street,Business City,Business Postal "
                  "Code,Country,Business Phone,Mobile Phone,E-mail Address,Web Page,Notes\r\n");
        QRandomGenerator random(43);
        QByteArray chunk;
        for (qint64 i = 0; i < 1000000; ++i) {
            const ImportedContact c = Generated(random, i);
            chunk += (QStringList{c.companyName, QStringLiteral("Ann"), QStringLiteral("Example"),
                                  c.address, c.city, c.postCode, c.country, c.phone, c.mobile,
                                  c.email, c.url, c.note}
                          .join(QLatin1Char(',')) +
                      QStringLiteral("\r\n"))
                         .toUtf8();
            if (chunk.size() > (1 << 20)) {
                out.write(chunk);
                chunk.clear();
            }
        }
        out.write(chunk);
    }
    for (auto _ : state)
        RunImport(state, database, file);
}
BENCHMARK(BM_MillionRowCsvIntoANewDatabase)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
