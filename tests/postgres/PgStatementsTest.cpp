// Every statement the program runs, run on a database on the server and on a
// database file holding the same contacts: both must give the same rows.
// The texts come from the program's own builders wherever they are public.
#include "calendar/CallbackCalendar.h"
#include "data/DBConnection.h"
#include "data/DateTimeValue.h"
#include "data/Field.h"
#include "data/QueryCursor.h"
#include "interchange/ContactFile.h"
#include "interchange/ContactImporter.h"
#include "interchange/VCardExport.h"
#include "postgres/PgConnection.h"
#include "postgres/PgDialect.h"
#include "postgres/PgNames.h"
#include "reminders/CallbackReminders.h"
#include "reminders/DesktopNotifier.h"
#include "reports/QRpt.h"
#include "safety/DeletedContacts.h"
#include "support/PgRawConnection.h"
#include "support/TempDatabase.h"
#include "support/TempPgServer.h"
#include "ui/main/ContactLists.h"

#include <QDBusConnection>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

// Texts in test messages as they read.
static void PrintTo(const QString &text, std::ostream *out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

// The day of the call-back tests (computed when first needed: the epoch's
// own date is a static of another file).
double Day() {
    return DateTimeValue::FromDate(QDate(2026, 12, 8));
}

// A contact of the test: the columns of Contacts a statement reads.
struct Contact {
    QString company, person, city, address, url, phone, email;
    TValue callback, lastCall;
};

// Texts that the search's case and wildcard rules must treat alike on both
// engines, and call-back times on either side of the epoch and of a day.
const QList<Contact> &Contacts() {
    static const QList<Contact> contacts = {
        {"100% Pure", "Anna Under_score", "Köln", "", "", "030 1234567", "anna@pure.example",
         Day() + 0.375, TValue()},
        {"Fifty_Fifty", "", "", "", "", "", "", Day() + 0.99999, TValue()},
        {"ÄÖÜ Straße GmbH", "Jörg", "", "Hauptstraße 1", "", "", "JÖRG@Example.DE", Day(),
         Day() - 1},
        {"äöü STRASSE", "", "MÜNCHEN", "", "", "", "", Day() - 0.01, TValue()},
        {"Ελλάδα Travel", "", "ΑΘΉΝΑ", "", "", "", "", Day() - 3, Day() - 5},
        {"ΕΛΛΆΔΑ Shipping", "", "", "", "", "", "", Day() - 2, Day() - 1},
        {"Дом Книги", "", "Москва", "", "", "", "", Day() + 1, TValue()},
        {"ДОМ мебели", "", "", "", "", "", "", -3.75, TValue()},
        {"İstanbul Tours", "", "İzmir", "", "", "", "", -2.0, TValue()},
        {"istanbul kebab", "", "", "", "", "", "", -1.5, TValue()},
        {"ISTANBUL Bank", "", "", "", "", "", "", -1.0, TValue()},
        {"Mixed CaSe Co", "", "", "", "WWW.Mixed.Example", "", "", -0.5, TValue()},
        {"back\\slash & Co", "", "", "", "", "", "", 0.0, TValue()},
        {"O'Neil \"Ltd\"", "", "Oslo", "", "", "", "", 0.25, TValue()},
        {QString::fromUtf8("Kelvin \u212A Labs"), "", "", "", "", "", "", 0.999, TValue()},
        {QString::fromUtf8("\u01C5emal"), "", "", "", "", "", "", 1.0, TValue()},
        {"", "Nobody", "", "", "", "+49 (30) 1234-567", "", 1.5, TValue()},
        {"Σίσυφος", "", "", "", "", "", "", 2.0, TValue()},
        {"Smile 😀 Inc", "", "", "", "", "", "", TValue(), TValue()},
        {"Quiet", "", "", "", "", "", "", Day() + 0.5, Day() + 0.6},
    };
    return contacts;
}

TValue TextOrNull(const QString &text) {
    return text.isEmpty() ? TValue() : TValue(text);
}

class PgStatements : public ::testing::Test {
protected:
    PgStatements() : conninfo_(TempPgServer::Shared().CreateDatabase()) {
        file_.SetConnectionString(fileDb_.ConnectionString());
        server_.SetConnectionString(TempPgServer::ConnectionString(conninfo_));
        file_.Open();
        server_.Open();
    }

    void AddContacts() {
        for (TDBConnection *connection : Both()) {
            auto insert = connection->Prepare(QStringLiteral(
                "insert into Contacts (CompanyName, ContactPerson, City, Address, Url, Phone, "
                "Email, CallbackDate, LastCallDate, CountryID, StatusID) "
                "values (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, 1, 1)"));
            for (const Contact &c : Contacts()) {
                int position = 1;
                for (const QString *text :
                     {&c.company, &c.person, &c.city, &c.address, &c.url, &c.phone, &c.email})
                    insert->Bind(position++, TextOrNull(*text));
                insert->Bind(position++, c.callback);
                insert->Bind(position++, c.lastCall);
                insert->Step();
                insert->Reset();
            }
        }
    }

    std::vector<TDBConnection *> Both() { return {&file_, &server_}; }

    // The rows of a query as the program opens it (a read-only query
    // cursor): the field names, then each row's values joined by '|'.
    static QStringList Rows(TDBConnection &connection, const QStringList &lines) {
        TQueryCursor query(QStringLiteral("qryTest"));
        query.SetConnection(&connection);
        query.SetCursorType(ctStatic);
        query.SetLockType(ltReadOnly);
        for (const QString &line : lines)
            query.SQL().Add(line);
        query.Open();
        QStringList rows;
        QStringList names;
        for (int k = 0; k < query.FieldCount(); ++k)
            names << query.Fields(k)->FieldName();
        rows << names.join('|');
        for (; !query.Eof(); query.Next()) {
            QStringList values;
            for (int k = 0; k < query.FieldCount(); ++k) {
                const TValue value = query.Fields(k)->Value();
                values << (ValueIsNull(value) ? QStringLiteral("NULL")
                           : value.typeId() == QMetaType::Double
                               ? QString::number(value.toDouble(), 'g', 17)
                               : value.toString());
            }
            rows << values.join('|');
        }
        query.Close();
        return rows;
    }

    // The rows of a query without an order: the names, then the rows sorted.
    static QStringList Unordered(QStringList rows) {
        std::sort(rows.begin() + 1, rows.end());
        return rows;
    }

    // The translated statement's plan on the server, with table scans made
    // as dear as possible so that any index that serves it is taken.
    QString Plan(const QString &text) {
        std::shared_ptr<PgConnection> session = PgConnection::Open(conninfo_);
        const PgStatementText translated = PgDialect::Translate(text, PgNames::Load(*session));
        QVariantList params;
        for (int k = 0; k < translated.positional; ++k)
            params << QVariant();
        for (const TValue &literal : translated.literals)
            params << literal;
        PgRawConnection raw(conninfo_);
        raw.Exec(QStringLiteral("SET enable_seqscan = off"));
        QString plan;
        for (const PgRawConnection::Row &row : raw.Exec("EXPLAIN " + translated.sql, params))
            plan += row.value(0).toString() + '\n';
        return plan;
    }

    TempDatabase fileDb_;
    QString conninfo_;
    TDBConnection file_;
    TDBConnection server_;
};

TEST_F(PgStatements, SearchFindsWhatTheFileEngineFindsOnTrickyTexts) {
    AddContacts();
    const QStringList texts = {
        "",        "%",          "_",           "ÄÖÜ straße",
        "Ελλάδα",  "Дом",        "İ",           "i",
        "ı",       "mixed case", "\\",          "O'N",
        "\"Ltd\"", "ß",          "SS",          "k",
        "ǆ",       "ΣΊΣΥΦΟΣ",    "Smile _ Inc", "100%",
        "0%P",     "r_s",        "münchen",     "a\"b",
        "(30)",    "--",         "'",           "x'; drop table Contacts; --"};
    for (const QString &text : texts) {
        const QStringList lines = ContactLists::SearchLines(text);
        const QStringList onFile = Unordered(Rows(file_, lines));
        EXPECT_EQ(Unordered(Rows(server_, lines)), onFile) << text.toStdString();
    }
    // Both engines agree, and on what the search means.
    const auto companies = [&](const QString &text) {
        QStringList found;
        const QStringList rows = Rows(server_, ContactLists::SearchLines(text));
        for (int k = 1; k < rows.size(); ++k)
            found << rows[k].section('|', 1, 1);
        found.sort();
        return found;
    };
    EXPECT_EQ(companies("Дом"), QStringList({"ДОМ мебели", "Дом Книги"}));
    EXPECT_EQ(companies("ÄÖÜ straße"), QStringList({"ÄÖÜ Straße GmbH"}));
    EXPECT_EQ(companies("\\"), QStringList({"back\\slash & Co"}));
    EXPECT_EQ(companies("Smile _ Inc"), QStringList({"Smile 😀 Inc"}));
    EXPECT_EQ(companies("ΣΊΣΥΦΟΣ"), QStringList());
    EXPECT_EQ(companies("%").size(), Contacts().size());
    EXPECT_EQ(companies("x'; drop table Contacts; --"), QStringList());
}

TEST_F(PgStatements, CallbackListsMatchTheFileEngineAroundTheEpochAndKeepTheOverdueOrder) {
    AddContacts();
    for (const double day : {-2.0, -1.0, 0.0, 1.0, Day()}) {
        const QDate date = DateTimeValue::ToDate(day);
        const QStringList dayOnly = ContactLists::CallbackLines(date, false);
        const QStringList dayRows = Unordered(Rows(file_, dayOnly));
        EXPECT_EQ(Unordered(Rows(server_, dayOnly)), dayRows) << day;
        EXPECT_GT(dayRows.size(), 1) << day;

        const QStringList withOverdue = ContactLists::CallbackLines(date, true);
        const QStringList onFile = Rows(file_, withOverdue);
        const QStringList onServer = Rows(server_, withOverdue);
        ASSERT_EQ(onServer.size(), onFile.size()) << day;
        // The day's rows in any order, then the overdue ones oldest first.
        const int split = int(dayRows.size());
        EXPECT_EQ(Unordered(onServer.mid(0, split)), Unordered(onFile.mid(0, split))) << day;
        EXPECT_EQ(onServer.mid(split), onFile.mid(split)) << day;
    }
    // The day's four, then the thirteen overdue (not called since), from
    // the oldest before the epoch to the one of the evening before.
    const QStringList rows = Rows(server_, ContactLists::CallbackLines(QDate(2026, 12, 8), true));
    QStringList companies;
    for (int k = 1; k < rows.size(); ++k)
        companies << rows[k].section('|', 1, 1);
    ASSERT_EQ(companies.size(), 17);
    EXPECT_EQ(companies.at(4), "ДОМ мебели");
    EXPECT_EQ(companies.mid(15), QStringList({"Ελλάδα Travel", "äöü STRASSE"}));
}

TEST_F(PgStatements, SearchAndCallbacksAreServedByIndexes) {
    // A text with an "i" is compared again as the file engine folds "İ";
    // the index serves it all the same.
    for (const char *text : {"abc", "Smith"}) {
        const QString plan = Plan(ContactLists::SearchLines(text).join("\r\n"));
        EXPECT_FALSE(plan.contains("Seq Scan")) << plan.toStdString();
        for (const char *column : {"CompanyName", "ContactPerson", "City", "State", "PostCode",
                                   "Phone", "Mobile", "Url", "Address"})
            EXPECT_TRUE(plan.contains(QStringLiteral("ContactsSearch") + column))
                << plan.toStdString();
    }
    const QString callbacks =
        Plan(ContactLists::CallbackLines(QDate(2026, 12, 8), true).join("\n"));
    EXPECT_FALSE(callbacks.contains("Seq Scan")) << callbacks.toStdString();
    int scans = 0;
    for (const QString &line : callbacks.split('\n'))
        scans += line.contains("Scan") && line.contains("\"CallbackDate\"");
    EXPECT_EQ(scans, 2) << callbacks.toStdString();
}

TEST_F(PgStatements, ExportReportAndCountryListsMatchTheFileEngine) {
    AddContacts();
    const QStringList queries[] = {
        {VCardExport::SelectText(std::nullopt)},
        {VCardExport::SelectText(3)},
        {TQRMDForm::ContactStatement(), "5"},
        {"select ct.Name as Country, c.* from Contacts c",
         "left join Countries ct on ct.CountryID = c.CountryID"},
        {"select * from Countries order by OrderNumber"},
        {CallbackCalendar::SelectStatement().replace("?1", "-10").replace("?2", "50000")},
    };
    for (const QStringList &lines : queries) {
        const QStringList onFile = Rows(file_, lines);
        EXPECT_GT(onFile.size(), 1) << lines.join(' ').toStdString();
        // The export reads its columns by name: the names must be the same.
        const bool ordered = lines.join(' ').contains("order by", Qt::CaseInsensitive);
        EXPECT_EQ(ordered ? Rows(server_, lines) : Unordered(Rows(server_, lines)),
                  ordered ? onFile : Unordered(onFile))
            << lines.join(' ').toStdString();
    }
    // Whole files written from the rows: the same bytes from either engine.
    QTemporaryDir dir;
    const auto read = [](const QString &path) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        return file.readAll();
    };
    const QDateTime stamp(QDate(2026, 12, 1), QTime(8, 0), Qt::UTC);
    QByteArray cards[2];
    QByteArray calendars[2];
    int k = 0;
    for (TDBConnection *connection : Both()) {
        const QString cardFile = dir.filePath(QStringLiteral("cards%1.vcf").arg(k));
        EXPECT_EQ(VCardExport(*connection).SaveTo(cardFile, std::nullopt), Contacts().size());
        cards[k] = read(cardFile);
        const QString calendarFile = dir.filePath(QStringLiteral("calendar%1.ics").arg(k));
        EXPECT_EQ(
            CallbackCalendar(*connection).Write(QDate(2026, 12, 5), 5, 10, calendarFile, stamp), 8);
        calendars[k] = read(calendarFile);
        ++k;
    }
    EXPECT_EQ(cards[1], cards[0]);
    EXPECT_EQ(calendars[1], calendars[0]);
}

