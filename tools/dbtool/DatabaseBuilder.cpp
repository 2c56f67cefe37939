#include "DatabaseBuilder.h"

#include "CountryList.h"
#include "SampleContactGenerator.h"

#include <QByteArrayList>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <memory>
#include <sqlite3.h>

namespace {

using DbHandle = std::unique_ptr<sqlite3, int (*)(sqlite3 *)>;
using Statement = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)>;

constexpr int kBusyTimeoutMs = 5000;

// The declared types are what the program's engine reads the field types
// from; every sized text column carries a named check that the engine turns
// into a readable message.
const char *const kSchema = R"sql(
CREATE TABLE Contacts (
    ContactID INTEGER PRIMARY KEY AUTOINCREMENT,
    CompanyName VARCHAR(100) CONSTRAINT size_CompanyName_100 CHECK (length(CompanyName) <= 100),
    ContactPerson VARCHAR(100) CONSTRAINT size_ContactPerson_100 CHECK (length(ContactPerson) <= 100),
    CountryID INTEGER,
    State VARCHAR(50) CONSTRAINT size_State_50 CHECK (length(State) <= 50),
    City VARCHAR(50) CONSTRAINT size_City_50 CHECK (length(City) <= 50),
    Address VARCHAR(255) CONSTRAINT size_Address_255 CHECK (length(Address) <= 255),
    PostCode VARCHAR(20) CONSTRAINT size_PostCode_20 CHECK (length(PostCode) <= 20),
    Phone VARCHAR(30) CONSTRAINT size_Phone_30 CHECK (length(Phone) <= 30),
    Fax VARCHAR(30) CONSTRAINT size_Fax_30 CHECK (length(Fax) <= 30),
    Mobile VARCHAR(30) CONSTRAINT size_Mobile_30 CHECK (length(Mobile) <= 30),
    Email VARCHAR(100) CONSTRAINT size_Email_100 CHECK (length(Email) <= 100),
    Url VARCHAR(255) CONSTRAINT size_Url_255 CHECK (length(Url) <= 255),
    Note LONGTEXT,
    StatusID INTEGER,
    LastCallDate DATETIME,
    CallbackDate DATETIME
);
CREATE INDEX CallbackDate ON Contacts(CallbackDate);
CREATE TABLE Countries (
    CountryID INTEGER PRIMARY KEY,
    Name VARCHAR(50) CONSTRAINT size_Name_50 CHECK (length(Name) <= 50),
    OrderNumber INTEGER
);
CREATE TABLE Status (
    StatusID INTEGER PRIMARY KEY,
    Name VARCHAR(50) CONSTRAINT size_Name_50 CHECK (length(Name) <= 50)
);
)sql";

// What imports need: the record of each import, so that the last one can be
// undone, and indexes on the keys by which an imported row is recognised as a
// contact already stored (the e-mail in lower case, the phone and mobile
// without separators, the company and person in lower case without spaces).
// Plain SQL functions only, so every program can still write the table.
// Everything is "if not exists", so an older database can be brought up to
// date with the same text. DeletedContacts keeps each contact the user
// deletes, with the time of deletion, so that the deletion can be undone.
const char *const kImportSchema = R"sql(
CREATE TABLE IF NOT EXISTS Imports (
    ImportID INTEGER PRIMARY KEY AUTOINCREMENT,
    ImportedAt DATETIME,
    FileName TEXT,
    FirstContactID INTEGER,
    LastContactID INTEGER,
    Added INTEGER,
    Filled INTEGER,
    Skipped INTEGER
);
CREATE TABLE IF NOT EXISTS ImportFills (
    ImportID INTEGER NOT NULL,
    ContactID INTEGER NOT NULL,
    FieldName TEXT NOT NULL,
    OldValue,
    NewValue
);
CREATE INDEX IF NOT EXISTS ImportFillsImport ON ImportFills(ImportID);
CREATE INDEX IF NOT EXISTS ContactsEmailKey ON Contacts(lower(trim(Email)));
CREATE INDEX IF NOT EXISTS ContactsPhoneKey ON Contacts(
    replace(replace(replace(replace(replace(replace(replace(
        Phone, ' ', ''), '-', ''), '(', ''), ')', ''), '.', ''), '/', ''), '+', ''));
