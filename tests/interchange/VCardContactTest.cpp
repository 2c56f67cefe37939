#include "interchange/VCardContact.h"
#include "interchange/VCardReader.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace {

ImportedContact ContactOf(const QByteArray &bytes) {
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    VCardReader reader(buffer);
    VCard card;
    EXPECT_TRUE(reader.Next(&card)) << reader.Error().toStdString();
    return VCardContact::FromCard(card);
}

TEST(VCardContact, EachPropertyGoesToItsFieldWorkValuesFirst) {
    const ImportedContact c = ContactOf(
        "BEGIN:VCARD\nVERSION:3.0\nN:Smith;Anna;M.;Dr.;PhD\nORG:Acme Tools;Sales\n"
        "ADR;TYPE=HOME:;;1 Home Rd;Hometown;;11111;Nowhere\n"
        "ADR;TYPE=WORK:PO Box 7;Unit 3;12 High St;Leeds;West Yorkshire;LS1 4AB;United Kingdom\n"
        "TEL;TYPE=HOME:0113 000\nTEL;TYPE=WORK,VOICE:0113 496 0000\nTEL;TYPE=CELL:07700 900\n"
        "TEL;TYPE=WORK,FAX:0113 496 0001\nEMAIL;TYPE=HOME:anna@home.example\n"
        "EMAIL;TYPE=WORK:anna@acme.example\nURL:https://acme.example\n"
        "NOTE:Met at the fair\\, twice\\nCall in May\nEND:VCARD\n");
    EXPECT_EQ(c.companyName, "Acme Tools");
    EXPECT_EQ(c.contactPerson, "Dr. Anna M. Smith PhD");
    EXPECT_EQ(c.address, "12 High St Unit 3 PO Box 7");
    EXPECT_EQ(c.city, "Leeds");
    EXPECT_EQ(c.state, "West Yorkshire");
    EXPECT_EQ(c.postCode, "LS1 4AB");
    EXPECT_EQ(c.country, "United Kingdom");
    EXPECT_EQ(c.phone, "0113 496 0000");
    EXPECT_EQ(c.mobile, "07700 900");
    EXPECT_EQ(c.fax, "0113 496 0001");
    EXPECT_EQ(c.email, "anna@acme.example");
    EXPECT_EQ(c.url, "https://acme.example");
    EXPECT_EQ(c.note, "Met at the fair, twice\nCall in May");
    EXPECT_EQ(c.line, 1);
}

TEST(VCardContact, PhonesOfOlderAndNewerCardsAndAFormattedName) {
    ImportedContact c = ContactOf("BEGIN:VCARD\nVERSION:2.1\nFN:Jo Bloggs\nN:Bloggs;Joe\n"
                                  "TEL;HOME:555 1\nTEL;CELL;VOICE:555 2\nEND:VCARD\n");
    EXPECT_EQ(c.contactPerson, "Jo Bloggs");
    EXPECT_EQ(c.phone, "555 1"); // no work number: the home one
    EXPECT_EQ(c.mobile, "555 2");
    c = ContactOf(
        "BEGIN:VCARD\nVERSION:4.0\nFN:Bo\nTEL;VALUE=uri;TYPE=\"voice,work\":tel:+1-555-0100\n"
        "EMAIL;PREF=1:bo@pref.example\nEMAIL:bo@other.example\nEND:VCARD\n");
    EXPECT_EQ(c.phone, "+1-555-0100");
    EXPECT_EQ(c.email, "bo@pref.example");
    EXPECT_TRUE(c.companyName.isEmpty());
}

} // namespace
