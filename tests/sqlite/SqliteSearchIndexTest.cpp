#include "sqlite/SqliteSearchIndex.h"

#include "SearchTestSupport.h"
#include "SqliteTestSupport.h"
#include "support/TempDatabase.h"

using namespace sqlite_test;

namespace {

std::optional<SqliteSearchIndex> Declared(const QString &arguments) {
    return SqliteSearchIndex::FromDefinition("S", "CREATE VIRTUAL TABLE S USING fts5(" + arguments +
                                                      ")");
}

TEST(SqliteSearchIndex, ReadsTheDeclarationOfAFoldingTrigramIndex) {
    const auto index = Declared("CompanyName, \"City\", [State], `Url`, Note UNINDEXED, "
                                "content = 'Contacts', content_rowid = ContactID, "
                                "tokenize = 'trigram', detail = full, columnsize = 0");
    ASSERT_TRUE(index.has_value());
    EXPECT_EQ(index->name, "S");
    EXPECT_EQ(index->table, "Contacts");
    EXPECT_EQ(index->rowidColumn, "ContactID");
    EXPECT_EQ(index->columns, QStringList({"CompanyName", "City", "State", "Url"}));
    EXPECT_TRUE(index->Covers("city"));
    EXPECT_FALSE(index->Covers("Note"));

    // The tokenizer in its other spellings, and the row id by default.
    for (const char *tokenize :
         {"tokenize=\"trigram case_sensitive 0\"", "tokenize=trigram", "tokenize = 'TRIGRAM'",
          "tokenize=\"'trigram' 'case_sensitive' 0\""}) {
        const auto other = Declared(QStringLiteral("a, content=T, %1").arg(tokenize));
        ASSERT_TRUE(other.has_value()) << tokenize;
        EXPECT_EQ(other->rowidColumn, "rowid");
    }
}

TEST(SqliteSearchIndex, RefusesIndexesThatCannotServeACaseInsensitiveSearch) {
    const char *const refused[] = {
        "a, content=T, tokenize='trigram case_sensitive 1'", // case matters in it
        "a, content=T, tokenize='unicode61'",                // words, not substrings
        "a, content=T",                                      // the default tokenizer
        "a, tokenize='trigram'",                             // texts of its own
        "a, content='', tokenize='trigram'",                 // no texts at all
        "a, content=T, tokenize='trigram', detail=column",   // no phrases
        "a, content=T, tokenize='trigram', secure_delete=1", // an option not known here
        "a UNINDEXED, content=T, tokenize='trigram'",        // nothing indexed
    };
    for (const char *arguments : refused)
        EXPECT_FALSE(Declared(arguments).has_value()) << arguments;
    EXPECT_FALSE(SqliteSearchIndex::FromDefinition("S", "CREATE VIRTUAL TABLE S USING "
                                                        "fts4(a, tokenize=trigram)")
                     .has_value());
    EXPECT_FALSE(SqliteSearchIndex::FromDefinition("S", "CREATE TABLE S (a)").has_value());
}

TEST(SqliteSearchIndex, KnowsWhichTriggersKeepItCurrent) {
    SqliteSearchIndex index;
    index.name = "S";
    index.table = "T";
    index.rowidColumn = "id";
    index.columns = QStringList({"a", "b"});
    const QString body = " BEGIN INSERT INTO S (rowid, a, b) VALUES (new.id, new.a, new.b); END";
    EXPECT_EQ(index.EventsKeptBy("CREATE TRIGGER x AFTER INSERT ON T" + body),
              QStringList({"insert"}));
    EXPECT_EQ(index.EventsKeptBy("CREATE TRIGGER IF NOT EXISTS main.x AFTER DELETE ON \"T\" "
                                 "FOR EACH ROW BEGIN INSERT INTO \"S\" (\"S\", rowid) VALUES "
                                 "('delete', old.id); END"),
              QStringList({"delete"}));
    EXPECT_EQ(index.EventsKeptBy("CREATE TRIGGER x AFTER UPDATE OF id, b, a ON T" + body),
              QStringList({"update"}));
    const QString ignored[] = {
        "CREATE TRIGGER x BEFORE INSERT ON T" + body, // sees the row before it is stored
        "CREATE TRIGGER x INSERT ON T" + body,        // before, by default
        "CREATE TRIGGER x AFTER INSERT ON U" + body,  // another table
        "CREATE TRIGGER x AFTER INSERT ON T WHEN new.a > 0" + body, // not every row
        "CREATE TRIGGER x AFTER UPDATE OF a, b ON T" + body,        // a new id is missed
        "CREATE TRIGGER x AFTER UPDATE OF id, a ON T" + body,       // a change of b is missed
        "CREATE TRIGGER x AFTER INSERT ON T BEGIN SELECT 1; END",   // writes elsewhere
    };
    for (const QString &sql : ignored)
        EXPECT_TRUE(index.EventsKeptBy(sql).isEmpty()) << sql.toStdString();
}

TEST(SqliteSearchIndex, FindsTheContactsIndexOnlyWhileAllItsTriggersAreThere) {
    const TempDatabase db;
    {
        RawHandle handle(db.Path());
        const QVector<SqliteSearchIndex> found = SqliteSearchIndex::Find(handle.Db());
        ASSERT_EQ(found.size(), 1);
        EXPECT_EQ(found[0].name, "ContactsSearch");
        EXPECT_EQ(found[0].table, "Contacts");
        EXPECT_EQ(found[0].rowidColumn, "ContactID");
        EXPECT_EQ(found[0].columns, search_test::SearchedColumns());
    }
    db.Exec("DROP TRIGGER ContactsSearchUpdate");
    {
        RawHandle handle(db.Path());
        EXPECT_TRUE(SqliteSearchIndex::Find(handle.Db()).isEmpty());
    }
    db.Exec("DROP TRIGGER ContactsSearchInsert; DROP TRIGGER ContactsSearchDelete; "
            "DROP TABLE ContactsSearch");
    RawHandle handle(db.Path());
    EXPECT_TRUE(SqliteSearchIndex::Find(handle.Db()).isEmpty());
}

} // namespace
