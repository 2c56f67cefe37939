#include "postgres/PgDialect.h"

#include "data/DatabaseErrors.h"
#include "data/DateTimeValue.h"

#include <QDate>
#include <QRandomGenerator>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

PgNames SchemaNames() {
    PgNames names;
    for (const char *name : {"Contacts",  "ContactID", "CompanyName",  "ContactPerson", "City",
                             "Email",     "Phone",     "CallbackDate", "LastCallDate",  "Countries",
                             "CountryID", "Name",      "OrderNumber",  "Status",        "StatusID",
                             "Imports",   "ImportID",  "ImportFills",  "FieldName",     "OldValue",
                             "NewValue"})
        names.Add(QString::fromLatin1(name));
    return names;
}

struct Golden {
    const char *text;
    const char *sql;
    int positional;
    QStringList literals;
};

void ExpectTranslation(const Golden &golden) {
    const PgStatementText result =
        PgDialect::Translate(QString::fromUtf8(golden.text), SchemaNames());
    EXPECT_EQ(result.sql.toStdString(), golden.sql) << golden.text;
    EXPECT_EQ(result.positional, golden.positional) << golden.text;
    QStringList literals;
    for (const TValue &value : result.literals)
        literals << value.toString();
    EXPECT_EQ(literals, golden.literals) << golden.text;
}

QString DayText() {
    return DateTimeValue::ShortDateText(DateTimeValue::FromDate(QDate(2026, 12, 8)));
}

QString DayRange(const QString &column) {
    const qint64 day = qint64(DateTimeValue::FromDate(QDate(2026, 12, 8)));
    return QStringLiteral("(%1 >= %2 AND %1 < %3)").arg(column).arg(day).arg(day + 1);
}

TEST(PgDialect, LiteralsBecomeParametersAfterThePositionalOnes) {
    const Golden cases[] = {
        {"select * from Contacts where CompanyName like \"%ab%\"",
         "select * from \"Contacts\" where \"CompanyName\" ilike $1 ESCAPE ''",
         0,
         {"%ab%"}},
        // Nothing inside a literal counts: not a parameter, a comment, an
        // apostrophe, a bracket or a doubled quote.
        {"select * from contacts where City = \"?1 -- it's [x] \"\"q\"\"\" and ContactID = ?2",
         "select * from \"Contacts\" where \"City\" = $3 and \"ContactID\" = $2",
         2,
         {"?1 -- it's [x] \"q\""}},
        {"x = \"\" or y = 'it''s \"no\" ?1' or z = \"/* a */\"",
         "x = $1 or y = 'it''s \"no\" ?1' "
         "or z = $2",
         0,
         {"", "/* a */"}},
        // A bare ? is one more than the highest number before it.
        {"values (?, ?5, ?, \"a\")", "values ($1, $5, $6, $7)", 6, {"a"}},
        // Comments are blanks; what they hold is no parameter and no literal.
        {"select 1 -- \"x\" ?5\n/* [y] \"z\" */from Contacts",
         "select 1  \n from \"Contacts\"",
         0,
         {}},
        // After AS a double-quoted text names the column.
        {"select \"a\" as \"Label\", Name as \"name\" from Status",
         "select $1 as \"Label\", \"Name\" as \"Name\" from \"Status\"",
         0,
         {"a"}},
        // Not closed: passed on for the server to refuse.
        {"select * from Contacts where City = \"Oslo",
         "select * from \"Contacts\" where \"City\" "
         "= \"Oslo",
         0,
         {}},
    };
    for (const Golden &golden : cases)
        ExpectTranslation(golden);
}

TEST(PgDialect, NamesTakeTheirStoredSpellingAndTheRestStaysAsWritten) {
    const Golden cases[] = {
        {"SELECT contactid, COMPANYNAME FROM CONTACTS c WHERE c.cOuNtRyId = ?1",
         "SELECT \"ContactID\", \"CompanyName\" FROM \"Contacts\" c WHERE c.\"CountryID\" = $1",
         1,
         {}},
        {"select [company name], [a\"b], [companyname], `city` from [Contacts]",
         "select \"company name\", \"a\"\"b\", \"CompanyName\", \"City\" from \"Contacts\"",
         0,
         {}},
        // Aliases keep the spelling given after AS, wherever they are used.
        {"select ct.Name as CountryName, c.* from Contacts c left join Countries ct on "
         "ct.CountryID = c.CountryID order by countryname",
         "select ct.\"Name\" as \"CountryName\", c.* from \"Contacts\" c left join \"Countries\" "
         "ct on ct.\"CountryID\" = c.\"CountryID\" order by \"CountryName\"",
         0,
         {}},
        // Function calls are not names; a table with its column list is.
        {"insert into Contacts (CompanyName, City) select coalesce(Name, ''), count(*) from Status",
         "insert into \"Contacts\" (\"CompanyName\", \"City\") select coalesce(\"Name\", ''), "
         "count(*) from \"Status\"",
         0,
         {}},
        {"select cast(ContactID as text) as Id from Contacts where id = 1",
         "select cast(\"ContactID\" as text) as \"Id\" from \"Contacts\" where \"Id\" = 1",
         0,
         {}},
    };
    for (const Golden &golden : cases)
        ExpectTranslation(golden);
}

