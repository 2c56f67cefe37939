#include "interchange/VCardWriter.h"
#include "interchange/VCardContact.h"
#include "interchange/VCardReader.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <gtest/gtest.h>

namespace {

// Cards read back from bytes, each as the contact it describes.
QList<ImportedContact> ReadBack(const QByteArray &bytes) {
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    VCardReader reader(buffer);
    QList<ImportedContact> contacts;
    VCard card;
    while (reader.Next(&card)) {
        EXPECT_EQ(card.version, "3.0");
        contacts << VCardContact::FromCard(card);
    }
    EXPECT_TRUE(reader.Error().isEmpty()) << reader.Error().toStdString();
    return contacts;
}

QByteArray Written(const QList<ImportedContact> &contacts) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    VCardWriter writer(buffer);
    for (const ImportedContact &contact : contacts)
        EXPECT_TRUE(writer.Write(contact)) << writer.Error().toStdString();
    EXPECT_EQ(writer.CardsWritten(), contacts.size());
    return bytes;
}

// Every field but the line, so that a failure names the field that differs.
void ExpectSame(const ImportedContact &actual, const ImportedContact &expected, int index) {
    const auto fields = {
        &ImportedContact::companyName, &ImportedContact::contactPerson, &ImportedContact::address,
        &ImportedContact::city,        &ImportedContact::state,         &ImportedContact::postCode,
        &ImportedContact::country,     &ImportedContact::phone,         &ImportedContact::fax,
        &ImportedContact::mobile,      &ImportedContact::email,         &ImportedContact::url,
        &ImportedContact::note,        &ImportedContact::status};
    int field = 0;
    for (QString ImportedContact::*text : fields) {
        EXPECT_EQ(actual.*text, expected.*text) << "contact " << index << ", text field " << field;
        ++field;
    }
    EXPECT_EQ(actual.callbackDate, expected.callbackDate) << "contact " << index;
    EXPECT_EQ(actual.lastCallDate, expected.lastCallDate) << "contact " << index;
}

// Contacts whose texts are made of the pieces a writer has to get right:
// the separators and the escape character, line breaks, blanks, letters of
// two, three and four UTF-8 bytes, long enough to be folded anywhere.
class RandomContacts {
public:
    explicit RandomContacts(quint32 seed) : random_(seed) {}

    // The contact, and in `expected` what a card of it reads back as: the
    // values the reader trims without their outer blanks (the note keeps
    // them, but a blank one is not written), times to the second.
    ImportedContact Next(ImportedContact *expected) {
        ImportedContact c;
        c.companyName = Text(100);
        c.contactPerson = random_.bounded(5) == 0 ? c.companyName : Text(100);
        c.address = Text(255);
        c.city = Text(50);
        c.state = Text(50);
        c.postCode = Text(20);
        c.country = Text(50);
        c.phone = Text(30);
        c.fax = Text(30);
        c.mobile = Text(30);
        c.email = Text(100);
        c.url = Text(255);
        c.note = Text(800);
        c.status = Text(50);
        c.callbackDate = Time();
        c.lastCallDate = Time();
        *expected = c;
        for (QString *text :
             {&expected->companyName, &expected->contactPerson, &expected->address, &expected->city,
              &expected->state, &expected->postCode, &expected->country, &expected->phone,
              &expected->fax, &expected->mobile, &expected->email, &expected->url,
              &expected->status})
            *text = text->trimmed();
        if (expected->note.trimmed().isEmpty())
            expected->note.clear();
        for (QDateTime *time : {&expected->callbackDate, &expected->lastCallDate})
            if (time->isValid())
                *time = time->addMSecs(-time->time().msec());
        return c;
    }

private:
    QString Text(int size) {
        static const QStringList pieces = {
            QStringLiteral("a"),      QStringLiteral("Z"),      QStringLiteral("7"),
            QStringLiteral(" "),      QStringLiteral("\t"),     QStringLiteral(","),
            QStringLiteral(";"),      QStringLiteral("\\"),     QStringLiteral("\n"),
            QStringLiteral(":"),      QStringLiteral("="),      QStringLiteral("\""),
            QStringLiteral("\u00fc"), QStringLiteral("\u6f22"), QStringLiteral("\U0001F600"),
        };
        if (random_.bounded(4) == 0)
            return QString();
        QString text;
        const int length = 1 + int(random_.bounded(size));
        while (text.size() < length)
            text += pieces.at(int(random_.bounded(pieces.size())));
        return text;
    }

    QDateTime Time() {
        if (random_.bounded(3) == 0)
            return QDateTime();
        const QDate day = QDate(1950, 1, 1).addDays(random_.bounded(365 * 150));
        return QDateTime(day, QTime::fromMSecsSinceStartOfDay(int(random_.bounded(86400000))));
    }

    QRandomGenerator random_;
};

TEST(VCardWriter, RandomContactsReadBackAsTheSameContactsFromLinesWithinTheLimit) {
    RandomContacts random(4711);
    QList<ImportedContact> contacts, expected;
    for (int i = 0; i < 400; ++i) {
        ImportedContact wanted;
        contacts << random.Next(&wanted);
        expected << wanted;
    }
    const QByteArray bytes = Written(contacts);

    const QList<ImportedContact> read = ReadBack(bytes);
    ASSERT_EQ(read.size(), expected.size());
    for (int i = 0; i < read.size(); ++i)
        ExpectSame(read[i], expected[i], i);

    // Every line ends in CR LF, holds at most 75 octets and is whole UTF-8
    // on its own; some folds had to step back from a character's middle.
    ASSERT_TRUE(bytes.endsWith("\r\n"));
    const QList<QByteArray> lines = bytes.left(bytes.size() - 2).split('\n');
    int steppedBack = 0;
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray line = lines[i].chopped(i + 1 < lines.size() ? 1 : 0);
        ASSERT_TRUE(i + 1 == lines.size() || lines[i].endsWith('\r')) << "line " << i + 1;
        EXPECT_FALSE(line.contains('\r')) << "line " << i + 1;
        EXPECT_LE(line.size(), 75) << "line " << i + 1;
        QStringDecoder utf8(QStringDecoder::Utf8);
        (void)utf8.decode(line);
        EXPECT_FALSE(utf8.hasError()) << "line " << i + 1;
        if (line.startsWith(' ') && line.size() > 1 && uchar(line[1]) >= 0xC0 &&
            lines[i - 1].size() - 1 < 75)
            ++steppedBack;
    }
    EXPECT_GT(steppedBack, 0);
}