CREATE INDEX IF NOT EXISTS ContactsMobileKey ON Contacts(
    replace(replace(replace(replace(replace(replace(replace(
        Mobile, ' ', ''), '-', ''), '(', ''), ')', ''), '.', ''), '/', ''), '+', ''));
CREATE INDEX IF NOT EXISTS ContactsNameKey ON Contacts(
    lower(replace(coalesce(CompanyName, ''), ' ', '')),
    lower(replace(coalesce(ContactPerson, ''), ' ', '')));
CREATE TABLE IF NOT EXISTS DeletedContacts (
    DeletionID INTEGER PRIMARY KEY AUTOINCREMENT,
    DeletedAt DATETIME NOT NULL,
    ContactID INTEGER,
    CompanyName VARCHAR(100),
    ContactPerson VARCHAR(100),
    CountryID INTEGER,
    State VARCHAR(50),
    City VARCHAR(50),
    Address VARCHAR(255),
    PostCode VARCHAR(20),
    Phone VARCHAR(30),
    Fax VARCHAR(30),
    Mobile VARCHAR(30),
    Email VARCHAR(100),
    Url VARCHAR(255),
    Note LONGTEXT,
    StatusID INTEGER,
    LastCallDate DATETIME,
    CallbackDate DATETIME
);
)sql";

// The searched columns of Contacts, in the order of the search index.
const char *const kSearchedColumns[] = {"CompanyName", "ContactPerson", "City",
                                        "State",       "PostCode",      "Phone",
                                        "Mobile",      "Url",           "Address"};

// A trigram full-text index over the searched columns, reading its texts
// from Contacts itself, so a substring search needs no scan of the table.
// Triggers in plain SQL keep it current, whichever program writes the table;
// an update of columns it does not hold leaves it alone.
QByteArray SearchIndexSql() {
    QByteArrayList columns;
    QByteArrayList oldValues;
    QByteArrayList newValues;
    for (const char *column : kSearchedColumns) {
        columns << column;
        oldValues << QByteArray("old.") + column;
        newValues << QByteArray("new.") + column;
    }
    const QByteArray list = columns.join(", ");
    const QByteArray insert = "INSERT INTO ContactsSearch (rowid, " + list +
                              ") VALUES (new.ContactID, " + newValues.join(", ") + ");\n";
    const QByteArray remove = "INSERT INTO ContactsSearch (ContactsSearch, rowid, " + list +
                              ") VALUES ('delete', old.ContactID, " + oldValues.join(", ") + ");\n";
    return "CREATE VIRTUAL TABLE ContactsSearch USING fts5(" + list +
           ", content = 'Contacts', content_rowid = 'ContactID', tokenize = 'trigram');\n"
           "CREATE TRIGGER ContactsSearchInsert AFTER INSERT ON Contacts BEGIN\n" +
           insert +
           "END;\n"
           "CREATE TRIGGER ContactsSearchDelete AFTER DELETE ON Contacts BEGIN\n" +
           remove +
           "END;\n"
           "CREATE TRIGGER ContactsSearchUpdate AFTER UPDATE OF ContactID, " +
           list + " ON Contacts BEGIN\n" + remove + insert +
           "END;\n"
           "INSERT INTO ContactsSearch (ContactsSearch) VALUES ('rebuild');\n";
}

const char *const kStatusNames[] = {"New", "Prospect", "Customer", "Former customer",
                                    "Do not call"};

const char *const kInsertContact =
    "INSERT INTO Contacts (CompanyName, ContactPerson, CountryID, State, City, Address, "
    "PostCode, Phone, Fax, Mobile, Email, Url, Note, StatusID, LastCallDate, CallbackDate) "
    "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16)";

QString Native(const QString &path) {
    return QDir::toNativeSeparators(path);
}