TEST(PgDialect, TheCallbackDayTestBecomesARangeInEitherOrder) {
    const QString day = DayText();
    const QString range = DayRange("\"CallbackDate\"");
    const QString never = "(CASE WHEN \"CallbackDate\" IS NULL THEN NULL ELSE false END)";
    const struct {
        QString text;
        QString sql;
    } cases[] = {
        {"select * from Contacts where Format(CallbackDate, \"Short Date\") = \"" + day + "\"",
         "select * from \"Contacts\" where " + range},
        {"where \"" + day + "\"=format( callbackdate ,\"short date\" ) and City = \"x\"",
         "where " + range + " and \"City\" = $1"},
        {"where FORMAT([CallbackDate], 'Short Date') = '" + day + "'", "where " + range},
        {"where Format(c.CallbackDate, \"Short Date\") = \"" + day + "\"",
         "where " + DayRange("c.\"CallbackDate\"")},
        {"where Format(CallbackDate, \"Short Date\") = \"12/08/2026\"", "where " + never},
        {"where Format(CallbackDate, \"Short Date\") = \"tomorrow\"", "where " + never},
    };
    for (const auto &c : cases) {
        const PgStatementText result = PgDialect::Translate(c.text, SchemaNames());
        EXPECT_EQ(result.sql, c.sql) << c.text.toStdString();
        // The test's own texts are no parameters.
        EXPECT_EQ(result.literals.size(), c.sql.contains("$1") ? 1 : 0) << c.text.toStdString();
    }
}

TEST(PgDialect, FormatOutsideTheDayTestIsRefusedWithAPlainMessage) {
    for (const char *text :
         {"select Format(CallbackDate, \"Long Date\") from Contacts",
          "where a || Format(CallbackDate, \"Short Date\") = \"12/8/2026\"",
          "where x between 1 and Format(CallbackDate, \"Short Date\") = \"12/8/2026\"",
          "where \"12/8/2026\" = Format(CallbackDate, \"Short Date\") || 'x'"}) {
        try {
            PgDialect::Translate(QString::fromLatin1(text), SchemaNames());
            ADD_FAILURE() << "translated: " << text;
        } catch (const EProviderError &error) {
            EXPECT_EQ(error.Message(),
                      "The statement uses Format in a way the server engine cannot run.");
        }
    }
}

TEST(PgDialect, LikeIgnoresCaseWithoutAnEscapeCharacterUnlessOneIsNamed) {
    const Golden cases[] = {
        {"where Phone not like '0%' and City LIKE \"a!%%\" ESCAPE \"!\"",
         "where \"Phone\" not ilike '0%' ESCAPE '' and \"City\" ILIKE $1 ESCAPE $2",
         0,
         {"a!%%", "!"}},
        {"select City like \"b%\" as b, (select 1 where Name like \"x\") from Contacts",
         "select \"City\" ilike $1 ESCAPE '' as \"b\", (select 1 where \"Name\" ilike $2 "
         "ESCAPE '') from \"Contacts\"",
         0,
         {"b%", "x"}},
    };
    for (const Golden &golden : cases)
        ExpectTranslation(golden);

    // A pattern that may hold an "i" is checked again as the file engine
    // folds where either side holds an "İ": the whole comparison, NOT and
    // ESCAPE included, becomes one condition that the index still serves.
    const PgStatementText exact = PgDialect::Translate(
        "where a = 1 and lower(City) not like ?1 || \"%\" escape '!' or Name like \"Ti%\"",
        SchemaNames());
    EXPECT_TRUE(exact.sql.startsWith(
        "where a = 1 and NOT (lower((\"City\") COLLATE \"C\") ILIKE $1 || $2 ESCAPE '!' AND "
        "(strpos(lower((\"City\") COLLATE \"C\"), 'İ') = 0 AND strpos($1 || $2, 'İ') = 0 OR "))
        << exact.sql.toStdString();
    EXPECT_TRUE(exact.sql.contains(" or (\"Name\" ILIKE $3 ESCAPE '' AND (strpos(\"Name\", "))
        << exact.sql.toStdString();
    EXPECT_TRUE(exact.sql.endsWith("like_escape($3, ''), 'İ')) WITH ORDINALITY AS u(t, n) ORDER BY "
                                   "n), 'İ') || left(like_escape($3, ''), 0))))"))
        << exact.sql.toStdString();
    EXPECT_EQ(exact.positional, 1);
    EXPECT_EQ(exact.literals.size(), 2);
}

