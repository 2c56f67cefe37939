#include "export/ContactExport.h"

#include "data/DBConnection.h"
#include "data/DateTimeValue.h"
#include "data/QueryCursor.h"
#include "export/EInOutError.h"
#include "support/TempDatabase.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTime>
#include <gtest/gtest.h>

namespace {

const QByteArray kHeaderLine = "Country,CompanyName,ContactPerson,CountryID,State,City,Address,"
                               "PostCode,Phone,Fax,Mobile,Email,Url,StatusID,LastCallDate,"
                               "CallbackDate,\r\n";
const char *const kHeaderNames[] = {"Country", "CompanyName", "ContactPerson", "CountryID",
                                    "State",   "City",        "Address",       "PostCode",
                                    "Phone",   "Fax",         "Mobile",        "Email",
                                    "Url",     "StatusID",    "LastCallDate",  "CallbackDate"};
const QByteArray kHtmlHead = "<html> <head> <title>Corvana - Business Contacts Database</title>"
                             "</head>\r\n<body>\r\n<table border=\"1\" width=\"100%\">\r\n";
const QByteArray kHtmlTail = "</table>\r\n</body></html>";

QByteArray Read(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << path.toStdString();
        return QByteArray();
    }
    return file.readAll();
}

// The values of one comma-separated line as a reader of such files sees
// them: quoted values may hold commas, doubled quotes and line breaks.
// `rest` receives what follows the line's CR LF.
QStringList ParseLine(const QByteArray &data, QByteArray *rest = nullptr) {
    const QString text = QString::fromUtf8(data);
    QStringList values;
    QString value;
    bool quoted = false;
    qsizetype i = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"')
                value += text[++i];
            else if (c == u'"')
                quoted = false;
            else
                value += c;
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            values << value;
            value.clear();
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            i += 2;
            break;
        } else {
            value += c;
        }
    }
    // Each cell carries its own comma, so nothing may follow the last one.
    EXPECT_TRUE(value.isEmpty()) << "text after the last comma: " << value.toStdString();
    if (rest)
        *rest = text.mid(i).toUtf8();
    return values;
}

QString DateSql(const QDate &date, const QTime &time = QTime(0, 0)) {
    return QString::number(DateTimeValue::FromDateTime(QDateTime(date, time)), 'g', 17);
}

// The main window's export query on a new database, set up as the program
// sets it, with the statement that keeps contacts without a country.
class ContactExportTest : public ::testing::Test {
protected:
    ContactExportTest() {
        conn.SetConnectionString(db.ConnectionString());
        query.SetConnection(&conn);
        query.SQL().Add("select ct.Name as Country, c.* from Contacts c");
        query.SQL().Add("left join Countries ct on ct.CountryID = c.CountryID");
    }
    QString PathOf(const QString &name) const { return out.path() + "/" + name; }
    QByteArray Export(const QString &name,
                      ContactExport::TFlush flush = ContactExport::TFlush::EachRow) {
        ContactExport(query, flush).SaveTo(PathOf(name));
        return Read(PathOf(name));
    }
    int CountryId(const char *name) const {
        return db.Scalar(QString("select CountryID from Countries where Name = '%1'").arg(name))
            .toInt();
    }
    void AddCompany(const QString &company, const QString &countryId = "NULL") {
        QString quoted = company;
        quoted.replace("'", "''");
        db.Exec(QString("insert into Contacts (CompanyName, CountryID) values ('%1', %2)")
                    .arg(quoted, countryId));
    }

    TempDatabase db;
    TDBConnection conn{"connDB"};
    TQueryCursor query{"qryExportContacts"};
    QTemporaryDir out;
};

TEST_F(ContactExportTest, AnEmptyTableGivesTheHeaderLineAloneInTextMode) {
    for (const char *name : {"contacts.txt", "contacts.csv", "contacts.CVS", "contacts"})
        EXPECT_EQ(Export(name), kHeaderLine) << name;
}

