#include "SqliteTestSupport.h"
#include "sqlite/SqliteHandle.h"
#include "sqlite/SqliteQueryRowSource.h"
#include "sqlite/SqliteQueryRows.h"
#include "sqlite/SqliteStatement.h"
#include "support/TempDatabase.h"

#include <QFileInfo>

using namespace sqlite_test;

namespace {

// Contacts 1 .. n; every third has an integer call-back day (read as a real
// for its date column) and every fifth no company name.
void AddContacts(TempDatabase &db, int n, int noteLength = 10) {
    db.Exec(QStringLiteral(
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                "INSERT INTO Contacts (ContactID, CompanyName, Phone, CountryID, CallbackDate, "
                "Note) SELECT i, CASE WHEN i % 5 = 0 THEN NULL ELSE 'C' || i END, 'p' || i, 1, "
                "CASE WHEN i % 3 = 0 THEN 46000 ELSE 46000.25 END, "
                "replace(hex(zeroblob(%2)), '00', 'n') FROM n")
                .arg(n)
                .arg(noteLength));
}

// The rows of a query made directly, with the limits of a test.
class SpilledQueryRows : public ::testing::Test {
protected:
    std::unique_ptr<SqliteQueryRows> Rows(SqliteQueryRows::Limits limits) {
        auto handle = std::shared_ptr<SqliteHandle>(SqliteHandle::Open(db.Path(), 5000));
        auto statement = std::make_unique<SqliteStatement>(
            handle->Db(), "SELECT ContactID, CompanyName, CallbackDate, Note FROM Contacts "
                          "ORDER BY ContactID");
        const bool onRow = statement->Step();
        return std::make_unique<SqliteQueryRows>(
            handle, std::move(statement),
            QVector<int>{ColumnType::Integer, ColumnType::VarWChar, ColumnType::Date,
                         ColumnType::LongVarWChar},
            onRow, limits);
    }
    static QString Text(SqliteQueryRows &rows, int row, int column) {
        const TValue value = rows.Values(row)[column];
        return ValueIsNull(value) ? QStringLiteral("NULL") : value.toString();
    }

