#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <cstdint>

// Creates new contact databases: the schema, the countries, the statuses and,
// on request, sample contacts. The schema includes a trigram full-text index
// over the nine searched columns of Contacts (ContactsSearch, an FTS5 table
// reading its texts from Contacts), kept current by triggers on Contacts. Used by the database
// tool, the tests and the benchmarks. The program itself never creates tables.
class DatabaseBuilder {
public:
    // The value of the file's application id that marks it as one of ours;
    // the program refuses any other file.
    static constexpr std::int32_t kApplicationId = 0x436F7276;

    struct Options {
        std::int64_t sampleContacts = 0;    // how many sample contacts to add
        std::uint64_t seed = 20261208;      // the same seed gives the same contacts
        QDate today = QDate::currentDate(); // call-back days spread around it
    };

    // Creates the database file at `path`. Refuses (returns false, with the
    // reason in `error`) when a file is already there: nothing is overwritten.
    // Also refuses when a write-ahead log or rollback journal of an earlier
    // file of that name is left over, since the engine would replay it into
    // the new file. Missing parent folders are created. The file is built
    // under a temporary name beside it and renamed into place when complete,
    // so an interrupted run never leaves a half-filled database at `path`.
    // The finished file is in WAL journal mode.
    static bool Create(const QString &path, const Options &options, QString *error);

    // Adds sample contacts to an existing database created by Create, in one
    // transaction. Refuses a file whose application id is not kApplicationId.
    // The contacts follow from the seed and from the highest ContactID
    // already present, so adding twice gives different contacts, and the same
    // steps on equal databases give equal results.
    static bool AddSampleContacts(const QString &path, const Options &options, QString *error);

    // Adds what a database made by an earlier version lacks (the import
    // record and the indexes of the duplicate check), in one transaction;
    // what is there already is left as it is, so running it twice is
    // harmless. Refuses a file whose application id is not kApplicationId.
    static bool Upgrade(const QString &path, QString *error);

    // The statuses a new database is filled with, as StatusID 1, 2, ... in
    // this order.
    static QStringList StatusNames();

    // One line per table with its row count, and the number of contacts due
    // for a call-back on `today`, for the tool's summary. Reads only.
    static QString Summary(const QString &path, QString *error);
    static QString Summary(const QString &path, const QDate &today, QString *error);
};