TEST(VCardWriter, ACardHasItsExactBytes) {
    ImportedContact full;
    full.companyName = QStringLiteral("Berg & S\u00f6hne; Wien");
    full.contactPerson = QStringLiteral("Anna Maria Berg");
    full.address = QStringLiteral("Ring 1\nHof 2, Stiege 3");
    full.city = QStringLiteral("Wien");
    full.postCode = QStringLiteral("1010");
    full.country = QStringLiteral("\u00d6sterreich");
    full.phone = QStringLiteral("+43 1 234,5");
    full.mobile = QStringLiteral("0664 123");
    full.email = QStringLiteral("anna@example.com");
    full.url = QStringLiteral("https://example.com/a,b;c");
    // 74 octets up to the "b", so that the fold falls inside the "ü".
    full.note = QString(66, QLatin1Char('a')) + QStringLiteral("\r\nb\u00fc;\\end");
    full.status = QStringLiteral("Customer");
    full.callbackDate = QDateTime(QDate(2024, 3, 20), QTime(14, 30, 5, 250));
    full.lastCallDate = QDateTime(QDate(2024, 3, 15), QTime(9, 0));
    ImportedContact company;
    company.companyName = QStringLiteral("Acme");
    const QByteArray expected = "BEGIN:VCARD\r\n"
                                "VERSION:3.0\r\n"
                                "FN:Anna Maria Berg\r\n"
                                "N:Berg;Anna Maria;;;\r\n"
                                "ORG:Berg & S\xc3\xb6hne\\; Wien\r\n"
                                "ADR;TYPE=WORK:;;Ring 1\\nHof 2\\, Stiege 3;Wien;;1010;"
                                "\xc3\x96sterreich\r\n"
                                "TEL;TYPE=WORK,VOICE:+43 1 234,5\r\n"
                                "TEL;TYPE=CELL:0664 123\r\n"
                                "EMAIL;TYPE=INTERNET:anna@example.com\r\n"
                                "URL:https://example.com/a,b;c\r\n"
                                "NOTE:" +
                                QByteArray(66, 'a') +
                                "\\nb\r\n"
                                " \xc3\xbc\\;\\\\end\r\n"
                                "X-CORVANA-STATUS:Customer\r\n"
                                "X-CORVANA-CALLBACK:20240320T143005\r\n"
                                "X-CORVANA-LASTCALL:20240315T090000\r\n"
                                "END:VCARD\r\n"
                                "BEGIN:VCARD\r\n"
                                "VERSION:3.0\r\n"
                                "FN:Acme\r\n"
                                "ORG:Acme\r\n"
                                "END:VCARD\r\n"
                                "BEGIN:VCARD\r\n"
                                "VERSION:3.0\r\n"
                                "FN:\r\n"
                                "END:VCARD\r\n";
    const QByteArray bytes = Written({full, company, ImportedContact()});
    EXPECT_EQ(bytes, expected);

    // Read back: the note's CR LF is one line break, the company's card has
    // no person, the empty card is an empty contact.
    const QList<ImportedContact> read = ReadBack(bytes);
    ASSERT_EQ(read.size(), 3);
    EXPECT_EQ(read[0].note, QString(66, QLatin1Char('a')) + QStringLiteral("\nb\u00fc;\\end"));
    EXPECT_EQ(read[0].contactPerson, full.contactPerson);
    EXPECT_EQ(read[1].companyName, "Acme");
    EXPECT_TRUE(read[1].contactPerson.isEmpty());
    EXPECT_TRUE(read[2].companyName.isEmpty());
    EXPECT_TRUE(read[2].contactPerson.isEmpty());
}

TEST(VCardWriter, APersonNamedLikeTheCompanyIsKept) {
    ImportedContact c;
    c.companyName = c.contactPerson = QStringLiteral("Jo Bloggs");
    const QList<ImportedContact> read = ReadBack(Written({c}));
    ASSERT_EQ(read.size(), 1);
    EXPECT_EQ(read[0].contactPerson, "Jo Bloggs");
    EXPECT_EQ(read[0].companyName, "Jo Bloggs");
}

// Takes `room` bytes, then fails every write as a full disk does.
class FillingDevice : public QIODevice {
public:
    explicit FillingDevice(qint64 room) : room_(room) {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64 size) override {
        if (size > room_) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        room_ -= size;
        return size;
    }

private:
    qint64 room_;
};

TEST(VCardWriter, AFailedWriteIsReportedWithTheDevicesReason) {
    ImportedContact c;
    c.companyName = QStringLiteral("Acme");
    FillingDevice device(VCardWriter::Card(c).size() + 10);
    VCardWriter writer(device);
    EXPECT_TRUE(writer.Write(c));
    EXPECT_TRUE(writer.Error().isEmpty());
    EXPECT_FALSE(writer.Write(c));
    EXPECT_EQ(writer.Error(), "No space left on device");
    EXPECT_EQ(writer.CardsWritten(), 1);
}

} // namespace