QString EngineMessage(sqlite3 *db) {
    return QString::fromUtf8(sqlite3_errmsg(db));
}

bool Fail(QString *error, const QString &message) {
    if (error)
        *error = message;
    return false;
}

bool Exec(sqlite3 *db, const char *sql, QString *error) {
    char *message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    const QString text = message ? QString::fromUtf8(message) : EngineMessage(db);
    sqlite3_free(message);
    return Fail(error, text);
}

bool Prepare(sqlite3 *db, const char *sql, Statement *statement, QString *error) {
    sqlite3_stmt *raw = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
    statement->reset(raw);
    return rc == SQLITE_OK || Fail(error, EngineMessage(db));
}

// The first column of the single row of `sql`, as an integer.
bool QueryInteger(sqlite3 *db, const char *sql, std::int64_t *value, QString *error) {
    Statement statement(nullptr, sqlite3_finalize);
    if (!Prepare(db, sql, &statement, error))
        return false;
    if (sqlite3_step(statement.get()) != SQLITE_ROW)
        return Fail(error, EngineMessage(db));
    *value = sqlite3_column_int64(statement.get(), 0);
    return true;
}

bool Open(const QString &path, int flags, DbHandle *db, QString *error) {
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, flags, nullptr);
    db->reset(raw);
    if (rc != SQLITE_OK)
        return Fail(error, QStringLiteral("Cannot open %1: %2")
                               .arg(Native(path),
                                    raw ? EngineMessage(raw) : QStringLiteral("out of memory")));
    sqlite3_busy_timeout(raw, kBusyTimeoutMs);
    return true;
}

// Opens a database made by Create; refuses anything else.
bool OpenOurs(const QString &path, int flags, DbHandle *db, QString *error) {
    if (!QFileInfo::exists(path))
        return Fail(error, QStringLiteral("%1 does not exist.").arg(Native(path)));
    if (!Open(path, flags, db, error))
        return false;
    std::int64_t applicationId = 0;
    QString reason;
    if (!QueryInteger(db->get(), "PRAGMA application_id", &applicationId, &reason))
        return Fail(error, QStringLiteral("Cannot read %1: %2").arg(Native(path), reason));
    if (applicationId != DatabaseBuilder::kApplicationId)
        return Fail(error, QStringLiteral("%1 is not a contacts database.").arg(Native(path)));
    return true;
}

bool BindText(sqlite3_stmt *statement, int index, const std::string &text) {
    if (text.empty())
        return sqlite3_bind_null(statement, index) == SQLITE_OK;
    return sqlite3_bind_text(statement, index, text.data(), int(text.size()), SQLITE_STATIC) ==
           SQLITE_OK;
}

bool BindDate(sqlite3_stmt *statement, int index, const std::optional<double> &value) {
    if (!value)
        return sqlite3_bind_null(statement, index) == SQLITE_OK;
    return sqlite3_bind_double(statement, index, *value) == SQLITE_OK;
}

bool InsertContact(sqlite3_stmt *insert, const SampleContactGenerator::Contact &c) {
    const bool bound = BindText(insert, 1, c.companyName) && BindText(insert, 2, c.contactPerson) &&
                       sqlite3_bind_int(insert, 3, c.countryId) == SQLITE_OK &&
                       BindText(insert, 4, c.state) && BindText(insert, 5, c.city) &&
                       BindText(insert, 6, c.address) && BindText(insert, 7, c.postCode) &&
                       BindText(insert, 8, c.phone) && BindText(insert, 9, c.fax) &&
                       BindText(insert, 10, c.mobile) && BindText(insert, 11, c.email) &&
                       BindText(insert, 12, c.url) && BindText(insert, 13, c.note) &&
                       sqlite3_bind_int(insert, 14, c.statusId) == SQLITE_OK &&
                       BindDate(insert, 15, c.lastCallDate) && BindDate(insert, 16, c.callbackDate);
    const bool stored = bound && sqlite3_step(insert) == SQLITE_DONE;
    sqlite3_reset(insert);
    return stored;
}