TEST(PgDialect, SubqueriesInFromGetNamesAndKeepTheirOrder) {
    const Golden cases[] = {
        {"select * from (select * from (select CompanyName from Contacts order by CompanyName)) "
         "where CompanyName like \"a%\"",
         "select * from (select * from (select \"CompanyName\" from \"Contacts\" order by "
         "\"CompanyName\") AS \"Subquery2\") AS \"Subquery1\" where \"CompanyName\" ilike $1 "
         "ESCAPE ''",
         0,
         {"a%"}},
        // Named ones, and parentheses that are no FROM item, stay as they are.
        {"select * from (select 1) s, (select 2) as t where ContactID in (select 1)",
         "select * from (select 1) s, (select 2) as \"t\" where \"ContactID\" in (select 1)",
         0,
         {}},
        {"select * from Contacts c join (select CountryID from Countries) on 1 = 1, (values (1))",
         "select * from \"Contacts\" c join (select \"CountryID\" from \"Countries\") AS "
         "\"Subquery1\" on 1 = 1, (values (1)) AS \"Subquery2\"",
         0,
         {}},
    };
    for (const Golden &golden : cases)
        ExpectTranslation(golden);
}

TEST(PgDialect, FileEngineFormsBecomeTheServersEquivalents) {
    const Golden cases[] = {
        {"UPDATE Contacts SET City = ?1 WHERE ContactID = ?2 AND City IS ?3",
         "UPDATE \"Contacts\" SET \"City\" = $1 WHERE \"ContactID\" = $2 AND \"City\" IS NOT "
         "DISTINCT FROM $3",
         3,
         {}},
        {"where City is not ?1 and Phone is null and Name is not null and x is not distinct from y",
         "where \"City\" is distinct from $1 and \"Phone\" is null and \"Name\" is not null "
         "and x is not distinct from y",
         1,
         {}},
        {"SELECT ContactID FROM Contacts WHERE lower(trim(Email)) = ?1 and upper(City) == "
         "ifnull(?2, '') and instr(Name, 'x') > 0 LIMIT -1",
         "SELECT \"ContactID\" FROM \"Contacts\" WHERE lower((trim(\"Email\")) COLLATE \"C\") = "
         "$1 and upper((\"City\") COLLATE \"C\") = coalesce($2, '') and strpos(\"Name\", 'x') "
         "> 0 LIMIT ALL ",
         2,
         {}},
        {"SELECT ContactID FROM ImportFills WHERE ImportID = ?1 ORDER BY rowid DESC",
         "SELECT \"ContactID\" FROM \"ImportFills\" WHERE \"ImportID\" = $1 ORDER BY ctid DESC",
         1,
         {}},
        {"BEGIN IMMEDIATE", "BEGIN ", 0, {}},
        {"COMMENT ON TABLE Contacts IS 'x'", "COMMENT ON TABLE \"Contacts\" IS 'x'", 0, {}},
    };
    for (const Golden &golden : cases)
        ExpectTranslation(golden);

    // changes() is a parameter the statement fills at each run.
    const PgStatementText changes =
        PgDialect::Translate("select changes(), ?2, \"a\"", SchemaNames());
    EXPECT_EQ(changes.sql, "select $3, $2, $4");
    ASSERT_EQ(changes.changes, QVector<int>{0});
    EXPECT_EQ(changes.literals.size(), 2);
    EXPECT_FALSE(changes.literals[0].isValid());
    EXPECT_EQ(changes.literals[1].toString(), "a");
}

// Random statements built of names, parameters and literals holding every
// character that means something to either dialect: each literal comes back
// whole among the values, in order, and none of its text is in the SQL.
TEST(PgDialect, NoLiteralTextEverReachesTheSql) {
    QRandomGenerator random(11);
    const QStringList pieces = {"a", "Z", "'", "\"", "?1", "$1", "--", "/*", "*/", "[", "]",
                                "`", "%", "_", "\\", ";",  " ",  "\n", "ä",  "Ω",  "😀"};
    for (int round = 0; round < 300; ++round) {
        QString text = "select * from Contacts where ContactID = ?1";
        QString expected = "select * from \"Contacts\" where \"ContactID\" = $1";
        QStringList values;
        const int count = 1 + int(random.bounded(4));
        for (int k = 0; k < count; ++k) {
            QString value;
            const int length = int(random.bounded(8));
            for (int c = 0; c < length; ++c)
                value += pieces[int(random.bounded(pieces.size()))];
            QString written = value;
            written.replace("\"", "\"\"");
            const bool like = random.bounded(2) == 0;
            text += QStringLiteral(" or City %1 \"%2\"").arg(like ? "like" : "=", written);
            expected += QStringLiteral(" or \"City\" %1 $%2%3")
                            .arg(like ? "ilike" : "=")
                            .arg(k + 2)
                            .arg(like ? " ESCAPE ''" : "");
            values << value;
        }
        const PgStatementText result = PgDialect::Translate(text, SchemaNames());
        ASSERT_EQ(result.sql, expected) << text.toStdString();
        ASSERT_EQ(result.positional, 1);
        QStringList literals;
        for (const TValue &value : result.literals)
            literals << value.toString();
        ASSERT_EQ(literals, values) << text.toStdString();
    }
}

} // namespace
