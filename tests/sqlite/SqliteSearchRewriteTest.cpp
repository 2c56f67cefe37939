#include "sqlite/SqliteSearchRewrite.h"

#include "SearchTestSupport.h"
#include "SqliteTestSupport.h"
#include "sqlite/SqliteDialect.h"
#include "support/TempDatabase.h"

using namespace search_test;
using namespace sqlite_test;

namespace {

SqliteSearchIndex ContactsIndex() {
    SqliteSearchIndex index;
    index.name = "ContactsSearch";
    index.table = "Contacts";
    index.rowidColumn = "ContactID";
    index.columns = SearchedColumns();
    return index;
}

QString Match(const QString &pattern, const QStringList &columns = SearchedColumns()) {
    return SqliteSearchRewrite::MatchQuery(pattern, columns, ContactsIndex());
}

// Lists compared as one readable text.
std::string Text(const QStringList &list) {
    return list.join(QLatin1String(" / ")).toStdString();
}

QString Rewritten(const QString &command) {
    return SqliteSearchRewrite::Rewrite(command, {ContactsIndex()});
}

TEST(SqliteSearchRewrite, MatchQueryTakesTheLiteralRunsOfThreeCharacters) {
    EXPECT_EQ(Match("%ber%"), "\"ber\"");
    EXPECT_EQ(Match("%Müller%"), "\"Müller\"");
    EXPECT_EQ(Match("%Sea_tle%"), "\"Sea\" AND \"tle\"");
    EXPECT_EQ(Match("%New%York%"), "\"New\" AND \"York\"");
    EXPECT_EQ(Match("%O\"Brien%"), "\"O\"\"Brien\"");
    EXPECT_EQ(Match("abc"), "\"abc\"");
    // Runs shorter than three characters cannot be looked up.
    EXPECT_EQ(Match("%be%"), "");
    EXPECT_EQ(Match("%a%bc%d_e%"), "");
    EXPECT_EQ(Match("%ab%cde%"), "\"cde\"");
    EXPECT_EQ(Match("%%"), "");
    EXPECT_EQ(Match(""), "");
    // A character the index folds differently splits a run, as do characters
    // beyond the Basic Multilingual Plane.
    EXPECT_EQ(Match("%ab\u13A0cd%"), "");
    EXPECT_EQ(Match("%abc\u13A0def%"), "\"abc\" AND \"def\"");
    EXPECT_EQ(Match("%x\U00010400yz%"), "");
    EXPECT_EQ(Match("%wxy\U00010400%"), "\"wxy\"");
    // Fewer columns than the index holds limit the query to them.
    EXPECT_EQ(Match("%ber%", {"city", "State", "City"}), "{\"City\" \"State\"} : (\"ber\")");
}

TEST(SqliteSearchRewrite, TheSearchStatementReadsTheIndexAndKeepsItsCondition) {
    const QString statement = SearchStatement("ber");
    const QString condition = statement.mid(statement.indexOf("CompanyName"));
    EXPECT_EQ(Rewritten(statement),
              "select Contacts.* from (SELECT rowid AS hit_rowid FROM [ContactsSearch] WHERE "
              "[ContactsSearch] MATCH '\"ber\"') AS search_hits CROSS JOIN Contacts ON "
              "Contacts.[ContactID] = search_hits.hit_rowid where (" +
                  condition + ")");
    // Apostrophes in the match query are doubled for the engine's literal.
    EXPECT_TRUE(Rewritten(SearchStatement("O'Neil")).contains("MATCH '\"O''Neil\"'"));
    // The lines as the search tab sends them, and an alias with a tail.
    const QString lines = "select * from Contacts where City like \"%ber%\"\r\n"
                          " or State like \"%ber%\"\r\n";
    EXPECT_EQ(Rewritten(lines),
              "select Contacts.* from (SELECT rowid AS hit_rowid FROM [ContactsSearch] WHERE "
              "[ContactsSearch] MATCH '{\"City\" \"State\"} : (\"ber\")') AS search_hits CROSS "
              "JOIN Contacts ON Contacts.[ContactID] = search_hits.hit_rowid where (City like "
              "\"%ber%\"\r\n or State like \"%ber%\")\r\n");
    EXPECT_EQ(Rewritten("SELECT c.CompanyName, * FROM [Contacts] AS c WHERE c.City LIKE '%ber%' "
                        "ORDER BY 1 LIMIT 5"),
              "SELECT c.CompanyName, c.* FROM (SELECT rowid AS hit_rowid FROM [ContactsSearch] "
              "WHERE [ContactsSearch] MATCH '{\"City\"} : (\"ber\")') AS search_hits CROSS JOIN "
              "[Contacts] AS c ON c.[ContactID] = search_hits.hit_rowid WHERE (c.City LIKE "
              "'%ber%') ORDER BY 1 LIMIT 5");
    // A "*" of a subquery in the list stays the subquery's.
    EXPECT_TRUE(Rewritten("select (select * from Status where StatusID = 1), 2 * 3 from "
                          "Contacts where City like \"%ber%\"")
                    .startsWith("select (select * from Status where StatusID = 1), 2 * 3 from "
                                "(SELECT rowid"));
}

TEST(SqliteSearchRewrite, OtherStatementsAreLeftAsTheyAre) {
    const QString unchanged[] = {
        SearchStatement("be"), // too short
        SearchStatement(""),   // no text
        "select * from Contacts where City like \"%ber%\" or State like \"%bern%\"",
        "select * from Contacts where Fax like \"%555%\"", // not indexed
        "select * from Contacts where City not like \"%ber%\"",
        "select * from Contacts where City like \"%ber%\" escape \"!\"",
        "select * from Contacts where City like \"%ber%\" and StatusID = 1",
        "select * from Contacts where (City like \"%ber%\")",
        "select * from Contacts where City like \"%ber%\" union select * from Contacts",
        "select * from Countries where Name like \"%ber%\"", // no index there
        "select * from Contacts, Status where City like \"%ber%\"",
        "select * from Contacts c join Status s where City like \"%ber%\"",
        "select * from (select * from Contacts) where City like \"%ber%\"",
        "select rowid, * from Contacts where City like \"%ber%\"",     // ambiguous in a join
        "select * from Contacts c where Contacts.City like \"%ber%\"", // not the alias
        "select * from Contacts where City like ?",
        "select * from Contacts where City like \"%ber", // not closed
        "update Contacts set City = 'x' where City like \"%ber%\"",
        "select * from Contacts",
    };
    for (const QString &command : unchanged)
        EXPECT_EQ(Rewritten(command), command);
    EXPECT_EQ(SqliteSearchRewrite::Rewrite(SearchStatement("ber"), {}), SearchStatement("ber"));
}

// Each contact's nine searched columns. Non-ASCII letters in both cases,
// wildcard characters inside values, nulls and empty texts, characters the
// index folds differently from the LIKE and characters beyond the Basic
// Multilingual Plane.
const char *const kCorpus[][3] = {
    {"Müller GmbH", "Jürgen Müller", "München"},
    {"MÜLLER AG", "JÜRGEN MÜLLER", "MÜNCHEN"},
    {"Muller Inc", "Jurgen Muller", "Munich"},
    {"Straße & Co", "Weiß", "Großenhain"},
    {"STRAẞE KG", "WEIẞ", "GROẞENHAIN"},
    {"Strasse Ltd", "Weiss", "Grossenhain"},
    {"ΑΘΗΝΑΪΚΗ Α.Ε.", "Σωκράτης Παπαδόπουλος", "Αθήνα"},
    {"αθηναϊκη α.ε.", "ΣΩΚΡΆΤΗΣ ΠΑΠΑΔΌΠΟΥΛΟΣ", "ΑΘΉΝΑ"},
    {"ОАО Москва", "Иван Петров", "Москва"},
    {"оао москва", "ИВАН ПЕТРОВ", "МОСКВА"},
    {"ÉCOLE ÀÉÎÕÜ", "Émile Zola", "Île-de-France"},
    {"école àéîõü", "émile zola", "île-de-france"},
    {"50% Off Stores", "Sale_Person", "100%_City"},
    {"50 Off Stores", "SaleXPerson", "100 City"},
    {"\u212Aelvin Labs", "Kelvin Smith", "kelvin"},
    {"\u13A0\u13A1\u13A2 Cherokee", "Sequoyah", "Tahlequah"},
    {"\uAB70\uAB71\uAB72 cherokee", "sequoyah", "tahlequah"},
    {"\U00010400\U00010401\U00010402 Deseret", "Brigham", "Provo"},
    {"\U00010428\U00010429\U0001042A deseret", "brigham", "provo"},
    {nullptr, "", "Berlin"},
    {"", nullptr, nullptr},
    {"Bern Consulting", "Heribert", "Bern"},
    {nullptr, nullptr, nullptr},
};

// The same contacts in a database with the search index and in one without,
// searched through the engine for the same texts: the index may only make
// the search faster, never change its rows.
class SearchThroughTheIndex : public ::testing::Test {
protected:
    void SetUp() override {
        for (TempDatabase *db : {&indexed, &plain}) {
            int id = 0;
            for (const auto &row : kCorpus) {
                ++id;
                QStringList values;
                for (int c = 0; c < 9; ++c) {
                    // The other six columns hold the first characters again,
                    // within the shortest column's size.
                    const char *text = row[c % 3];
                    QString value = QString::fromUtf8(text);
                    if (c >= 3)
                        value = value.left(15) + " " + QString::number(c);
                    values << (text ? SqliteDialect::QuoteLiteral(value) : QStringLiteral("NULL"));
                }
                db->Exec(QStringLiteral("INSERT INTO Contacts (ContactID, %1) VALUES (%2, %3)")
                             .arg(SearchedColumns().join(", "))
                             .arg(id * 3)
                             .arg(values.join(", ")));
            }
        }
        plain.Exec(DropSearchIndexSql());
        indexedEngine = Connected(indexed.Path());
        plainEngine = Connected(plain.Path());
    }