// Adds `count` generated contacts inside the caller's transaction.
bool InsertSampleContacts(sqlite3 *db, const DatabaseBuilder::Options &options, QString *error) {
    std::int64_t highestId = 0;
    if (!QueryInteger(db, "SELECT coalesce(max(ContactID), 0) FROM Contacts", &highestId, error))
        return false;
    // Mixing in the highest key makes a second batch differ from the first;
    // an empty table leaves the seed as given.
    const std::uint64_t seed = options.seed ^ (std::uint64_t(highestId) * 0x9E3779B97F4A7C15ull);
    SampleContactGenerator generator(seed, options.today);

    Statement insert(nullptr, sqlite3_finalize);
    if (!Prepare(db, kInsertContact, &insert, error))
        return false;
    SampleContactGenerator::Contact contact;
    for (std::int64_t i = 0; i < options.sampleContacts; ++i) {
        generator.Next(&contact);
        if (!InsertContact(insert.get(), contact))
            return Fail(error, QStringLiteral("Cannot add sample contact %1: %2")
                                   .arg(i + 1)
                                   .arg(EngineMessage(db)));
    }
    return true;
}

bool FillLookupTables(sqlite3 *db, QString *error) {
    Statement country(nullptr, sqlite3_finalize);
    if (!Prepare(db, "INSERT INTO Countries (CountryID, Name, OrderNumber) VALUES (?1, ?2, ?3)",
                 &country, error))
        return false;
    for (const CountryList::Country &c : CountryList::All()) {
        const QByteArray name = c.name.toUtf8();
        sqlite3_bind_int(country.get(), 1, c.id);
        sqlite3_bind_text(country.get(), 2, name.constData(), name.size(), SQLITE_TRANSIENT);
        sqlite3_bind_int(country.get(), 3, c.orderNumber);
        if (sqlite3_step(country.get()) != SQLITE_DONE)
            return Fail(error, EngineMessage(db));
        sqlite3_reset(country.get());
    }

    Statement status(nullptr, sqlite3_finalize);
    if (!Prepare(db, "INSERT INTO Status (StatusID, Name) VALUES (?1, ?2)", &status, error))
        return false;
    int id = 1;
    for (const char *name : kStatusNames) {
        sqlite3_bind_int(status.get(), 1, id++);
        sqlite3_bind_text(status.get(), 2, name, -1, SQLITE_STATIC);
        if (sqlite3_step(status.get()) != SQLITE_DONE)
            return Fail(error, EngineMessage(db));
        sqlite3_reset(status.get());
    }
    return true;
}

// Schema, lookup tables, samples and the search index (filled once, after the
// samples, which is faster than through the triggers row by row) in one
// transaction on the new file, then
// the switch to WAL with full sync so the file is complete on disk before it
// is renamed into place.
bool BuildNewFile(const QString &tempPath, const DatabaseBuilder::Options &options,
                  QString *error) {
    DbHandle db(nullptr, sqlite3_close);
    if (!Open(tempPath, SQLITE_OPEN_READWRITE, &db, error))
        return false;
    const QString applicationId =
        QStringLiteral("PRAGMA application_id = %1").arg(DatabaseBuilder::kApplicationId);
    // The file is thrown away on any failure, so the build needs no journal
    // on disk and no syncing until the end.
    if (!Exec(db.get(),
              "PRAGMA journal_mode = MEMORY; PRAGMA synchronous = OFF;"
              "PRAGMA cache_size = -65536",
              error) ||
        !Exec(db.get(), applicationId.toUtf8().constData(), error) ||
        !Exec(db.get(), "BEGIN", error) || !Exec(db.get(), kSchema, error) ||
        !FillLookupTables(db.get(), error) ||
        (options.sampleContacts > 0 && !InsertSampleContacts(db.get(), options, error)) ||
        !Exec(db.get(), SearchIndexSql().constData(), error) ||
        !Exec(db.get(), kImportSchema, error) || !Exec(db.get(), "COMMIT", error) ||
        !Exec(db.get(), "PRAGMA synchronous = FULL", error))
        return false;

    Statement walMode(nullptr, sqlite3_finalize);
    if (!Prepare(db.get(), "PRAGMA journal_mode = WAL", &walMode, error))
        return false;
    if (sqlite3_step(walMode.get()) != SQLITE_ROW ||
        qstricmp(reinterpret_cast<const char *>(sqlite3_column_text(walMode.get(), 0)), "wal") != 0)
        return Fail(error, QStringLiteral("Cannot switch the new file to WAL mode: %1")
                               .arg(EngineMessage(db.get())));
    walMode.reset();

    sqlite3 *raw = db.release();
    if (sqlite3_close(raw) != SQLITE_OK) {
        const QString message = EngineMessage(raw);
        sqlite3_close_v2(raw);
        return Fail(error, message);
    }
    // Closing the last connection folds the log into the file; a log left
    // behind would be lost by the rename.
    if (QFileInfo::exists(tempPath + QStringLiteral("-wal")))
        return Fail(error,
                    QStringLiteral("The write-ahead log of the new file was not folded in."));
    return true;
}