TEST_F(PgStatements, RemindersSeeTheSameCallbacksDue) {
    AddContacts();
    DesktopNotifier notifier{QDBusConnection(QStringLiteral("no bus"))};
    int due[2] = {0, 0};
    int k = 0;
    for (TDBConnection *connection : Both()) {
        QDateTime now = DateTimeValue::ToDateTime(Day() + 0.3);
        CallbackReminders reminders(
            *connection, notifier, [&] { return now; },
            [] {
                return CallbackReminders::Settings{true, 0};
            });
        reminders.Start();
        now = DateTimeValue::ToDateTime(Day() + 0.55);
        due[k++] = reminders.Check();
    }
    // 9:00 (not called since) is due; 12:00 was called at 14:24 already.
    EXPECT_EQ(due[0], 1);
    EXPECT_EQ(due[1], due[0]);
}

// The importer's look-ups, batches, fills and undo, and the deleted
// contacts' keep and restore, on both engines: the same counts and rows.
TEST_F(PgStatements, ImportUndoAndRestoreLeaveTheSameRows) {
    AddContacts();
    QTemporaryDir dir;
    const auto csv = [&](const char *name, const QByteArray &rows) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("Company,Contact,E-mail Address,Business Phone,Mobile Phone,City,Country\r\n" +
                   rows);
        return path;
    };
    // Known by e-mail (non-ASCII capitals too), by phone without its
    // separators, by company and person in another case; and new ones.
    const QString first =
        csv("first.csv", "\"Other\",\"\",\" JÖRG@example.de \",\"\",\"\",\"\",\"\"\r\n"
                         "\"\",\"\",\"\",\"+49 30 1234 567\",\"\",\"Bonn\",\"\"\r\n"
                         "\"100% PURE\",\"anna under_score\",\"\",\"\",\"\",\"\",\"\"\r\n"
                         "\"New One\",\"Neu\",\"neu@example.de\",\"\",\"\",\"Wien\","
                         "\"AUSTRIA\"\r\n"
                         "\"äöü strasse\",\"\",\"\",\"\",\"0171 555 66 77\",\"\",\"\"\r\n");
    QStringList results;
    for (TDBConnection *connection : Both()) {
        ContactImporter importer(*connection, ContactImporter::Defaults{45000, 1, 1});
        ContactFile file(first);
        const ContactImporter::Counts counts = importer.Count(file);
        const ContactImporter::Result filled =
            importer.Import(file, ContactImporter::FillEmptyFields);
        ContactFile again(first);
        const ContactImporter::Result added =
            ContactImporter(*connection, ContactImporter::Defaults{45000, 1, 1})
                .Import(again, ContactImporter::ImportDuplicates);
        results << QStringLiteral("%1 %2 %3 | %4 %5 %6 | %7")
                       .arg(counts.rows)
                       .arg(counts.duplicates)
                       .arg(counts.fresh)
                       .arg(filled.added)
                       .arg(filled.filled)
                       .arg(filled.skipped)
                       .arg(added.added);
    }
    EXPECT_EQ(results[1], results[0]);
    EXPECT_EQ(results[0].toStdString(), "5 4 1 | 1 2 2 | 5");
    const QStringList all = {"select * from Contacts order by ContactID"};
    const QStringList imports = {
        "select * from ImportFills order by ImportID, ContactID, FieldName"};
    EXPECT_EQ(Rows(server_, all), Rows(file_, all));
    EXPECT_EQ(Rows(server_, imports), Rows(file_, imports));

    // The user changes one filled field; undoing both imports keeps it.
    for (TDBConnection *connection : Both()) {
        auto edit = connection->Prepare(
            "update Contacts set Mobile = \"Edited\" where CompanyName = \"äöü STRASSE\"");
        edit->Step();
        edit->Reset();
    }
    QStringList undone;
    for (TDBConnection *connection : Both()) {
        for (int round = 0; round < 2; ++round) {
            const ContactImporter::Undone undo = ContactImporter::UndoLast(*connection);
            undone << QStringLiteral("%1 %2 %3").arg(undo.any).arg(undo.removed).arg(undo.restored);
        }
        EXPECT_FALSE(ContactImporter::CanUndo(*connection));
    }
    EXPECT_EQ(undone.mid(2), undone.mid(0, 2));
    EXPECT_EQ(undone.mid(0, 2), QStringList({"1 5 0", "1 1 1"}));
    EXPECT_EQ(Rows(server_, all), Rows(file_, all));

    // A deleted contact is kept and comes back under its own key.
    QStringList restored;
    for (TDBConnection *connection : Both()) {
        DeletedContacts deleted(*connection);
        ASSERT_TRUE(deleted.Available());
        deleted.Keep(3, Day());
        auto remove = connection->Prepare("delete from Contacts where ContactID = ?1");
        remove->Bind(1, 3);
        remove->Step();
        remove->Reset();
        EXPECT_EQ(deleted.Count(), 1);
        EXPECT_TRUE(deleted.CanUndo());
        const auto back = deleted.UndoLatest();
        ASSERT_TRUE(back.has_value());
        restored << QStringLiteral("%1 %2 %3")
                        .arg(back->key)
                        .arg(back->originalKey)
                        .arg(back->companyName);
        EXPECT_FALSE(deleted.CanUndo());
    }
    EXPECT_EQ(restored[1], restored[0]);
    EXPECT_EQ(restored[0], "3 3 ÄÖÜ Straße GmbH");
    EXPECT_EQ(Rows(server_, all), Rows(file_, all));
}