    TempDatabase db;
};

TEST_F(SpilledQueryRows, SpilledRowsReadAsHeldRowsInAnyOrder) {
    AddContacts(db, 300); // rows beyond several file checkpoints
    auto spilled = Rows({5, 3});
    auto held = Rows({1000, 3});
    EXPECT_TRUE(spilled->Reach(12));
    EXPECT_EQ(spilled->RowsRead(), 13);
    EXPECT_FALSE(spilled->Finished());
    spilled->ReadAll();
    held->ReadAll();
    EXPECT_TRUE(spilled->Complete());
    ASSERT_EQ(spilled->Count(), 300);
    EXPECT_EQ(spilled->SpilledRows(), 295);
    EXPECT_EQ(held->SpilledRows(), 0);
    // Backwards, then jumping about: each row is found from the nearest
    // checkpoint before it, or from the row found last.
    std::vector<int> order;
    for (int row = 299; row >= 0; --row)
        order.push_back(row);
    for (int i = 0; i < 300; ++i)
        order.push_back((i * 97 + 13) % 300);
    for (int row : order) {
        const QVector<TValue> expected = held->Values(row);
        const QVector<TValue> &actual = spilled->Values(row);
        ASSERT_EQ(actual.size(), expected.size());
        for (int c = 0; c < expected.size(); ++c) {
            EXPECT_EQ(actual[c].typeId(), expected[c].typeId()) << row << "/" << c;
            EXPECT_EQ(actual[c], expected[c]) << row << "/" << c;
        }
    }
    EXPECT_EQ(spilled->Values(20)[2].typeId(), QMetaType::Double); // 46000 of row 21
    EXPECT_EQ(Text(*spilled, 19, 1), "NULL");
}

TEST_F(SpilledQueryRows, ChangedAndAddedRowsSurviveTheCache) {
    AddContacts(db, 40);
    auto rows = Rows({5, 3});
    rows->ReadAll();
    rows->SetValue(20, 1, QStringLiteral("changed"));
    rows->SetValue(2, 1, QStringLiteral("held and changed"));
    for (int row = 0; row < 40; ++row)
        rows->Values(row); // every cache slot taken by other rows
    EXPECT_EQ(Text(*rows, 20, 1), "changed");
    EXPECT_EQ(Text(*rows, 20, 0), "21");
    EXPECT_EQ(Text(*rows, 21, 1), "C22");
    EXPECT_EQ(Text(*rows, 2, 1), "held and changed");
    EXPECT_EQ(rows->Append({qint64(41), QStringLiteral("added"), TValue(), TValue()}), 40);
    rows->SetValue(40, 3, QStringLiteral("note"));
    for (int row = 0; row < 41; ++row)
        rows->Values(row);
    EXPECT_EQ(Text(*rows, 40, 1), "added");
    EXPECT_EQ(Text(*rows, 40, 3), "note");
    EXPECT_EQ(rows->SpilledRows(), 36);
}

TEST_F(SpilledQueryRows, DeletedMarksCountAndNumberTheLiveRows) {
    AddContacts(db, 41);
    auto rows = Rows({5, 3});
    rows->ReadAll();
    rows->MarkDeleted(30);
    rows->MarkDeleted(10);
    rows->MarkDeleted(10);
    EXPECT_EQ(rows->DeletedCount(), 2);
    EXPECT_TRUE(rows->Deleted(30));
    EXPECT_FALSE(rows->Deleted(29));
    EXPECT_EQ(rows->DeletedBefore(10), 0);
    EXPECT_EQ(rows->DeletedBefore(11), 1);
    EXPECT_EQ(rows->DeletedBefore(40), 2);
    // Live numbers 0-9 are rows 0-9, 10-28 rows 11-29, 29-38 rows 31-40.
    EXPECT_EQ(rows->LiveRowAt(9), 9);
    EXPECT_EQ(rows->LiveRowAt(10), 11);
    EXPECT_EQ(rows->LiveRowAt(28), 29);
    EXPECT_EQ(rows->LiveRowAt(29), 31);
    EXPECT_EQ(rows->LiveRowAt(38), 40);
    EXPECT_EQ(rows->LiveRowAt(39), -1);
    EXPECT_EQ(rows->LiveRowAt(-1), -1);
}

TEST_F(SpilledQueryRows, TemporaryFileIsRemovedWithTheRows) {
    AddContacts(db, 3000, 1000); // about 3 MB of rows
    auto rows = Rows({10, 4});
    rows->ReadAll();
    EXPECT_EQ(Text(*rows, 2998, 1), "C2999");
    EXPECT_EQ(rows->Values(2999)[3].toString().size(), 1000);
    const QString name = rows->SpillFileName();
    ASSERT_FALSE(name.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(name));
    rows.reset();
    EXPECT_FALSE(QFileInfo::exists(name));
}

// Through the row source, with its own limits: rows past the first few
// thousand are changed, deleted, added and found as the first ones are.
TEST_F(SpilledQueryRows, RowSourceWritesAndFindsRowsOfTheFile) {
    AddContacts(db, 3000);
    auto engine = Connected(db.Path());
    auto source = engine->OpenRowSource(QueryRequest("select * from Contacts"));
    auto *query = dynamic_cast<SqliteQueryRowSource *>(source.get());
    ASSERT_NE(query, nullptr);
    const int phone = 8;
    ASSERT_EQ(query->Column(phone).name, "Phone");
    query->GotoBookmark(2500);
    EXPECT_EQ(query->Value(phone).toString(), "p2501");
    query->SetExpected(phone, QStringLiteral("p2501"));
    query->SetValue(phone, QStringLiteral("new phone"));
    query->Update();
    EXPECT_EQ(db.Scalar("select Phone from Contacts where ContactID = 2501").toString(),
              "new phone");
    query->MoveFirst();
    query->GotoBookmark(2500);
    EXPECT_EQ(query->Value(phone).toString(), "new phone");

    query->GotoBookmark(2600);
    query->DeleteRow();
    EXPECT_TRUE(query->RowDeleted());
    query->MoveNext();
    EXPECT_EQ(query->Bookmark(), 2601);

    auto clone = query->Clone();
    EXPECT_EQ(clone->FindFirst("Phone", QStringLiteral("new phone")),
              std::optional<TBookmark>(2500));
    EXPECT_EQ(clone->FindFirst("Phone", QStringLiteral("p2601")), std::nullopt);
    EXPECT_EQ(clone->FindFirst("Phone", QStringLiteral("p2999")), std::optional<TBookmark>(2998));

    query->AddNew();
    query->SetValue(1, QStringLiteral("Fresh"));
    query->Update();
    EXPECT_EQ(query->Bookmark(), 3000);
    EXPECT_EQ(query->Value(0).toInt(), 3001); // the counter, read back by key
    EXPECT_EQ(query->KnownRowCount(), 3000);
    EXPECT_EQ(query->RowNumberOf(3000), 3000);
}

} // namespace

// Read once, front to back: every row comes as the kept rows give it, only
// the last few hundred stay, nothing goes to a file, and a row that has gone
// says so instead of giving another row's values.
TEST_F(SpilledQueryRows, RowsReadOnceKeepOnlyTheLastAndNeverSpill) {
    AddContacts(db, 3000);
    auto kept = Rows({10000, 3});
    SqliteQueryRows::Limits once;
    once.readOnce = true;
    auto rows = Rows(once);
    kept->ReadAll();
    for (int row = 0; row < 3000; ++row) {
        ASSERT_TRUE(rows->Reach(row));
        for (int column = 0; column < 4; ++column)
            ASSERT_EQ(Text(*rows, row, column), Text(*kept, row, column)) << row;
    }
    EXPECT_FALSE(rows->Reach(3000));
    EXPECT_TRUE(rows->Complete());
    EXPECT_EQ(rows->Count(), 3000);
    EXPECT_EQ(rows->SpilledRows(), 0);
    EXPECT_TRUE(rows->SpillFileName().isEmpty());
    EXPECT_EQ(Text(*rows, 2998, 1), "C2999");
    EXPECT_EQ(Text(*rows, 3000 - 256, 0), "2745");
    EXPECT_THROW(rows->Values(3000 - 257), EProviderError);
    EXPECT_THROW(rows->Values(0), EProviderError);
}
