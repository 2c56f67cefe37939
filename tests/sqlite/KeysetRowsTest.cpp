// Long read-only lists read past their first rows by row id: the same rows
// in the same order as reading them whole, or the whole rows when the ids
// come in another order; what another program changes later shows when the
// row is read; and which query texts can be read so.

#include "SqliteTestSupport.h"
#include "data/ConnectionString.h"
#include "data/DBConnection.h"
#include "data/Field.h"
#include "data/QueryCursor.h"
#include "sqlite/SqliteHandle.h"
#include "sqlite/SqliteKeysetQuery.h"
#include "sqlite/SqliteQueryRows.h"
#include "sqlite/SqliteStatement.h"
#include "support/TempDatabase.h"

#include <QRandomGenerator>

using namespace sqlite_test;

namespace {

class KeysetRows : public ::testing::Test {
protected:
    KeysetRows() {
        db.Exec(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
            "INSERT INTO Contacts (ContactID, CompanyName, CountryID, CallbackDate, Note) "
            "SELECT i, CASE WHEN i % 5 = 0 THEN NULL ELSE 'C' || i END, 1, 46000 + i % 7, "
            "'note ' || i FROM n"));
    }
    std::unique_ptr<SqliteQueryRows> Rows(const QString &order, const QByteArray &keySql) {
        auto handle = std::shared_ptr<SqliteHandle>(SqliteHandle::Open(db.Path(), 5000));
        auto statement = std::make_unique<SqliteStatement>(
            handle->Db(),
            "SELECT ContactID, CompanyName, CallbackDate, Note FROM Contacts ORDER BY " + order);
        const bool onRow = statement->Step();
        auto rows = std::make_unique<SqliteQueryRows>(
            handle, std::move(statement),
            QVector<int>{ColumnType::Integer, ColumnType::VarWChar, ColumnType::Date,
                         ColumnType::LongVarWChar},
            onRow, SqliteQueryRows::Limits{100, 16});
        if (!keySql.isEmpty()) {
            SqliteQueryRows::Keyset keyset;
            keyset.keySql = keySql;
            keyset.rowSql = "SELECT ContactID, CompanyName, CallbackDate, Note FROM Contacts "
                            "WHERE rowid = ?1";
            keyset.keyColumn = 0;
            rows->SetKeyset(keyset);
        }
        return rows;
    }
    static void ExpectSameRows(SqliteQueryRows &a, SqliteQueryRows &b) {
        ASSERT_EQ(a.Count(), b.Count());
        QRandomGenerator random(7);
        for (int i = 0; i < 2 * a.Count(); ++i) {
            const int row = i < a.Count() ? a.Count() - 1 - i : int(random.bounded(a.Count()));
            const QVector<TValue> expected = b.Values(row);
            const QVector<TValue> actual = a.Values(row);
            for (int c = 0; c < expected.size(); ++c) {
                ASSERT_EQ(actual[c].typeId(), expected[c].typeId()) << row << "/" << c;
                ASSERT_EQ(actual[c], expected[c]) << row << "/" << c;
            }
        }
    }

    TempDatabase db;
};

TEST_F(KeysetRows, IdsInTheSameOrderReadTheSameRowsAndIdsInAnotherAreNotUsed) {
    auto whole = Rows("CompanyName DESC, ContactID", QByteArray());
    whole->ReadAll();
    EXPECT_GT(whole->SpilledRows(), 0);

    auto byKeys = Rows("CompanyName DESC, ContactID",
                       "SELECT ContactID FROM Contacts ORDER BY CompanyName DESC, ContactID");
    byKeys->ReadAll();
    EXPECT_TRUE(byKeys->ByKeys());
    EXPECT_EQ(byKeys->SpilledRows(), 0);
    ExpectSameRows(*byKeys, *whole);

    // Ids in key order do not follow the query's order: the rows are read
    // whole, as without ids.
    auto otherOrder =
        Rows("CompanyName DESC, ContactID", "SELECT ContactID FROM Contacts ORDER BY ContactID");
    otherOrder->ReadAll();
    EXPECT_FALSE(otherOrder->ByKeys());
    ExpectSameRows(*otherOrder, *whole);
    // A key statement the engine refuses changes nothing either.
    auto refused = Rows("CompanyName DESC, ContactID", "SELECT nonsense FROM nowhere");
    refused->ReadAll();
    EXPECT_FALSE(refused->ByKeys());
    ExpectSameRows(*refused, *whole);
}

TEST_F(KeysetRows, ALaterChangeShowsWhenTheRowIsReadAndADeletedRowReadsAsNulls) {
    auto rows = Rows("ContactID", "SELECT ContactID FROM Contacts ORDER BY ContactID");
    rows->ReadAll();
    ASSERT_TRUE(rows->ByKeys());
    // Rows held in memory keep the values they had; rows read by id give the
    // stored ones at the time they are read.
    db.Exec("UPDATE Contacts SET CompanyName = 'later' WHERE ContactID IN (51, 2501)");
    db.Exec("DELETE FROM Contacts WHERE ContactID = 2600");
    EXPECT_EQ(rows->Values(50)[1].toString(), "C51");
    EXPECT_EQ(rows->Values(2500)[1].toString(), "later");
    EXPECT_EQ(rows->Count(), 3000);
    for (const TValue &value : rows->Values(2599))
        EXPECT_TRUE(ValueIsNull(value));
    EXPECT_THROW(rows->Append({qint64(4000), TValue(), TValue(), TValue()}), EProviderError);
}