    // The ContactIDs of the search, with the whole rows alike in both.
    static QStringList Ids(SqliteEngine &engine, const QString &typed, QStringList *rows) {
        auto source = engine.OpenRowSource(QueryRequest(SearchStatement(typed), ltReadOnly));
        QStringList ids;
        for (source->MoveFirst(); !source->SourceEOF(); source->MoveNext()) {
            ids << source->Value(0).toString();
            QStringList values;
            for (int c = 0; c < source->ColumnCount(); ++c)
                values << source->Column(c).name + "=" + source->Value(c).toString();
            *rows << values.join(QLatin1Char('|'));
        }
        return ids;
    }

    TempDatabase indexed;
    TempDatabase plain;
    std::unique_ptr<SqliteEngine> indexedEngine;
    std::unique_ptr<SqliteEngine> plainEngine;
};

TEST_F(SearchThroughTheIndex, GivesExactlyTheRowsOfThePlainScan) {
    RawHandle handle(indexed.Path());
    const QVector<SqliteSearchIndex> indexes = SqliteSearchIndex::Find(handle.Db());
    ASSERT_EQ(indexes.size(), 1);
    const QStringList texts = {
        "müller",
        "MÜLLER",
        "Müll",
        "muller",
        "ünch",
        "straße",
        "STRASSE",
        "strasse",
        "ẞE",
        "weiß",
        "ΑΘΗΝΑ",
        "αθήνα",
        "σωκράτης",
        "ΠΟΥΛΟΣ",
        "πουλος",
        "москва",
        "ИВАН",
        "ÉCOLE",
        "école",
        "ÀÉÎ",
        "Île",
        "île-de",
        "50%",
        "0% O",
        "e_P",
        "Sale_",
        "100%_",
        "%_C",
        "_",
        "%",
        "0_C",
        "kelvin",
        "KEL",
        "\u212AEL",
        "\u13A0\u13A1\u13A2",
        "\uAB70\uAB71\uAB72",
        "Cherokee",
        "\U00010428\U00010429\U0001042A",
        "\U00010400",
        "eser",
        "be",
        "B",
        "Ü",
        "",
        " ",
        "Bern",
        "ERN",
        "ber",
        "er%in",
        "b_rl",
        "nothing here",
        "Off Stores",
        "7",
        "on 3",
        "a'b",
        "o\"x",
        // Runs the index finds in a row but not in this order in one column.
        "Bern%Heribert",
        "Heribert%Bern",
        "kelvin%labs",
        "Labs%Kelvin",
        "München%München",
    };
    int served = 0;
    int nonEmpty = 0;
    for (const QString &typed : texts) {
        const QString statement = SearchStatement(typed);
        served += SqliteSearchRewrite::Rewrite(statement, indexes) != statement ? 1 : 0;
        QStringList indexedRows;
        QStringList plainRows;
        const QStringList ids = Ids(*indexedEngine, typed, &indexedRows);
        EXPECT_EQ(Text(ids), Text(Ids(*plainEngine, typed, &plainRows))) << typed.toStdString();
        EXPECT_EQ(Text(indexedRows), Text(plainRows)) << typed.toStdString();
        nonEmpty += ids.isEmpty() ? 0 : 1;
    }
    // Most texts go through the index, and most of them find something.
    EXPECT_GE(served, 30);
    EXPECT_GE(nonEmpty, 45);
}

TEST_F(SearchThroughTheIndex, FindsNonAsciiTextInEitherCase) {
    QStringList rows;
    EXPECT_EQ(Text(Ids(*indexedEngine, "müller", &rows)), Text({"3", "6"}));
    EXPECT_EQ(Text(Ids(*indexedEngine, "ΣΩΚΡΆΤ", &rows)), Text({"21", "24"}));
    // The final sigma is a letter of its own in simple lowercase.
    EXPECT_EQ(Text(Ids(*indexedEngine, "ΣΩΚΡΆΤΗΣ", &rows)), Text({"24"}));
    EXPECT_EQ(Text(Ids(*indexedEngine, "straße", &rows)), Text({"12", "15"}));
    EXPECT_EQ(Text(Ids(*indexedEngine, "e_P", &rows)), Text({"39", "42"}));
    // Capitals the index does not fold, and a pair beyond the plane.
    EXPECT_EQ(Text(Ids(*indexedEngine, "\u13A0\u13A1\u13A2 CHER", &rows)), Text({"48", "51"}));
    EXPECT_EQ(Text(Ids(*indexedEngine, "\U00010428\U00010429\U0001042A", &rows)),
              Text({"54", "57"}));
    EXPECT_EQ(Text(Ids(*indexedEngine, "100%_", &rows)), Text({"39", "42"}));
    EXPECT_EQ(Ids(*indexedEngine, "", &rows).size(), 22); // every row but the all-null one
}

TEST_F(SearchThroughTheIndex, AnUpdatableSearchStaysUpdatableAndTheIndexFollowsItsWrites) {
    auto source = indexedEngine->OpenRowSource(QueryRequest(SearchStatement("Bern")));
    ASSERT_TRUE(source->SupportsUpdating());
    ASSERT_FALSE(source->SourceEOF());
    EXPECT_EQ(source->Value(0).toString(), "66");
    EXPECT_EQ(source->Column(1).name, "CompanyName");
    source->SetExpected(1, source->Value(1));
    source->SetValue(1, QStringLiteral("Zürich Partners"));
    source->Update();
    source.reset();
    QStringList rows;
    EXPECT_EQ(Text(Ids(*indexedEngine, "zürich", &rows)), Text({"66"}));
    // Written by another program: the triggers keep the index current.
    indexed.Exec("UPDATE Contacts SET City = 'Genève' WHERE ContactID = 3");
    indexed.Exec("DELETE FROM Contacts WHERE ContactID = 6");
    indexed.Exec("INSERT INTO Contacts (ContactID, Address) VALUES (99, 'Rue de Genève 1')");
    EXPECT_EQ(Text(Ids(*indexedEngine, "GENÈVE", &rows)), Text({"3", "99"}));
    // Contact 3 still has the city in two of its other columns.
    EXPECT_EQ(Text(Ids(*indexedEngine, "MÜNCHEN", &rows)), Text({"3"}));
    // The index holds exactly what the table holds (the check fails the
    // test otherwise).
    indexed.Exec("INSERT INTO ContactsSearch (ContactsSearch, rank) VALUES ('integrity-check', 1)");
}

TEST_F(SearchThroughTheIndex, AnIndexDroppedOrAddedMeanwhileIsNoticed) {
    QStringList rows;
    EXPECT_EQ(Text(Ids(*indexedEngine, "Heribert", &rows)), Text({"66"}));
    indexed.Exec(DropSearchIndexSql());
    EXPECT_EQ(Text(Ids(*indexedEngine, "Heribert", &rows)), Text({"66"}));

    // An index made while the connection is open is used from then on.
    plain.Exec(
        "CREATE VIRTUAL TABLE Hits USING fts5(City, content='Contacts', "
        "content_rowid='ContactID', tokenize='trigram');"
        "CREATE TRIGGER HitsInsert AFTER INSERT ON Contacts BEGIN "
        "INSERT INTO Hits (rowid, City) VALUES (new.ContactID, new.City); END;"
        "CREATE TRIGGER HitsDelete AFTER DELETE ON Contacts BEGIN "
        "INSERT INTO Hits (Hits, rowid, City) VALUES ('delete', old.ContactID, old.City); END;"
        "CREATE TRIGGER HitsUpdate AFTER UPDATE ON Contacts BEGIN "
        "INSERT INTO Hits (Hits, rowid, City) VALUES ('delete', old.ContactID, old.City); "
        "INSERT INTO Hits (rowid, City) VALUES (new.ContactID, new.City); END;"
        "INSERT INTO Hits (Hits) VALUES ('rebuild')");
    // Only City is indexed, so the search of nine columns is not served; a
    // search of City alone is, with the same rows as before.
    const QString city = "select ContactID from Contacts where City like \"%ünch%\"";
    auto before = indexedEngine->OpenRowSource(QueryRequest(city, ltReadOnly));
    auto served = plainEngine->OpenRowSource(QueryRequest(city, ltReadOnly));
    const QStringList servedIds = ColumnTexts(*served, 0);
    EXPECT_EQ(Text(servedIds), Text(ColumnTexts(*before, 0)));
    EXPECT_EQ(Text(servedIds), Text({"3", "6"}));
    // Emptied, the index shows that the search now goes through it.
    plain.Exec("INSERT INTO Hits (Hits) VALUES ('delete-all')");
    auto emptied = plainEngine->OpenRowSource(QueryRequest(city, ltReadOnly));
    EXPECT_TRUE(emptied->SourceEOF());
}

TEST_F(SearchThroughTheIndex, TheEngineSearchesThroughTheIndexWhenTheTextIsLongEnough) {
    // With the index emptied behind its back, what the engine finds shows
    // which way it went: through the index for three letters, over the
    // table for two.
    indexed.Exec("INSERT INTO ContactsSearch (ContactsSearch) VALUES ('delete-all')");
    QStringList rows;
    EXPECT_EQ(Text(Ids(*indexedEngine, "Heribert", &rows)), Text({}));
    EXPECT_EQ(Text(Ids(*indexedEngine, "ibe", &rows)), Text({}));
    EXPECT_EQ(Text(Ids(*indexedEngine, "ib", &rows)), Text({"66"}));
    EXPECT_EQ(Text(Ids(*plainEngine, "Heribert", &rows)), Text({"66"}));
}

} // namespace