TEST_F(ContactExportTest, AnEmptyTableGivesHeadHeaderRowAndTailInHtmlMode) {
    QByteArray expected = kHtmlHead + "<tr>\r\n";
    for (const char *name : kHeaderNames)
        expected += "<td>" + QByteArray(name) + "</td>\r\n";
    expected += "</tr>\r\n" + kHtmlTail;
    EXPECT_EQ(Export("contacts.html"), expected);
}

TEST_F(ContactExportTest, ASampleContactsLineHoldsEveryExportedColumnInOrder) {
    db.Exec(QString("insert into Contacts (ContactID, CompanyName, ContactPerson, CountryID, "
                    "State, City, Address, PostCode, Phone, Fax, Mobile, Email, Url, Note, "
                    "StatusID, LastCallDate, CallbackDate) values (4711, 'Müller Maschinenbau', "
                    "'Anna Berg', %1, 'Wien', 'Vienna', 'Ring 1', '1010', '+43 1 234', NULL, '', "
                    "'anna@example.com', 'http://example.com/', 'SECRET-NOTE 9876', 3, %2, %3)")
                .arg(CountryId("Austria"))
                .arg(DateSql(QDate(2024, 3, 15)), DateSql(QDate(2024, 3, 20), QTime(14, 30, 5))));
    const QByteArray expectedLine = "Austria,M\xc3\xbcller Maschinenbau,Anna Berg," +
                                    QByteArray::number(CountryId("Austria")) +
                                    ",Wien,Vienna,Ring 1,1010,+43 1 234,,,anna@example.com,"
                                    "http://example.com/,3,3/15/2024,3/20/2024 2:30:05 PM,\r\n";
    const QByteArray file = Export("contacts.csv");
    EXPECT_EQ(file, kHeaderLine + expectedLine);
    // The counter key and the memo are never written.
    EXPECT_FALSE(file.contains("ContactID"));
    EXPECT_FALSE(file.contains("4711"));
    EXPECT_FALSE(file.contains("Note"));
    EXPECT_FALSE(file.contains("SECRET"));
}

TEST_F(ContactExportTest, ADateTimeAtMidnightShowsTheDateAloneAndAnyOtherTimeShowsBoth) {
    const QDate day(2025, 12, 31);
    const double midnight = DateTimeValue::FromDate(day);
    db.Exec(QString("insert into Contacts (CompanyName, LastCallDate, CallbackDate) values "
                    "('Midnight', %1, %2), ('Second past', %3, %4), ('Noon', %5, NULL), "
                    "('Same again', %1, %3), ('Milliseconds', %6, %7), "
                    "('Before 1900', -1.25, -2.0), ('No date', 'soon', '')")
                .arg(DateSql(day), DateSql(day.addDays(1)), DateSql(day, QTime(0, 0, 1)),
                     DateSql(day, QTime(23, 59, 59)), DateSql(day, QTime(12, 0)),
                     QString::number(midnight + 0.4 / 86400, 'g', 17),
                     QString::number(midnight + 1.4 / 86400, 'g', 17)));
    QByteArray rest;
    ParseLine(Export("dates.txt"), &rest);
    QStringList dates;
    while (!rest.isEmpty()) {
        const QStringList values = ParseLine(rest, &rest);
        ASSERT_EQ(values.size(), 16);
        dates << values[1] + ": " + values.mid(14).join(" | ");
    }
    EXPECT_EQ(dates, (QStringList{
                         "Midnight: 12/31/2025 | 1/1/2026",
                         "Second past: 12/31/2025 12:00:01 AM | 12/31/2025 11:59:59 PM",
                         "Noon: 12/31/2025 12:00:00 PM | ",
                         "Same again: 12/31/2025 | 12/31/2025 12:00:01 AM",
                         "Milliseconds: 12/31/2025 | 12/31/2025 12:00:01 AM",
                         "Before 1900: 12/29/1899 6:00:00 AM | 12/28/1899",
                         "No date: soon | ",
                     }));
}