TEST(KeysetQuery, OnlyEveryColumnOfOneTableInItsOrderIsReadByIds) {
    TempDatabase db;
    auto handle = SqliteHandle::Open(db.Path(), 5000);
    auto origins = [&](const QString &sql, QVector<QString> *tables, QVector<QString> *columns) {
        SqliteStatement statement(handle->Db(), sql);
        for (int i = 0; i < statement.ColumnCount(); ++i) {
            const char *table = sqlite3_column_table_name(statement.Handle(), i);
            const char *column = sqlite3_column_origin_name(statement.Handle(), i);
            *tables << QString::fromUtf8(table ? table : "");
            *columns << QString::fromUtf8(column ? column : "");
        }
    };
    auto keyset = [&](const QString &sql) {
        QVector<QString> tables;
        QVector<QString> columns;
        origins(sql, &tables, &columns);
        return SqliteKeysetQuery::For(handle->Db(), sql, tables, columns);
    };
    const auto all = keyset("select * from Contacts where City like '%a%'");
    ASSERT_TRUE(all.has_value());
    EXPECT_EQ(all->keySql, "select rowid from Contacts where City like '%a%'");
    EXPECT_EQ(all->orderedKeySql,
              "select rowid from Contacts where City like '%a%' order by rowid");
    EXPECT_EQ(all->rowSql, "select * from \"Contacts\" where rowid = ?1");
    EXPECT_EQ(all->keyColumn, 0);
    const auto qualified = keyset("SELECT c.* FROM Contacts c ORDER BY City");
    ASSERT_TRUE(qualified.has_value());
    EXPECT_EQ(qualified->keySql, "select c.rowid FROM Contacts c ORDER BY City");
    EXPECT_TRUE(qualified->orderedKeySql.isEmpty());
    EXPECT_FALSE(keyset("select CompanyName, City from Contacts").has_value());
    EXPECT_FALSE(keyset("select ct.Name as Country, c.* from Contacts c left join Countries ct "
                        "on ct.CountryID = c.CountryID")
                     .has_value());
    // Any table with an integer key will do.
    EXPECT_TRUE(keyset("select * from Countries order by OrderNumber").has_value());
}

// Through the cursor a list of 3,000 contacts reads the same read-only as
// it does when it could be written to (which keeps whole rows), moving
// about in it by record number.
TEST_F(KeysetRows, AReadOnlyListMovesThroughTheSameRowsAsAWritableOne) {
    TDBConnection connection;
    connection.SetConnectionString(db.ConnectionString());
    TQueryCursor readOnly("qrySearch");
    TQueryCursor writable("qryOther");
    for (TQueryCursor *query : {&readOnly, &writable}) {
        query->SetConnection(&connection);
        query->SQL().Add("select * from Contacts");
    }
    readOnly.SetCursorType(ctOpenForwardOnly);
    readOnly.SetLockType(ltReadOnly);
    readOnly.Open();
    writable.Open();
    readOnly.Last();
    writable.Last();
    ASSERT_EQ(readOnly.RecordCount(), 3000);
    ASSERT_EQ(writable.RecordCount(), 3000);
    QRandomGenerator random(3);
    for (int i = 0; i < 300; ++i) {
        const int record = int(random.bounded(3000)) + 1;
        readOnly.SetRecNo(record);
        writable.SetRecNo(record);
        ASSERT_EQ(readOnly.FieldNamed("ContactID")->TextValue(),
                  writable.FieldNamed("ContactID")->TextValue());
        ASSERT_EQ(readOnly.FieldNamed("CompanyName")->TextValue(),
                  writable.FieldNamed("CompanyName")->TextValue());
        ASSERT_EQ(readOnly.FieldNamed("CallbackDate")->TextValue(),
                  writable.FieldNamed("CallbackDate")->TextValue());
    }
    // A Locate scans the rows one after another, by the key column and by
    // another; both find the same row as the writable list does.
    for (const auto &[column, value] :
         {std::pair<QString, TValue>{"ContactID", qint64(2999)},
          std::pair<QString, TValue>{"CompanyName", QStringLiteral("C2998")},
          std::pair<QString, TValue>{"Note", QStringLiteral("note 2501")}}) {
        readOnly.First();
        writable.First();
        ASSERT_TRUE(readOnly.Locate(column, value)) << column.toStdString();
        ASSERT_TRUE(writable.Locate(column, value)) << column.toStdString();
        EXPECT_EQ(readOnly.RecNo(), writable.RecNo()) << column.toStdString();
        EXPECT_EQ(readOnly.FieldNamed("Note")->TextValue(),
                  writable.FieldNamed("Note")->TextValue());
    }
    // Read front to back, every row is the same.
    readOnly.First();
    writable.First();
    int rows = 0;
    for (; !readOnly.Eof(); readOnly.Next(), writable.Next(), ++rows) {
        ASSERT_EQ(readOnly.FieldNamed("ContactID")->TextValue(),
                  writable.FieldNamed("ContactID")->TextValue());
        ASSERT_EQ(readOnly.FieldNamed("Note")->TextValue(),
                  writable.FieldNamed("Note")->TextValue());
    }
    EXPECT_EQ(rows, 3000);
    EXPECT_TRUE(writable.Eof());
}

} // namespace
