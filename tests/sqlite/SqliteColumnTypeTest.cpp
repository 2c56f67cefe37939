#include "sqlite/SqliteColumnType.h"
#include "SqliteTestSupport.h"
#include "support/TempDatabase.h"

using namespace sqlite_test;

namespace {

TEST(SqliteColumnType, DeclaredTypesGiveTheirTypeCodes) {
    using namespace ColumnType;
    const struct {
        const char *declared;
        int code;
        int size;
    } cases[] = {
        {"VARCHAR(30)", VarWChar, 30},
        {"nvarchar( 12 )", VarWChar, 12},
        {"TEXT(255)", VarWChar, 255},
        {"CHAR(2)", VarWChar, 2},
        {"TEXT", LongVarWChar, 0},
        {"LONGTEXT", LongVarWChar, 0},
        {"Memo", LongVarWChar, 0},
        {"CLOB", LongVarWChar, 0},
        {"INTEGER", Integer, 0},
        {"int", Integer, 0},
        {"LONG", Integer, 0},
        {"MEDIUMINT", Integer, 0},
        {"SMALLINT", SmallInt, 0},
        {"TINYINT", UnsignedTinyInt, 0},
        {"BYTE", UnsignedTinyInt, 0},
        {"BIGINT", BigInt, 0},
        {"DOUBLE", Double, 0},
        {"REAL", Double, 0},
        {"FLOAT", Double, 0},
        {"SINGLE", Single, 0},
        {"DATETIME", Date, 0},
        {"TIMESTAMP", Date, 0},
        {"DATE", DBDate, 0},
        {"TIME", DBTime, 0},
        {"BOOLEAN", Boolean, 0},
        {"BIT", Boolean, 0},
        {"YESNO", Boolean, 0},
        {"CURRENCY", Currency, 0},
        {"MONEY", Currency, 0},
        {"DECIMAL(10,2)", Numeric, 0},
        {"NUMERIC", Numeric, 0},
        {"BLOB", LongVarBinary, 0},
        {"BINARY(16)", LongVarBinary, 0},
        {"IMAGE", LongVarBinary, 0},
        {"GUID", Guid, 0},
        {"WHATEVER", Variant, 0},
    };
    for (const auto &c : cases) {
        const auto mapping = SqliteColumnType::FromDeclaredType(c.declared);
        EXPECT_EQ(mapping.code, c.code) << c.declared;
        EXPECT_EQ(mapping.size, c.size) << c.declared;
    }
}

TEST(SqliteColumnType, WholeRealsOfDateAndFloatColumnsReadAsReals) {
    const TValue whole(qint64(46364));
    EXPECT_EQ(SqliteColumnType::Normalize(ColumnType::Date, whole).typeId(), QMetaType::Double);
    EXPECT_EQ(SqliteColumnType::Normalize(ColumnType::Double, whole).toDouble(), 46364.0);
    EXPECT_EQ(SqliteColumnType::Normalize(ColumnType::Integer, whole).typeId(),
              QMetaType::LongLong);
    EXPECT_TRUE(ValueIsNull(SqliteColumnType::Normalize(ColumnType::Date, TValue())));
}

class SqliteContactColumns : public ::testing::Test {
protected:
    SqliteContactColumns() : db(2), engine(Connected(db.Path())) {}
    // Column name -> field type, size, counter flag, updatable flag.
    static std::string Describe(const TRowSource &source, int column) {
        const TColumnInfo &info = source.Column(column);
        return QStringLiteral("%1 %2 %3%4%5")
            .arg(info.name)
            .arg(FieldTypeForColumn(info.typeCode, info.autoIncrement))
            .arg(info.size)
            .arg(info.autoIncrement ? " auto" : "")
            .arg(info.updatable ? " rw" : "")
            .toStdString();
    }
    TempDatabase db;
    std::unique_ptr<SqliteEngine> engine;
};

TEST_F(SqliteContactColumns, TableColumnsGetTheContactsFieldTypes) {
    auto contacts = engine->OpenRowSource(TableRequest("Contacts", "ContactID"));
    ASSERT_EQ(contacts->ColumnCount(), 17);
    EXPECT_EQ(Describe(*contacts, 0), "ContactID 14 0 auto");
    EXPECT_EQ(Describe(*contacts, 1), "CompanyName 24 100 rw");
    EXPECT_EQ(Describe(*contacts, 3), "CountryID 3 0 rw");
    EXPECT_EQ(Describe(*contacts, 8), "Phone 24 30 rw");
    EXPECT_EQ(Describe(*contacts, 13), "Note 16 0 rw");
    EXPECT_EQ(Describe(*contacts, 14), "StatusID 3 0 rw");
    EXPECT_EQ(Describe(*contacts, 15), "LastCallDate 11 0 rw");
    EXPECT_EQ(Describe(*contacts, 16), "CallbackDate 11 0 rw");
    // A plain INTEGER PRIMARY KEY is a key the program assigns, not a counter.
    auto status = engine->OpenRowSource(TableRequest("Status"));
    EXPECT_EQ(Describe(*status, 0), "StatusID 3 0 rw");
    auto countries = engine->OpenRowSource(QueryRequest("select * from Countries"));
    EXPECT_EQ(Describe(*countries, 0), "CountryID 3 0"); // the key names the row
    EXPECT_EQ(Describe(*countries, 1), "Name 24 50 rw");
    // A date-time value reads as a real even when it is a whole day.
    db.Exec("UPDATE Contacts SET CallbackDate = 46364");
    EXPECT_EQ(contacts->Value(16).typeId(), QMetaType::Double);
}

TEST_F(SqliteContactColumns, JoinedQueryTakesTypesThroughAliases) {
    auto rows = engine->OpenRowSource(
        QueryRequest("select ct.Name as Country, c.* from Contacts c\r\n"
                     "inner join Countries ct on ct.CountryID = c.CountryID\r\n"));
    ASSERT_EQ(rows->ColumnCount(), 18);
    // Countries' key is not in the result, so its Name cannot be written;
    // the contact's columns can, by ContactID.
    EXPECT_EQ(Describe(*rows, 0), "Country 24 50");
    EXPECT_EQ(Describe(*rows, 1), "ContactID 14 0 auto");
    EXPECT_EQ(Describe(*rows, 2), "CompanyName 24 100 rw");
    EXPECT_EQ(Describe(*rows, 4), "CountryID 3 0 rw");
    EXPECT_EQ(Describe(*rows, 14), "Note 16 0 rw");
    EXPECT_EQ(Describe(*rows, 17), "CallbackDate 11 0 rw");
    EXPECT_TRUE(rows->SupportsUpdating());
}

TEST_F(SqliteContactColumns, ExpressionsTakeTheirTypeFromTheFirstRow) {
    auto rows = engine->OpenRowSource(
        QueryRequest("select count(*), 1.5, 'x' || 'y', x'00', NULL, max(CallbackDate) "
                     "from Contacts",
                     ltReadOnly));
    EXPECT_EQ(Describe(*rows, 0), "count(*) 25 0");
    EXPECT_EQ(Describe(*rows, 1), "1.5 6 0");
    EXPECT_EQ(Describe(*rows, 2), "'x' || 'y' 24 0");
    EXPECT_EQ(Describe(*rows, 3), "x'00' 15 0");
    EXPECT_EQ(Describe(*rows, 4), "NULL 32 0");
    // Without a row there is nothing to go by.
    auto none = engine->OpenRowSource(QueryRequest("select 1 + 1 where 0", ltReadOnly));
    EXPECT_EQ(Describe(*none, 0), "1 + 1 32 0");
}

TEST_F(SqliteContactColumns, ReadOnlyAndKeylessResultsCannotBeWritten) {
    auto readOnly = engine->OpenRowSource(QueryRequest("select * from Contacts", ltReadOnly));
    EXPECT_FALSE(readOnly->SupportsUpdating());
    EXPECT_FALSE(readOnly->Column(1).updatable);
    auto keyless = engine->OpenRowSource(QueryRequest("select CompanyName from Contacts"));
    EXPECT_FALSE(keyless->SupportsUpdating());
    // A table met twice leaves unclear which of its rows a column is from.
    auto selfJoin = engine->OpenRowSource(
        QueryRequest("select a.ContactID, b.CompanyName from Contacts a, Contacts b"));
    EXPECT_FALSE(selfJoin->SupportsUpdating());
    auto table = engine->OpenRowSource(TableRequest("Status", "", ltReadOnly));
    EXPECT_FALSE(table->SupportsUpdating());
    EXPECT_FALSE(table->Column(1).updatable);
}

} // namespace