TEST_F(ContactExportTest, CommasQuotesAndLineBreaksInACompanyNameStayInTheirCell) {
    const int austria = CountryId("Austria");
    const QStringList companies = {"Smith, Jones & Co", "The \"Best\" Ltd", "Two\nLines",
                                   "Carriage\rReturn", "Both\r\n\"of them\", too"};
    for (const QString &company : companies)
        AddCompany(company, QString::number(austria));
    // A country name with a comma of its own, in the first column.
    AddCompany("Plain", QString::number(CountryId("Bonaire, Sint Eustatius and Saba")));

    QByteArray rest;
    EXPECT_EQ(ParseLine(Export("contacts.csv"), &rest).size(), 16);
    for (const QString &company : companies) {
        const QStringList values = ParseLine(rest, &rest);
        ASSERT_EQ(values.size(), 16) << company.toStdString();
        EXPECT_EQ(values[0], "Austria");
        EXPECT_EQ(values[1], company);
        EXPECT_EQ(values[3], QString::number(austria));
    }
    const QStringList last = ParseLine(rest, &rest);
    ASSERT_EQ(last.size(), 16);
    EXPECT_EQ(last[0], "Bonaire, Sint Eustatius and Saba");
    EXPECT_EQ(last[1], "Plain");
    EXPECT_TRUE(rest.isEmpty());
    // The bytes of one quoted cell, and an unquoted neighbour.
    EXPECT_TRUE(Read(PathOf("contacts.csv")).contains("Austria,\"The \"\"Best\"\" Ltd\",,"));
}

TEST_F(ContactExportTest, HtmlModeEscapesMarkupAndKeepsCommas) {
    AddCompany("<b>A & B</b> \"Q\", Ltd", QString::number(CountryId("Austria")));
    const QByteArray file = Export("contacts.html");
    EXPECT_TRUE(file.startsWith(kHtmlHead));
    EXPECT_TRUE(file.endsWith("</tr>\r\n" + kHtmlTail));
    EXPECT_TRUE(file.contains("<tr>\r\n<td>Austria</td>\r\n"
                              "<td>&lt;b&gt;A &amp; B&lt;/b&gt; &quot;Q&quot;, Ltd</td>\r\n"
                              "<td></td>\r\n"));
    EXPECT_EQ(file.count("<tr>"), 2);
    EXPECT_EQ(file.count("<td>"), 32);
}

TEST_F(ContactExportTest, OnlyAFileNameEndingInLowerCaseDotHtmlIsWrittenAsHtml) {
    AddCompany("Acme", QString::number(CountryId("Austria")));
    EXPECT_TRUE(Export("contacts.html").startsWith("<html>"));
    for (const char *name : {"contacts.HTML", "contacts.htm", "contacts.CVS", "contacts"}) {
        const QByteArray file = Export(name);
        EXPECT_TRUE(file.startsWith(kHeaderLine)) << name;
        EXPECT_TRUE(file.contains("\r\nAustria,Acme,")) << name;
    }
}

TEST_F(ContactExportTest, ContactsWithAMissingOrNullCountryAreWrittenWithAnEmptyCountry) {
    AddCompany("Known", QString::number(CountryId("Austria")));
    AddCompany("Missing", "999");
    AddCompany("Null", "NULL");
    QByteArray rest;
    ParseLine(Export("contacts.csv"), &rest);
    QStringList rows;
    while (!rest.isEmpty()) {
        const QStringList values = ParseLine(rest, &rest);
        ASSERT_EQ(values.size(), 16);
        rows << values.mid(0, 2).join("|") + "|" + values[3];
    }
    EXPECT_EQ(rows, (QStringList{"Austria|Known|" + QString::number(CountryId("Austria")),
                                 "|Missing|999", "|Null|"}));
}

