#include "interchange/VCardReader.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace {

// Every card of a file, or the reader's error after the last good one.
struct Read {
    QList<VCard> cards;
    QString error;
};

Read ReadAll(const QByteArray &bytes) {
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    VCardReader reader(buffer);
    Read result;
    VCard card;
    while (reader.Next(&card))
        result.cards << card;
    result.error = reader.Error();
    return result;
}

TEST(VCardReader, ReadsTheThreeVersionsAsAddressBooksWriteThem) {
    const Read read = ReadAll(
        // 2.1 from a phone: bare type flags, quoted-printable with a soft
        // line break, a charset, CR LF line ends.
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FCller;J="
        "\r\n"
        "=FCrgen\r\nTEL;WORK;VOICE:+49 30 1234\r\nTEL;CELL:0170 555\r\nEND:VCARD\r\n"
        // 3.0: folded lines, escapes, a grouped property.
        "BEGIN:VCARD\nVERSION:3.0\nFN:Anna Smith\nORG:Smith\\, Jones & Co\\; Ltd\n"
        "NOTE:first line\\nsecond \n line\nitem1.TEL;TYPE=WORK,FAX:555 0100\n"
        "ADR;TYPE=work:;;12 High St;Leeds;;LS1 4AB;United Kingdom\nEND:VCARD\n"
        "text between cards is ignored\n"
        // 4.0: quoted parameter values holding ':' and ';'.
        "BEGIN:VCARD\nVERSION:4.0\nFN:Bo\nEMAIL;TYPE=\"work,internet\";LABEL=\"a:b;c\":bo@example."
        "com\n"
        "END:VCARD\n");
    ASSERT_TRUE(read.error.isEmpty()) << read.error.toStdString();
    ASSERT_EQ(read.cards.size(), 3);

    const VCard &phone = read.cards[0];
    EXPECT_EQ(phone.version, "2.1");
    EXPECT_EQ(phone.line, 1);
    EXPECT_EQ(phone.First("N")->Components(),
              (QStringList{QString::fromUtf8("Müller"), QString::fromUtf8("Jürgen")}));
    EXPECT_TRUE(phone.properties[2].HasType("work"));
    EXPECT_TRUE(phone.properties[2].HasType("VOICE"));
    EXPECT_TRUE(phone.properties[3].HasType("CELL"));
    EXPECT_EQ(phone.properties[3].line, 6);

    const VCard &book = read.cards[1];
    EXPECT_EQ(book.First("ORG")->Components(), (QStringList{"Smith, Jones & Co; Ltd"}));
    EXPECT_EQ(book.First("NOTE")->Text(), "first line\nsecond line");
    const VCardProperty *tel = book.First("TEL");
    EXPECT_EQ(tel->group, "item1");
    EXPECT_TRUE(tel->HasType("FAX"));
    EXPECT_EQ(tel->Text(), "555 0100");
    EXPECT_EQ(book.First("ADR")->Components(),
              (QStringList{"", "", "12 High St", "Leeds", "", "LS1 4AB", "United Kingdom"}));

    const VCardProperty *email = read.cards[2].First("EMAIL");
    EXPECT_EQ(email->Text(), "bo@example.com");
    EXPECT_TRUE(email->HasType("internet"));
    EXPECT_EQ(email->Param("LABEL"), (QStringList{"A:B;C"}));
    EXPECT_EQ(email->Param("TYPE"), (QStringList{"WORK", "INTERNET"}));
}

TEST(VCardReader, TextThatIsNotUtf8IsReadInTheWindowsCodePage) {
    const Read read = ReadAll("BEGIN:VCARD\nVERSION:3.0\nFN:Caf\xe9 Ren\xe9\nEND:VCARD\n");
    ASSERT_EQ(read.cards.size(), 1);
    EXPECT_EQ(read.cards[0].First("FN")->Text(), QString::fromUtf8("Café René"));
}

TEST(VCardReader, AMalformedFileNamesTheLineAndTheReason) {
    Read read = ReadAll("BEGIN:VCARD\nVERSION:3.0\nFN:One\nEND:VCARD\nBEGIN:VCARD\nFN:Two\n");
    EXPECT_EQ(read.cards.size(), 1);
    EXPECT_EQ(read.error, "Line 6: the card of line 5 has no END:VCARD");
    read = ReadAll("BEGIN:VCARD\nFN:One\nno colon here\nEND:VCARD\n");
    EXPECT_TRUE(read.cards.isEmpty());
    EXPECT_TRUE(read.error.startsWith("Line 3: ")) << read.error.toStdString();
    read = ReadAll("BEGIN:VCARD\nFN:One\nBEGIN:VCARD\nEND:VCARD\n");
    EXPECT_EQ(read.error, "Line 3: a card begins inside the card of line 1");
    read = ReadAll("");
    EXPECT_TRUE(read.cards.isEmpty());
    EXPECT_TRUE(read.error.isEmpty());
}

} // namespace
