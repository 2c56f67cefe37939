#include "interchange/VCardWriter.h"

#include <QIODevice>
#include <QStringList>

const QString VCardWriter::kStatusProperty = QStringLiteral("X-CORVANA-STATUS");
const QString VCardWriter::kCallbackProperty = QStringLiteral("X-CORVANA-CALLBACK");
const QString VCardWriter::kLastCallProperty = QStringLiteral("X-CORVANA-LASTCALL");
const QString VCardWriter::kDateTimeFormat = QStringLiteral("yyyyMMdd'T'HHmmss");

namespace {

// Longest line in octets, without its CR LF; a continuation line's leading
// blank counts towards it.
constexpr qsizetype kLineOctets = 75;

bool Blank(const QString &text) {
    return text.trimmed().isEmpty();
}

// Escapes backslashes and line breaks, and `special` characters with a
// backslash in front.
QString Escaped(const QString &text, QLatin1String special) {
    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r')) {
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
            out += QLatin1String("\\n");
        } else if (c == QLatin1Char('\n')) {
            out += QLatin1String("\\n");
        } else if (c == QLatin1Char('\\') || special.contains(c)) {
            out += QLatin1Char('\\');
            out += c;
        } else {
            out += c;
        }
    }
    return out;
}

// The person's name in N's first two parts: "family, given" as written, else
// the last word as the family name and the words before it as the given
// names; a single word, or a part left empty, puts the whole person in the
// family part.
QString NameValue(const QString &person) {
    const QString whole = person.trimmed();
    QString family, given;
    const qsizetype comma = whole.indexOf(QLatin1Char(','));
    if (comma >= 0) {
        family = whole.left(comma).trimmed();
        given = whole.mid(comma + 1).trimmed();
    } else {
        const qsizetype space = whole.lastIndexOf(QLatin1Char(' '));
        if (space > 0) {
            family = whole.mid(space + 1).trimmed();
            given = whole.left(space).trimmed();
        }
    }
    if (family.isEmpty() || given.isEmpty()) {
        family = whole;
        given.clear();
    }
    return VCardWriter::EscapeText(family) + QLatin1Char(';') + VCardWriter::EscapeText(given) +
           QLatin1String(";;;");
}

class CardLines {
public:
    void Add(const QString &head, const QString &value) {
        VCardWriter::AppendFolded((head + QLatin1Char(':') + value).toUtf8(), &bytes_);
    }
    void AddText(const QString &head, const QString &text) {
        if (!Blank(text))
            Add(head, VCardWriter::EscapeText(text));
    }
    void AddValue(const QString &head, const QString &text) {
        if (!Blank(text))
            Add(head, VCardWriter::EscapeValue(text));
    }
    void AddDateTime(const QString &head, const QDateTime &time) {
        if (time.isValid())
            Add(head, time.toLocalTime().toString(VCardWriter::kDateTimeFormat));
    }
    QByteArray &Bytes() { return bytes_; }

private:
    QByteArray bytes_;
};

} // namespace

VCardWriter::VCardWriter(QIODevice &device) : device_(device) {}

bool VCardWriter::Write(const ImportedContact &contact) {
    const QByteArray bytes = Card(contact);
    const qint64 written = device_.write(bytes);
    if (written != bytes.size()) {
        error_ = device_.errorString();
        if (error_.isEmpty())
            error_ =
                QStringLiteral("only %1 of %2 bytes were written").arg(written).arg(bytes.size());
        return false;
    }
    ++cards_;
    return true;
}

QByteArray VCardWriter::Card(const ImportedContact &contact) {
    CardLines lines;
    lines.Add(QStringLiteral("BEGIN"), QStringLiteral("VCARD"));
    lines.Add(QStringLiteral("VERSION"), QStringLiteral("3.0"));
    // A company alone is named in FN and has no N; VCardContact reads such a
    // card back as one without a person.
    const bool hasPerson = !Blank(contact.contactPerson);
    lines.Add(QStringLiteral("FN"),
              EscapeText(hasPerson
                             ? contact.contactPerson
                             : (Blank(contact.companyName) ? QString() : contact.companyName)));
    if (hasPerson)
        lines.Add(QStringLiteral("N"), NameValue(contact.contactPerson));
    lines.AddText(QStringLiteral("ORG"), contact.companyName);
    if (!Blank(contact.address) || !Blank(contact.city) || !Blank(contact.state) ||
        !Blank(contact.postCode) || !Blank(contact.country)) {
        // Post office box; extended address; street; locality; region; post
        // code; country.
        const QStringList parts{QString(),
                                QString(),
                                EscapeText(contact.address),
                                EscapeText(contact.city),
                                EscapeText(contact.state),
                                EscapeText(contact.postCode),
                                EscapeText(contact.country)};
        lines.Add(QStringLiteral("ADR;TYPE=WORK"), parts.join(QLatin1Char(';')));
    }
    lines.AddValue(QStringLiteral("TEL;TYPE=WORK,VOICE"), contact.phone);
    lines.AddValue(QStringLiteral("TEL;TYPE=WORK,FAX"), contact.fax);
    lines.AddValue(QStringLiteral("TEL;TYPE=CELL"), contact.mobile);
    lines.AddText(QStringLiteral("EMAIL;TYPE=INTERNET"), contact.email);
    lines.AddValue(QStringLiteral("URL"), contact.url);
    lines.AddText(QStringLiteral("NOTE"), contact.note);
    lines.AddText(kStatusProperty, contact.status);
    lines.AddDateTime(kCallbackProperty, contact.callbackDate);
    lines.AddDateTime(kLastCallProperty, contact.lastCallDate);
    lines.Add(QStringLiteral("END"), QStringLiteral("VCARD"));
    return std::move(lines.Bytes());
}

QString VCardWriter::EscapeText(const QString &text) {
    return Escaped(text, QLatin1String(",;"));
}

QString VCardWriter::EscapeValue(const QString &text) {
    return Escaped(text, QLatin1String(""));
}

void VCardWriter::AppendFolded(const QByteArray &line, QByteArray *out) {
    qsizetype start = 0;
    qsizetype room = kLineOctets;
    while (line.size() - start > room) {
        qsizetype cut = start + room;
        // Back to the first byte of the character the cut would split
        // (UTF-8 continuation bytes are 10xxxxxx).
        while (cut > start && (uchar(line[cut]) & 0xC0) == 0x80)
            --cut;
        out->append(line.constData() + start, cut - start);
        out->append("\r\n ");
        start = cut;
        room = kLineOctets - 1; // the leading blank takes one octet
    }
    out->append(line.constData() + start, line.size() - start);
    out->append("\r\n");
}