TEST_F(ContactExportTest, OtherColumnTypesFollowTheTypeTest) {
    db.Exec("alter table Contacts add column Active BOOLEAN;"
            "alter table Contacts add column Rate DOUBLE;"
            "alter table Contacts add column Born DATE;"
            "alter table Contacts add column Rank SMALLINT;"
            "alter table Contacts add column Big BIGINT;"
            "alter table Contacts add column Price CURRENCY;"
            "alter table Contacts add column Code CHAR(3);");
    db.Exec(QString("insert into Contacts (CompanyName, Active, Rate, Born, Rank, Big, Price, "
                    "Code) values ('Acme', 1, 0.1, %1, 7, 123456789012, 2.5, 'XYZ'), "
                    "('Beta', 0, 1.0/3, NULL, NULL, NULL, NULL, NULL)")
                .arg(DateSql(QDate(1999, 2, 3))));
    QByteArray rest;
    const QStringList header = ParseLine(Export("contacts.txt"), &rest);
    ASSERT_EQ(header.size(), 20);
    EXPECT_EQ(header.mid(16), (QStringList{"Active", "Rate", "Born", "Code"}));
    const QStringList acme = ParseLine(rest, &rest);
    const QStringList beta = ParseLine(rest, &rest);
    ASSERT_EQ(acme.size(), 20);
    ASSERT_EQ(beta.size(), 20);
    EXPECT_EQ(acme.mid(16), (QStringList{"True", "0.1", "2/3/1999", "XYZ"}));
    EXPECT_EQ(beta.mid(16), (QStringList{"False", "0.333333333333333", "", ""}));
}

TEST_F(ContactExportTest, BothFlushPoliciesWriteTheSameBytes) {
    db.Exec("insert into Contacts (CompanyName, CountryID, Phone) values "
            "('A, \"1\"', 1, '123'), ('B', 2, NULL), ('C', NULL, '<x>')");
    for (const char *name : {"contacts.csv", "contacts.html"})
        EXPECT_EQ(Export(name, ContactExport::TFlush::EachPiece),
                  Export(name, ContactExport::TFlush::EachRow))
            << name;
}

TEST_F(ContactExportTest, AnExistingFileIsReplacedWhole) {
    AddCompany("Acme", "1");
    {
        QFile old(PathOf("contacts.csv"));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, '~'));
    }
    const QByteArray file = Export("contacts.csv");
    EXPECT_TRUE(file.startsWith(kHeaderLine));
    EXPECT_FALSE(file.contains('~'));
}

