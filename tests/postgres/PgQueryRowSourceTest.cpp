#include "postgres/PgQueryRowSource.h"
#include "data/DBConnection.h"
#include "data/DatabaseErrors.h"
#include "postgres/PgConnection.h"
#include "support/PgRawConnection.h"
#include "support/TempDatabase.h"
#include "support/TempPgServer.h"

#include <QSet>
#include <gtest/gtest.h>

namespace {

template <class F> std::string ErrorOf(F action) {
    try {
        action();
    } catch (const EError &e) {
        return e.Message().toStdString();
    }
    return "no error";
}

TRowSourceRequest Query(const QString &sql, TLockType lock = ltOptimistic, bool once = false) {
    TRowSourceRequest request;
    request.command = sql;
    request.lockType = lock;
    request.readOnce = once;
    return request;
}

// The texts of one column over the live rows, front to back.
QStringList ColumnTexts(TRowSource &rows, int column) {
    QStringList texts;
    for (rows.MoveFirst(); !rows.SourceEOF(); rows.MoveNext())
        texts << rows.Value(column).toString();
    return texts;
}

// A database on the test server with `count` contacts C1 .. Cn (ContactID
// 1 to n, phone pn, country 1), and the program's connection to it.
class PgQueries : public ::testing::Test {
protected:
    explicit PgQueries(int count = 10)
        : conninfo(TempPgServer::Shared().CreateDatabase()), raw(conninfo) {
        raw.Exec(QStringLiteral("insert into \"Contacts\" (\"ContactID\", \"CompanyName\", "
                                "\"CountryID\", \"Phone\") select i, 'C' || i, 1, 'p' || i "
                                "from generate_series(1, %1) i; "
                                "select setval(pg_get_serial_sequence('\"Contacts\"', "
                                "'ContactID'), %1)")
                     .arg(count));
        connection.SetConnectionString(TempPgServer::ConnectionString(conninfo));
        connection.Open();
    }
    std::unique_ptr<PgQueryRowSource> Open(const QString &sql, TLockType lock = ltOptimistic,
                                           bool once = false) {
        auto source = connection.OpenRowSource(Query(sql, lock, once));
        auto *query = dynamic_cast<PgQueryRowSource *>(source.get());
        EXPECT_NE(query, nullptr);
        source.release();
        return std::unique_ptr<PgQueryRowSource>(query);
    }
    // Sessions of the program on the database inside a transaction.
    int OpenTransactions() {
        return raw
            .Scalar("select count(*) from pg_stat_activity where datname = "
                    "current_database() and application_name = 'Corvana' and "
                    "xact_start is not null")
            .toInt();
    }
    QString Phone(int id) {
        return raw.Scalar("select \"Phone\" from \"Contacts\" where \"ContactID\" = $1", {id})
            .toString();
    }

    // A row source made directly, with limits of a test, on sessions of
    // its own.
    std::unique_ptr<PgQueryRowSource> OpenWith(PgQueryRows::Limits limits, const QString &sql) {
        auto writer = PgConnection::Open(conninfo);
        auto names = std::make_shared<const PgNames>(PgNames::Load(*writer));
        return std::make_unique<PgQueryRowSource>(writer, writer->Another(), names, Query(sql),
                                                  limits);
    }

