#include "interchange/VCardExport.h"

#include "data/DBConnection.h"
#include "data/DateTimeValue.h"
#include "export/EInOutError.h"
#include "interchange/VCardContact.h"
#include "interchange/VCardReader.h"
#include "support/TempDatabase.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

QByteArray Read(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QList<ImportedContact> ContactsIn(const QString &path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    VCardReader reader(file);
    QList<ImportedContact> contacts;
    VCard card;
    while (reader.Next(&card))
        contacts << VCardContact::FromCard(card);
    EXPECT_TRUE(reader.Error().isEmpty()) << reader.Error().toStdString();
    return contacts;
}

QString DaysSql(const QDateTime &time) {
    return QString::number(DateTimeValue::FromDateTime(time), 'g', 17);
}

// Three contacts stored out of key order: one with every value, country and
// status; a company alone with a status the database does not know; a
// person with a stored text in a date column.
class VCardExportTest : public ::testing::Test {
protected:
    VCardExportTest() {
        conn.SetConnectionString(db.ConnectionString());
        db.Exec(QStringLiteral(
                    "insert into Contacts (ContactID, CompanyName, ContactPerson, CountryID, "
                    "State, City, Address, PostCode, Phone, Fax, Mobile, Email, Url, Note, "
                    "StatusID, LastCallDate, CallbackDate) values (9, 'M\u00fcller; Partner', "
                    "'Anna Berg', %1, 'Tirol', 'Innsbruck', 'Ring 1', '6020', '+43 512 1', "
                    "'+43 512 2', '0664 3', 'anna@example.com', 'https://example.com/', "
                    "'Two' || char(13, 10) || 'lines, with \\ and ;', %2, %3, %4)")
                    .arg(Id("Countries", "Austria"), Id("Status", "Customer"), DaysSql(lastCall),
                         DaysSql(callback)));
        db.Exec("insert into Contacts (ContactID, CompanyName, StatusID) values (2, 'Acme', 99)");
        db.Exec("insert into Contacts (ContactID, ContactPerson, CallbackDate) "
                "values (5, 'Jo Bloggs', 'next week')");
    }
    QString Id(const char *table, const char *name) const {
        const char *key = QByteArray(table) == "Status" ? "StatusID" : "CountryID";
        return db.Scalar(QString("select %1 from %2 where Name = '%3'").arg(key, table, name))
            .toString();
    }
    QString PathOf(const QString &name) const { return db.Folder() + name; }
    // The files of the database's folder besides the database's own.
    QStringList Files() const {
        QStringList files;
        for (const QString &name : QDir(db.Folder()).entryList(QDir::Files | QDir::Hidden))
            if (!name.startsWith(QStringLiteral("_db.mdb")))
                files << name;
        return files;
    }

    const QDateTime lastCall{QDate(2024, 3, 15), QTime(9, 5, 7)};
    const QDateTime callback{QDate(2024, 4, 1), QTime(16, 45)};
    TempDatabase db;
    TDBConnection conn{"connDB"};
};

TEST_F(VCardExportTest, EveryContactInKeyOrderWithItsCountryAndStatusNames) {
    const QString file = PathOf("all.vcf");
    ASSERT_EQ(VCardExport(conn).SaveTo(file), 3);
    const QList<ImportedContact> read = ContactsIn(file);
    ASSERT_EQ(read.size(), 3);

    EXPECT_EQ(read[0].companyName, "Acme");
    EXPECT_TRUE(read[0].contactPerson.isEmpty());
    EXPECT_TRUE(read[0].status.isEmpty()); // no such status
    EXPECT_TRUE(read[0].country.isEmpty());

    EXPECT_EQ(read[1].contactPerson, "Jo Bloggs");
    EXPECT_TRUE(read[1].companyName.isEmpty());
    EXPECT_FALSE(read[1].callbackDate.isValid()); // the text is no date

    const ImportedContact &anna = read[2];
    EXPECT_EQ(anna.companyName, QStringLiteral("M\u00fcller; Partner"));
    EXPECT_EQ(anna.contactPerson, "Anna Berg");
    EXPECT_EQ(anna.address, "Ring 1");
    EXPECT_EQ(anna.city, "Innsbruck");
    EXPECT_EQ(anna.state, "Tirol");
    EXPECT_EQ(anna.postCode, "6020");
    EXPECT_EQ(anna.country, "Austria");
    EXPECT_EQ(anna.phone, "+43 512 1");
    EXPECT_EQ(anna.fax, "+43 512 2");
    EXPECT_EQ(anna.mobile, "0664 3");
    EXPECT_EQ(anna.email, "anna@example.com");
    EXPECT_EQ(anna.url, "https://example.com/");
    EXPECT_EQ(anna.note, "Two\nlines, with \\ and ;");
    EXPECT_EQ(anna.status, "Customer");
    EXPECT_EQ(anna.lastCallDate, lastCall);
    EXPECT_EQ(anna.callbackDate, callback);
    EXPECT_EQ(Files(), QStringList{"all.vcf"});
}

TEST_F(VCardExportTest, OneContactAloneReplacesTheFileWhole) {
    const QString file = PathOf("one.vcf");
    {
        QFile old(file);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(10000, '#'));
    }
    ASSERT_EQ(VCardExport(conn).SaveTo(file, 9), 1);
    const QByteArray bytes = Read(file);
    EXPECT_TRUE(bytes.startsWith("BEGIN:VCARD\r\n"));
    EXPECT_TRUE(bytes.endsWith("END:VCARD\r\n"));
    EXPECT_FALSE(bytes.contains('#'));
    const QList<ImportedContact> read = ContactsIn(file);
    ASSERT_EQ(read.size(), 1);
    EXPECT_EQ(read[0].contactPerson, "Anna Berg");
    EXPECT_EQ(Files(), QStringList{"one.vcf"});
}

TEST_F(VCardExportTest, AContactNoLongerStoredLeavesTheFileAsItWas) {
    const QString file = PathOf("kept.vcf");
    {
        QFile old(file);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("earlier export");
    }
    EXPECT_THROW(VCardExport(conn).SaveTo(file, 4711), EDatabaseError);
    EXPECT_EQ(Read(file), "earlier export");
    EXPECT_EQ(Files(), QStringList{"kept.vcf"});
}

TEST_F(VCardExportTest, AFailingQueryLeavesNoFileBehind) {
    db.Exec("drop table Status");
    EXPECT_THROW(VCardExport(conn).SaveTo(PathOf("none.vcf")), EError);
    EXPECT_TRUE(Files().isEmpty()) << Files().join(", ").toStdString();
}

TEST_F(VCardExportTest, AFileThatCannotBeCreatedNamesItselfAndTheReason) {
    const QString file = PathOf("no such folder/all.vcf");
    try {
        VCardExport(conn).SaveTo(file);
        ADD_FAILURE() << "no error";
    } catch (const EInOutError &error) {
        EXPECT_TRUE(error.Message().startsWith("Cannot create file " + file + ": "))
            << error.Message().toStdString();
        EXPECT_GT(error.Message().size(), QString("Cannot create file " + file + ": ").size());
    }
}

} // namespace