// Random patterns over the characters where the two engines' folding could
// part (i, I, İ, ı, the Kelvin sign), wildcards and escapes, matched against
// random texts with LIKE, NOT LIKE and LIKE ... ESCAPE: the server gives
// exactly the file engine's rows. (A pattern that ends in its escape
// character matches nothing on the file engine and is refused by the
// server; the program names no escape character, and such patterns are
// left out here.)
TEST_F(PgStatements, LikeMatchesExactlyAsTheFileEngineOnRandomPatterns) {
    const QStringList pieces = {"i", "I", "İ", "ı", "k",  "K", QString(QChar(0x212A)),
                                "a", "%", "_", "!", "\\", "ß"};
    QRandomGenerator random(5);
    const auto text = [&](int most) {
        QString result;
        for (int n = int(random.bounded(most + 1)); n > 0; --n)
            result += pieces[int(random.bounded(pieces.size()))];
        return result;
    };
    for (TDBConnection *connection : Both()) {
        auto insert =
            connection->Prepare("insert into Contacts (ContactID, CompanyName) values (?1, ?2)");
        QRandomGenerator names(9);
        for (int id = 1; id <= 60; ++id) {
            QString name;
            for (int n = 1 + int(names.bounded(5)); n > 0; --n)
                name += pieces[int(names.bounded(pieces.size()))];
            insert->Bind(1, id);
            insert->Bind(2, id == 60 ? TValue() : TValue(name));
            insert->Step();
            insert->Reset();
        }
    }
    const QString forms[] = {
        "select ContactID from Contacts where CompanyName like ?1 order by ContactID",
        "select ContactID from Contacts where CompanyName not like ?1 order by ContactID",
        "select ContactID from Contacts where CompanyName like ?1 escape '!' order by ContactID",
        "select ContactID from Contacts where CompanyName like \"%\" || ?1 order by ContactID"};
    int matched = 0;
    for (int round = 0; round < 200; ++round) {
        QString pattern = text(4);
        const QString &form = forms[round % 4];
        for (int i = 0; round % 4 == 2 && i < pattern.size(); ++i) {
            if (pattern[i] == '!' && ++i == pattern.size())
                pattern += 'a';
        }
        QString ids[2];
        int k = 0;
        for (TDBConnection *connection : Both()) {
            auto select = connection->Prepare(form);
            select->Bind(1, pattern);
            while (select->Step())
                ids[k] += select->Column(0).toString() + ' ';
            select->Reset();
            ++k;
        }
        EXPECT_EQ(ids[1], ids[0]) << form.toStdString() << " with " << pattern.toStdString();
        matched += !ids[0].isEmpty();
    }
    EXPECT_GT(matched, 100);
}

} // namespace