    QString conninfo;
    PgRawConnection raw;
    TDBConnection connection{"connServer"};
};

class PgBigQuery : public PgQueries {
protected:
    PgBigQuery() : PgQueries(6000) {}
};

// A result of 6,000 rows opens with one batch read, in one snapshot; rows
// come as far as asked; the end closes the transaction and gives the
// record numbers; rows past the first few thousand live in the file.
TEST_F(PgBigQuery, RowsAreFetchedOnlyAsFarAsAskedFromOneSnapshot) {
    auto rows =
        Open("select ContactID, CompanyName, Phone from Contacts order by ContactID", ltReadOnly);
    EXPECT_EQ(rows->RowsRead(), 100);
    EXPECT_TRUE(rows->Reading());
    EXPECT_EQ(OpenTransactions(), 1);
    EXPECT_EQ(rows->KnownRowCount(), -1);
    EXPECT_EQ(rows->RowNumberOf(0), -1);
    // Another program's change after the opening is not seen.
    raw.Exec("update \"Contacts\" set \"Phone\" = 'later' where \"ContactID\" = 4500");
    rows->MoveNext();
    rows->MoveNext();
    EXPECT_EQ(rows->Value(1).toString(), "C3");
    rows->GotoBookmark(3000);
    EXPECT_EQ(rows->Value(0).toLongLong(), 3001);
    EXPECT_GE(rows->RowsRead(), 3001);
    EXPECT_LT(rows->RowsRead(), 6000);
    EXPECT_EQ(rows->Column(0).name, "ContactID");
    rows->MoveLast();
    EXPECT_EQ(rows->RowsRead(), 6000);
    EXPECT_FALSE(rows->Reading());
    EXPECT_EQ(OpenTransactions(), 0);
    EXPECT_EQ(rows->Value(1).toString(), "C6000");
    EXPECT_EQ(rows->KnownRowCount(), 6000);
    EXPECT_EQ(rows->RowNumberOf(5999), 6000);
    EXPECT_EQ(rows->BookmarkOfRowNumber(7), std::optional<TBookmark>(6));
    EXPECT_GT(rows->Rows().Store().SpilledRows(), 3900);
    rows->GotoBookmark(4499);
    EXPECT_EQ(rows->Value(2).toString(), "p4500");
    EXPECT_EQ(ErrorOf([&] { rows->GotoBookmark(6000); }),
              "The bookmark does not name a row of the result.");
    auto clone = rows->Clone();
    EXPECT_EQ(clone->FindFirst("phone", QString("p5000")), std::optional<TBookmark>(4999));
    EXPECT_EQ(clone->FindFirst("CompanyName", QString("c7"), {true, false}),
              std::optional<TBookmark>(6));
    EXPECT_EQ(clone->FindFirst("CompanyName", QString("c1999"), {true, true}),
              std::optional<TBookmark>(1998));
    EXPECT_EQ(clone->FindFirst("ContactID", QString("123")), std::optional<TBookmark>(122));
    EXPECT_EQ(clone->FindFirst("CompanyName", QString("c7")), std::nullopt);
    EXPECT_EQ(ErrorOf([&] { clone->FindFirst("Fax", 1); }), "The result has no column 'Fax'.");
    EXPECT_EQ(rows->Bookmark(), 4499);
}

TEST_F(PgBigQuery, SourceClosedHalfReadEndsItsTransaction) {
    auto rows = Open("select * from Contacts", ltReadOnly);
    rows->GotoBookmark(1000);
    auto clone = rows->Clone();
    EXPECT_EQ(OpenTransactions(), 1);
    rows.reset();
    clone.reset();
    EXPECT_EQ(OpenTransactions(), 0);
}

// Read once, the rows go by in their order, nothing goes to a file, and a
// row left behind says so instead of giving another row's values.
TEST_F(PgBigQuery, ReadOnceKeepsTheLastRowsAndRefusesAStepBack) {
    auto rows = Open("select ContactID, Phone from Contacts order by ContactID", ltReadOnly, true);
    int count = 0;
    for (; !rows->SourceEOF(); rows->MoveNext()) {
        ASSERT_EQ(rows->Value(0).toLongLong(), count + 1);
        ++count;
    }
    EXPECT_EQ(count, 6000);
    EXPECT_EQ(rows->Rows().Store().SpilledRows(), 0);
    EXPECT_TRUE(rows->Rows().Store().SpillFileName().isEmpty());
    rows->MovePrevious();
    EXPECT_EQ(rows->Value(1).toString(), "p6000");
    rows->GotoBookmark(0);
    EXPECT_EQ(ErrorOf([&] { rows->Value(1); }),
              "The row is no longer available: the query reads its rows once.");
}

// The reader session ends under the query: reading further fails with the
// session's text, again and again, the rows read stay, and the connection
// goes on (its own session and the next query).
TEST_F(PgBigQuery, LostReaderSessionFailsFurtherReadsOnly) {
    auto rows = Open("select ContactID, Phone from Contacts order by ContactID", ltReadOnly);
    rows->GotoBookmark(150);
    raw.Exec("select pg_terminate_backend(pid) from pg_stat_activity where datname = "
             "current_database() and application_name = 'Corvana' and xact_start is not null");
    const std::string lost = ErrorOf([&] { rows->GotoBookmark(5500); });
    EXPECT_NE(lost.find("The connection to the database server at"), std::string::npos) << lost;
    EXPECT_NE(lost.find("was lost"), std::string::npos) << lost;
    EXPECT_EQ(ErrorOf([&] { rows->MoveLast(); }), lost);
    EXPECT_EQ(rows->KnownRowCount(), -1);
    rows->GotoBookmark(3);
    EXPECT_EQ(rows->Value(1).toString(), "p4");
    auto fresh = Open("select Phone from Contacts where ContactID = 5999", ltReadOnly);
    EXPECT_EQ(fresh->Value(0).toString(), "p5999");
    auto writable = Open("select ContactID, Phone from Contacts where ContactID = 2");
    writable->SetValue(1, QString("after the loss"));
    writable->Update();
    EXPECT_EQ(Phone(2), "after the loss");
}

// Each query reads on a session of its own, kept for the next query once
// the rows are read, unless the query ran statements of its own there (a
// temporary table must not outlive them) or the session died meanwhile.
TEST_F(PgQueries, ReaderSessionsAreKeptForTheNextQueriesUnlessSpoilt) {
    auto pidOf = [&](const QString &sql) {
        auto rows = Open(sql, ltReadOnly);
        return rows->Value(rows->ColumnCount() - 1).toLongLong();
    };
    const qint64 kept = pidOf("select pg_backend_pid()");
    EXPECT_EQ(pidOf("select ContactID, pg_backend_pid() from Contacts"), kept);
    {
        // Two queries read halfway at once: two sessions, both kept after.
        const QString half = "select i, pg_backend_pid() from generate_series(1, 1000) i";
        auto first = Open(half, ltReadOnly);
        auto second = Open(half, ltReadOnly);
        EXPECT_TRUE(first->Reading() && second->Reading());
        EXPECT_EQ(first->Value(1).toLongLong(), kept);
        EXPECT_NE(second->Value(1).toLongLong(), kept);
    }
    const QString script = "create temp table scratch (v bigint); insert into scratch values (1); "
                           "select v, pg_backend_pid() from scratch";
    const qint64 scripted = pidOf(script);
    EXPECT_NE(pidOf(script), scripted); // a kept session would hold the table already
    const qint64 idle = pidOf("select pg_backend_pid()");
    raw.Exec("select pg_terminate_backend($1)", {idle});
    EXPECT_NE(pidOf("select pg_backend_pid()"), idle);
    EXPECT_EQ(raw.Scalar("select count(*) from pg_stat_activity where datname = "
                         "current_database() and application_name = 'Corvana'")
                  .toInt(),
              2); // the main session and the one kept
}

// A statement that fails halfway (here at its 500th row): the rows read
// stay, every read past them fails with the server's text, and the session
// is clean for the next query.
TEST_F(PgQueries, FailureHalfwayKeepsTheRowsRead) {
    auto rows = Open("select i, 1 / (500 - i) from generate_series(1, 1000) i", ltReadOnly);
    EXPECT_EQ(rows->RowsRead(), 100);
    EXPECT_EQ(ErrorOf([&] { rows->MoveLast(); }), "division by zero");
    EXPECT_EQ(ErrorOf([&] { rows->GotoBookmark(700); }), "division by zero");
    EXPECT_FALSE(rows->Reading());
    EXPECT_EQ(rows->KnownRowCount(), -1);
    rows->GotoBookmark(99);
    EXPECT_EQ(rows->Value(0).toLongLong(), 100);
    EXPECT_EQ(OpenTransactions(), 0);
    auto next = Open("select count(*) from Contacts", ltReadOnly);
    EXPECT_EQ(next->Value(0).toLongLong(), 10);
}

TEST_F(PgQueries, MovesAndFlagsFromBothEnds) {
    auto rows =
        Open("select CompanyName from Contacts where ContactID <= 2 order by 1", ltReadOnly);
    EXPECT_EQ(rows->Bookmark(), 0);
    rows->MovePrevious();
    EXPECT_TRUE(rows->SourceBOF());
    EXPECT_FALSE(rows->SourceEOF());
    EXPECT_EQ(ErrorOf([&] { rows->Bookmark(); }), "There is no current row.");
    rows->MoveNext();
    rows->MoveNext();
    EXPECT_EQ(rows->Value(0).toString(), "C2");
    rows->MoveNext();
    EXPECT_TRUE(rows->SourceEOF());
    EXPECT_FALSE(rows->SourceBOF());
    rows->MovePrevious();
    EXPECT_EQ(rows->Value(0).toString(), "C2");
    EXPECT_EQ(OpenTransactions(), 0); // two rows: read to the end at once
    auto empty = Open("select * from Contacts where ContactID < 0", ltReadOnly);
    EXPECT_TRUE(empty->SourceBOF() && empty->SourceEOF());
    empty->MoveNext();
    empty->MoveLast();
    EXPECT_TRUE(empty->SourceBOF() && empty->SourceEOF());
    EXPECT_EQ(empty->KnownRowCount(), 0);
    EXPECT_EQ(empty->ColumnCount(), 17);
}

TEST_F(PgQueries, CommandOfSeveralStatementsOpensTheFirstWithColumns) {
    auto rows = Open("create temp table scratch (v bigint); insert into scratch values (41);\r\n"
                     "update scratch set v = v + 1; select v from scratch; select 'ignored'");
    EXPECT_EQ(rows->Value(0).toInt(), 42);
    EXPECT_THROW(Open("update Contacts set Fax = 'f' where ContactID = 1; ; -- done"),
                 ENoResultSet);
    EXPECT_EQ(raw.Scalar("select \"Fax\" from \"Contacts\" where \"ContactID\" = 1").toString(),
              "f");
    EXPECT_EQ(ErrorOf([&] { Open("  -- nothing\n"); }), "CommandText does not return a result set");
    // Rows of a statement no cursor reads come whole.
    auto returned = Open("insert into Status (StatusID, Name) values (90, 'x') returning StatusID");
    EXPECT_EQ(returned->Value(0).toLongLong(), 90);
    EXPECT_EQ(returned->KnownRowCount(), 1);
    auto locking = Open("select ContactID from Contacts where ContactID = 2 for update");
    EXPECT_EQ(locking->Value(0).toLongLong(), 2);
    EXPECT_EQ(ErrorOf([&] { Open("do $$ begin perform 1; end $$; select 1"); }),
              "The command holds several statements and a dollar-quoted text; run each "
              "statement on its own.");
    EXPECT_EQ(OpenTransactions(), 0);
}

// The columns of a query on the contacts are the file engine's, name for
// name and type for type.
TEST_F(PgQueries, ColumnsAreTheFileEnginesColumns) {
    TempDatabase file;
    TDBConnection fileConnection("connFile");
    fileConnection.SetConnectionString(file.ConnectionString());
    fileConnection.Open();
    for (const QString sql : {"select * from Contacts", "select c.*, ct.Name as Country "
                                                        "from Contacts c join Countries ct on "
                                                        "ct.CountryID = c.CountryID"}) {
        auto server = connection.OpenRowSource(Query(sql));
        auto local = fileConnection.OpenRowSource(Query(sql));
        ASSERT_EQ(server->ColumnCount(), local->ColumnCount()) << sql.toStdString();
        for (int i = 0; i < local->ColumnCount(); ++i) {
            const TColumnInfo &a = server->Column(i);
            const TColumnInfo &b = local->Column(i);
            EXPECT_EQ(a.name, b.name);
            EXPECT_EQ(a.typeCode, b.typeCode) << b.name.toStdString();
            EXPECT_EQ(a.size, b.size) << b.name.toStdString();
            EXPECT_EQ(a.autoIncrement, b.autoIncrement) << b.name.toStdString();
            EXPECT_EQ(a.updatable, b.updatable) << b.name.toStdString();
        }
    }
}

TEST_F(PgQueries, ReadOnlyAndSelfJoinedQueriesRefuseChanges) {
    auto rows = Open("select * from Contacts", ltReadOnly);
    EXPECT_FALSE(rows->SupportsUpdating());
    EXPECT_EQ(ErrorOf([&] { rows->AddNew(); }),
              "The rows of this query cannot be changed: it is read-only, or its rows cannot be "
              "traced back to stored rows by their keys.");
    EXPECT_NE(ErrorOf([&] { rows->SetValue(1, QString("x")); }), "no error");
    EXPECT_NE(ErrorOf([&] { rows->DeleteRow(); }), "no error");
    // One contact's name beside another's key: no column can be written.
    auto paired = Open("select a.CompanyName, b.ContactID from Contacts a, Contacts b "
                       "where b.ContactID = a.ContactID + 1");
    EXPECT_FALSE(paired->SupportsUpdating());
    auto expression = Open("select ContactID, upper(CompanyName) as Name from Contacts");
    EXPECT_FALSE(expression->SupportsUpdating());
}

// Edits through a join go to the contact by its key, checked against what
// was read; another program's change meanwhile is refused, as is a delete
// of a row it changed or removed; a deleted row stays, marked.
TEST_F(PgQueries, EditAndDeleteThroughAJoinAreCheckedAgainstAnotherSession) {
    auto rows = Open("select ct.Name as Country, c.* from Contacts c\r\n"
                     "inner join Countries ct on ct.CountryID = c.CountryID order by c.ContactID");
    ASSERT_TRUE(rows->SupportsUpdating());
    rows->GotoBookmark(2);
    ASSERT_EQ(rows->Value(1).toInt(), 3);
    EXPECT_EQ(ErrorOf([&] { rows->SetValue(0, QString("Elsewhere")); }),
              "The column 'Country' cannot be written.");
    EXPECT_EQ(ErrorOf([&] { rows->SetValue(1, 99); }), "The column 'ContactID' cannot be written.");
    rows->SetExpected(9, QString("p3"));
    rows->SetValue(9, QString("new phone"));
    rows->Update();
    EXPECT_EQ(rows->Value(9).toString(), "new phone");
    EXPECT_EQ(Phone(3), "new phone");
    raw.Exec("update \"Contacts\" set \"Phone\" = 'theirs' where \"ContactID\" = 3");
    rows->SetExpected(9, QString("new phone"));
    rows->SetValue(9, QString("mine"));
    EXPECT_THROW(rows->Update(), EConflictError);
    EXPECT_EQ(ErrorOf([&] { rows->Update(); }),
              "The row was changed by another program since it was read; nothing was saved.");
    EXPECT_EQ(Phone(3), "theirs");
    rows->CancelUpdate();
    rows->RefreshRow();
    EXPECT_EQ(rows->Value(9).toString(), "theirs");
    // A null expected matches a null stored value only.
    rows->SetExpected(10, TValue());
    rows->SetValue(10, QString("fax"));
    rows->Update();

    auto single = Open("select * from Contacts where ContactID <= 4 order by ContactID");
    raw.Exec("delete from \"Contacts\" where \"ContactID\" = 1");
    EXPECT_EQ(ErrorOf([&] { single->DeleteRow(); }),
              "The row was deleted by another program since it was read; nothing was deleted.");
    EXPECT_FALSE(single->RowDeleted());
    single->GotoBookmark(1);
    single->SetExpected(1, QString("C2"));
    single->DeleteRow();
    EXPECT_TRUE(single->RowDeleted());
    EXPECT_EQ(ErrorOf([&] { single->Value(1); }), "The row has been deleted.");
    EXPECT_EQ(raw.Scalar("select count(*) from \"Contacts\" where \"ContactID\" = 2").toInt(), 0);
    single->MoveNext();
    EXPECT_EQ(single->Bookmark(), 2);
    single->MovePrevious();
    EXPECT_EQ(single->Bookmark(), 0);
    EXPECT_EQ(ColumnTexts(*single, 0), QStringList({"1", "3", "4"}));
    EXPECT_EQ(single->KnownRowCount(), 3);
    EXPECT_EQ(single->RowNumberOf(2), 2);
    EXPECT_EQ(single->RowNumberOf(1), -1);
    EXPECT_EQ(single->Clone()->FindFirst("CompanyName", QString("C2")), std::nullopt);
}

TEST_F(PgQueries, NewRowGoesAfterAllRowsWithItsStoredValues) {
    PgQueryRows::Limits limits;
    limits.firstBatch = 3;
    auto rows = OpenWith(limits, "select ContactID, CompanyName, StatusID, CallbackDate from "
                                 "Contacts where CountryID = 1 order by ContactID");
    EXPECT_EQ(rows->RowsRead(), 3);
    rows->AddNew();
    rows->SetValue(1, QString("Fresh"));
    rows->SetValue(3, 46000.5);
    rows->Update();
    EXPECT_EQ(rows->RowsRead(), 10); // the rest was read first
    EXPECT_TRUE(rows->Rows().Complete());
    EXPECT_EQ(rows->Bookmark(), 10);
    EXPECT_EQ(rows->Value(0).toLongLong(), 11); // the counter, as stored
    EXPECT_EQ(rows->Value(1).toString(), "Fresh");
    EXPECT_TRUE(ValueIsNull(rows->Value(2)));
    EXPECT_EQ(rows->Value(3).toDouble(), 46000.5);
    EXPECT_EQ(
        raw.Scalar("select \"CompanyName\" from \"Contacts\" where \"ContactID\" = 11").toString(),
        "Fresh");
    EXPECT_EQ(rows->KnownRowCount(), 11);
    rows->MoveNext();
    EXPECT_TRUE(rows->SourceEOF());
    rows->MovePrevious();
    rows->MovePrevious();
    EXPECT_EQ(rows->Value(1).toString(), "C10");
    // Too long for its column: refused, nothing stored, the row stays pending.
    rows->AddNew();
    rows->SetValue(1, QString(101, QLatin1Char('x')));
    EXPECT_EQ(ErrorOf([&] { rows->Update(); }),
              "The value for field 'CompanyName' is too long: at most 100 characters.");
    EXPECT_EQ(rows->Value(1).toString().size(), 101);
    EXPECT_EQ(raw.Scalar("select count(*) from \"Contacts\"").toInt(), 11);
}

TEST_F(PgQueries, RowOfSeveralTablesIsNeitherAddedNorDeleted) {
    auto rows = Open("select c.ContactID, c.CompanyName, s.StatusID, s.Name "
                     "from Contacts c, Status s where s.StatusID = 1");
    rows->AddNew();
    rows->SetValue(1, QString("X"));
    rows->SetValue(3, QString("Y"));
    EXPECT_EQ(ErrorOf([&] { rows->Update(); }),
              "The values belong to several tables (Contacts, Status); a row can be added to "
              "one table only.");
    rows->CancelUpdate();
    EXPECT_EQ(ErrorOf([&] { rows->DeleteRow(); }),
              "The row joins several tables; it cannot be deleted.");
    // One update writes both tables' columns, as one transaction.
    rows->SetValue(1, QString("Both"));
    rows->SetValue(3, QString("Changed"));
    rows->Update();
    EXPECT_EQ(raw.Scalar("select \"Name\" from \"Status\" where \"StatusID\" = 1").toString(),
              "Changed");
    EXPECT_EQ(rows->Value(1).toString(), "Both");
}

// The search of the main window finds on the server exactly the rows the
// file engine finds in the same contacts: substrings anywhere, "%" and "_"
// as wildcards, letter case ignored beyond ASCII.
TEST_F(PgQueries, SearchFindsWhatTheFileEngineFinds) {
    const QStringList names = {"100% Cotton", "under_score", "ÄÖÜ straße", "äöü STRASSE",
                               "Ελλάδα",      "ΕΛΛΆΔΑ",      "Дом",        "дОМ",
                               "plain",       "Ǆemal",       "ǆemal"};
    TempDatabase file;
    raw.Exec("delete from \"Contacts\"");
    for (int i = 0; i < names.size(); ++i) {
        raw.Exec("insert into \"Contacts\" (\"ContactID\", \"CompanyName\", \"City\") values "
                 "($1, $2, $3)",
                 {i + 1, names[i], i % 2 ? QString("Köln") : QString()});
        QString quoted = names[i];
        quoted.replace("'", "''");
        file.Exec(QStringLiteral("insert into Contacts (ContactID, CompanyName, City) values "
                                 "(%1, '%2', %3)")
                      .arg(i + 1)
                      .arg(quoted, i % 2 ? QStringLiteral("'Köln'") : QStringLiteral("NULL")));
    }
    TDBConnection fileConnection("connFile");
    fileConnection.SetConnectionString(file.ConnectionString());
    fileConnection.Open();
    auto found = [](TDBConnection &on, const QString &text) {
        const char *columns[] = {"CompanyName", "ContactPerson", "City", "State",  "PostCode",
                                 "Phone",       "Mobile",        "Url",  "Address"};
        QStringList tests;
        for (const char *column : columns)
            tests << QStringLiteral("%1 like \"%%2%\"").arg(column, text);
        auto rows = on.OpenRowSource(Query("select ContactID from Contacts where " +
                                               tests.join(" or ") + " order by ContactID",
                                           ltReadOnly));
        QStringList ids;
        for (; !rows->SourceEOF(); rows->MoveNext())
            ids << rows->Value(0).toString();
        return ids.join(',');
    };
    for (const QString text : {"0%", "%", "_", "r_s", "straße", "STRASSE", "äöü", "ελλάδα", "λλΆ",
                               "дом", "ДОМ", "ö", "Ö", "öln", "ǅ", "e_a", "PLAIN", "zz"}) {
        EXPECT_EQ(found(connection, text), found(fileConnection, text)) << text.toStdString();
    }
    EXPECT_EQ(found(connection, "дом"), "7,8");
    EXPECT_EQ(found(connection, "_"), "1,2,3,4,5,6,7,8,9,10,11");
}

} // namespace