TEST_F(ContactExportTest, AFileInAMissingFolderRaisesAnInputOutputErrorBeforeTheQueryOpens) {
    AddCompany("Acme", "1");
    bool opened = false;
    query.BeforeOpen = [&](TRecordCursor &) { opened = true; };
    const QString path = PathOf("no such folder/contacts.csv");
    EXPECT_THROW(ContactExport(query).SaveTo(path), EInOutError);
    EXPECT_FALSE(opened);
    EXPECT_FALSE(query.Active());
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST_F(ContactExportTest, AFileThatCannotBeWrittenRaisesAnInputOutputError) {
    if (!QFileInfo::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full to fail the writes";
    AddCompany("Acme", "1");
    for (auto flush : {ContactExport::TFlush::EachPiece, ContactExport::TFlush::EachRow}) {
        EXPECT_THROW(ContactExport(query, flush).SaveTo("/dev/full"), EInOutError);
        EXPECT_FALSE(query.Active());
    }
}

TEST_F(ContactExportTest, AFailingQueryPropagatesItsOwnErrorAndLeavesTheCreatedFile) {
    query.SQL().Clear();
    query.SQL().Add("select * from NoSuchTable");
    try {
        ContactExport(query).SaveTo(PathOf("contacts.csv"));
        ADD_FAILURE() << "no error";
    } catch (const EInOutError &) {
        ADD_FAILURE() << "reported as an input/output error";
    } catch (const EError &e) {
        EXPECT_TRUE(e.Message().contains("NoSuchTable")) << e.Message().toStdString();
    }
    EXPECT_TRUE(QFileInfo::exists(PathOf("contacts.csv")));
    EXPECT_FALSE(query.Active());
}

TEST_F(ContactExportTest, AFailurePartWayKeepsTheWholeLinesWrittenBeforeIt) {
    for (const char *company : {"First", "Second", "Third"})
        AddCompany(company, "1");
    int scrolls = 0;
    // Open scrolls onto the first row; the second Next fails.
    query.AfterScroll = [&](TRecordCursor &) {
        if (++scrolls == 3)
            throw EDatabaseError("row unreadable");
    };
    EXPECT_THROW(ContactExport(query).SaveTo(PathOf("contacts.csv")), EDatabaseError);
    EXPECT_FALSE(query.Active());
    QByteArray rest;
    ParseLine(Read(PathOf("contacts.csv")), &rest);
    EXPECT_EQ(ParseLine(rest, &rest).value(1), "First");
    EXPECT_EQ(ParseLine(rest, &rest).value(1), "Second");
    EXPECT_TRUE(rest.isEmpty());

    // The query was closed, so the next export reads every row again.
    query.AfterScroll = nullptr;
    ContactExport again(query);
    again.SaveTo(PathOf("contacts.csv"));
    EXPECT_EQ(again.RowsWritten(), 3);
    EXPECT_EQ(again.BytesWritten(), Read(PathOf("contacts.csv")).size());
}

TEST_F(ContactExportTest, AQueryLeftOpenOnALaterRowIsReadFromTheFirst) {
    for (const char *company : {"First", "Second", "Third"})
        AddCompany(company, "1");
    query.Open();
    query.Last();
    ContactExport exporter(query);
    exporter.SaveTo(PathOf("contacts.csv"));
    EXPECT_EQ(exporter.RowsWritten(), 3);
    EXPECT_FALSE(query.Active());
    EXPECT_EQ(Read(PathOf("contacts.csv")).count("\r\n"), 4);
}

TEST_F(ContactExportTest, EveryContactOfALargerTableIsWrittenOnceWithItsOwnDateTexts) {
    // More rows than the query keeps in memory, so that some are read back
    // from its temporary file, and more distinct date-time values than the
    // export keeps texts for; the last-call times repeat every seven rows,
    // midnight among them.
    const double day = DateTimeValue::FromDate(QDate(2026, 1, 1));
    db.Exec(QString("with recursive n(i) as (select 1 union all select i + 1 from n where i < "
                    "5000) insert into Contacts (CompanyName, CountryID, LastCallDate, "
                    "CallbackDate) select 'Company ' || i, 1, %1 + (i % 7) * 0.25, "
                    "%1 + (i % 4500) * 0.01 from n")
                .arg(day, 0, 'f', 1));
    QByteArray rest;
    ParseLine(Export("contacts.csv"), &rest);
    for (int i = 1; i <= 5000; ++i) {
        const QStringList values = ParseLine(rest, &rest);
        ASSERT_EQ(values.size(), 16) << "line " << i;
        ASSERT_EQ(values[1], QString("Company %1").arg(i));
        ASSERT_EQ(values[14], DateTimeValue::DateTimeText(day + (i % 7) * 0.25)) << "line " << i;
        ASSERT_EQ(values[15], DateTimeValue::DateTimeText(day + (i % 4500) * 0.01)) << "line " << i;
    }
    EXPECT_TRUE(rest.isEmpty());
    // Spot checks of the texts themselves.
    EXPECT_EQ(DateTimeValue::DateTimeText(day + 7 * 0.25), "1/2/2026 6:00:00 PM");
    EXPECT_EQ(DateTimeValue::DateTimeText(day + 100 * 0.01), "1/2/2026");
}

} // namespace