void RemoveFileSet(const QString &path) {
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
}

} // namespace

bool DatabaseBuilder::Create(const QString &path, const Options &options, QString *error) {
    if (path.isEmpty())
        return Fail(error, QStringLiteral("No database path given."));
    if (options.sampleContacts < 0)
        return Fail(error, QStringLiteral("The number of sample contacts cannot be negative."));
    if (!options.today.isValid())
        return Fail(error, QStringLiteral("The day given as today is not a valid date."));
    const QFileInfo info(path);
    // A dangling symbolic link does not "exist" but would still be followed.
    if (info.exists() || info.isSymLink())
        return Fail(error,
                    QStringLiteral("%1 already exists; nothing was changed.").arg(Native(path)));
    // An empty log holds nothing to replay; a reader that could not tidy up
    // leaves one behind.
    for (const char *suffix : {"-wal", "-journal"}) {
        const QString leftover = path + QLatin1String(suffix);
        const QFileInfo leftoverInfo(leftover);
        if (leftoverInfo.isSymLink() || (leftoverInfo.exists() && leftoverInfo.size() > 0))
            return Fail(error,
                        QStringLiteral("%1 is left over from an earlier database of that name; "
                                       "remove it before creating a new one.")
                            .arg(Native(leftover)));
    }
    if (!QDir().mkpath(info.absolutePath()))
        return Fail(
            error, QStringLiteral("Cannot create the folder %1.").arg(Native(info.absolutePath())));

    const QString tempPath = QStringLiteral("%1.new-%2-%3")
                                 .arg(path)
                                 .arg(QCoreApplication::applicationPid())
                                 .arg(QRandomGenerator::global()->generate(), 8, 16, QChar('0'));
    QFile temp(tempPath);
    if (!temp.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return Fail(
            error,
            QStringLiteral("Cannot create %1: %2").arg(Native(tempPath), temp.errorString()));
    temp.close();

    QString reason;
    if (!BuildNewFile(tempPath, options, &reason)) {
        RemoveFileSet(tempPath);
        return Fail(error, QStringLiteral("Cannot create %1: %2").arg(Native(path), reason));
    }
    // The rename never replaces an existing file, so a file that appeared
    // meanwhile is kept.
    if (!QFile::rename(tempPath, path)) {
        RemoveFileSet(tempPath);
        if (QFileInfo::exists(path))
            return Fail(
                error, QStringLiteral("%1 already exists; nothing was changed.").arg(Native(path)));
        return Fail(error, QStringLiteral("Cannot move the new database to %1.").arg(Native(path)));
    }
    return true;
}

bool DatabaseBuilder::Upgrade(const QString &path, QString *error) {
    DbHandle db(nullptr, sqlite3_close);
    if (!OpenOurs(path, SQLITE_OPEN_READWRITE, &db, error))
        return false;
    QString reason;
    if (!Exec(db.get(), "BEGIN IMMEDIATE", &reason))
        return Fail(error,
                    QStringLiteral("Cannot bring %1 up to date: %2").arg(Native(path), reason));
    if (!Exec(db.get(), kImportSchema, &reason) || !Exec(db.get(), "COMMIT", &reason)) {
        sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        return Fail(error,
                    QStringLiteral("Cannot bring %1 up to date: %2").arg(Native(path), reason));
    }
    return true;
}

bool DatabaseBuilder::AddSampleContacts(const QString &path, const Options &options,
                                        QString *error) {
    if (options.sampleContacts < 0)
        return Fail(error, QStringLiteral("The number of sample contacts cannot be negative."));
    if (!options.today.isValid())
        return Fail(error, QStringLiteral("The day given as today is not a valid date."));
    DbHandle db(nullptr, sqlite3_close);
    if (!OpenOurs(path, SQLITE_OPEN_READWRITE, &db, error))
        return false;

    std::int64_t previousSync = 2;
    QString reason;
    if (!QueryInteger(db.get(), "PRAGMA synchronous", &previousSync, &reason))
        return Fail(error, reason);
    // Unsynced writes only while seeding; the setting belongs to this
    // connection and goes back before the connection is used for anything else.
    bool ok = Exec(db.get(), "PRAGMA synchronous = OFF; PRAGMA cache_size = -65536", &reason) &&
              Exec(db.get(), "BEGIN IMMEDIATE", &reason);
    if (ok) {
        ok = InsertSampleContacts(db.get(), options, &reason) && Exec(db.get(), "COMMIT", &reason);
        if (!ok)
            sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
    const QByteArray restore = "PRAGMA synchronous = " + QByteArray::number(previousSync);
    sqlite3_exec(db.get(), restore.constData(), nullptr, nullptr, nullptr);
    if (!ok)
        return Fail(error,
                    QStringLiteral("Cannot add contacts to %1: %2").arg(Native(path), reason));
    return true;
}

QStringList DatabaseBuilder::StatusNames() {
    QStringList names;
    for (const char *name : kStatusNames)
        names << QLatin1String(name);
    return names;
}

QString DatabaseBuilder::Summary(const QString &path, QString *error) {
    return Summary(path, QDate::currentDate(), error);
}

QString DatabaseBuilder::Summary(const QString &path, const QDate &today, QString *error) {
    // Read-write when allowed, though nothing is written: closing the last
    // read-write connection removes the log and index files, which a
    // read-only one leaves behind.
    DbHandle db(nullptr, sqlite3_close);
    const bool writable =
        QFileInfo(path).isWritable() && QFileInfo(QFileInfo(path).absolutePath()).isWritable();
    if (!OpenOurs(path, writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY, &db, error))
        return QString();

    QString text;
    QString reason;
    for (const char *table : {"Contacts", "Countries", "Status"}) {
        std::int64_t rows = 0;
        const QByteArray sql = QByteArray("SELECT count(*) FROM ") + table;
        if (!QueryInteger(db.get(), sql.constData(), &rows, &reason)) {
            Fail(error, QStringLiteral("Cannot read %1: %2").arg(Native(path), reason));
            return QString();
        }
        text += QStringLiteral("%1: %2\n").arg(QLatin1String(table)).arg(rows);
    }

    const double day = double(QDate(1899, 12, 30).daysTo(today));
    const QByteArray dueSql =
        "SELECT count(*) FROM Contacts WHERE CallbackDate >= " + QByteArray::number(day, 'f', 1) +
        " AND CallbackDate < " + QByteArray::number(day + 1, 'f', 1);
    std::int64_t due = 0;
    if (!QueryInteger(db.get(), dueSql.constData(), &due, &reason)) {
        Fail(error, QStringLiteral("Cannot read %1: %2").arg(Native(path), reason));
        return QString();
    }
    text += QStringLiteral("Due today (%1): %2\n").arg(today.toString(Qt::ISODate)).arg(due);
    return text;
}
