// Contacts exported as vCards and imported into another database come back
// the same, whatever their texts hold: separators, escapes, line breaks,
// letters beyond ASCII, and lines long enough to be folded inside a
// character.

#include "data/DBConnection.h"
#include "interchange/ContactFile.h"
#include "interchange/ContactImporter.h"
#include "interchange/VCardExport.h"
#include "support/TempDatabase.h"

#include <QFile>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

// A text of up to `size` characters that neither starts nor ends blank (an
// import trims values); null now and then.
QVariant RandomText(QRandomGenerator &random, int size, bool lines) {
    static const QStringList pieces = {
        QStringLiteral("a"),          QStringLiteral("Z"),      QStringLiteral(","),
        QStringLiteral(";"),          QStringLiteral("\\"),     QStringLiteral(":"),
        QStringLiteral("\u00fc"),     QStringLiteral("\u00c5"), QStringLiteral("\u6f22"),
        QStringLiteral("\U0001F600"), QStringLiteral(" "),      QStringLiteral("7"),
        QStringLiteral("\""),         QStringLiteral("=")};
    if (random.bounded(6) == 0)
        return QVariant();
    QString text = QStringLiteral("x");
    const int length = int(random.bounded(size));
    while (text.size() < length) {
        if (lines && random.bounded(12) == 0)
            text += QLatin1Char('\n');
        text += pieces.at(int(random.bounded(pieces.size())));
    }
    while (text.size() > size - 1)
        text.chop(1);
    return text + QLatin1Char('y');
}

QStringList Contacts(const TempDatabase &db) {
    // Times to the second: the cards carry no more.
    return db.Rows(QStringLiteral(
        "SELECT CompanyName, ContactPerson, CountryID, State, City, Address, PostCode, Phone, "
        "Fax, Mobile, Email, Url, Note, StatusID, round(LastCallDate * 86400), "
        "round(CallbackDate * 86400) FROM Contacts ORDER BY ContactID"));
}

TEST(VCardRoundTrip, ExportedContactsImportAsTheSameContacts) {
    TempDatabase source;
    TempDatabase target;
    QRandomGenerator random(20261209);
    const int sizes[] = {100, 100, 50, 50, 255, 20, 30, 30, 30, 100, 255, 600};
    {
        TDBConnection connection;
        connection.SetConnectionString(source.ConnectionString());
        TDBWriteTransaction transaction(connection);
        auto insert = connection.Prepare(QStringLiteral(
            "INSERT INTO Contacts (CompanyName, ContactPerson, State, City, Address, PostCode, "
            "Phone, Fax, Mobile, Email, Url, Note, CountryID, StatusID, LastCallDate, "
            "CallbackDate) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, "
            "?15, ?16)"));
        for (int i = 0; i < 300; ++i) {
            for (int c = 0; c < 12; ++c)
                insert->Bind(c + 1, RandomText(random, sizes[c], c == 4 || c == 11));
            insert->Bind(13, int(1 + random.bounded(249)));
            insert->Bind(14, int(1 + random.bounded(5)));
            // Whole seconds from 1990 to 2040.
            for (int t = 15; t <= 16; ++t)
                insert->Bind(t, (32874.0 * 86400 + double(random.bounded(1577836800))) / 86400);
            insert->Step();
            insert->Reset();
        }
        transaction.Commit();
    }
    const QString file = target.Folder() + QStringLiteral("contacts.vcf");
    {
        TDBConnection connection;
        connection.SetConnectionString(source.ConnectionString());
        EXPECT_EQ(VCardExport(connection).SaveTo(file), 300);
    }
    TDBConnection connection;
    connection.SetConnectionString(target.ConnectionString());
    ContactImporter importer(connection, ContactImporter::Defaults{1, 1, 1});
    ContactFile contacts(file);
    const ContactImporter::Result result =
        importer.Import(contacts, ContactImporter::ImportDuplicates);
    EXPECT_EQ(result.added, 300);
    EXPECT_FALSE(contacts.UsedFallback());
    const QStringList expected = Contacts(source);
    const QStringList actual = Contacts(target);
    ASSERT_EQ(actual.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_EQ(actual[i], expected[i]) << "contact " << i + 1;

    // One contact alone, and a card's lines all within 75 octets.
    TDBConnection again;
    again.SetConnectionString(source.ConnectionString());
    EXPECT_EQ(VCardExport(again).SaveTo(file, 7), 1);
    QFile written(file);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = written.readAll().split('\n');
    EXPECT_EQ(lines.front(), "BEGIN:VCARD\r");
    for (const QByteArray &line : lines)
        EXPECT_LE(line.size(), 76) << line.constData();
}

} // namespace
