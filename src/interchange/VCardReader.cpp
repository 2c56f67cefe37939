#include "interchange/VCardReader.h"

#include <QIODevice>
#include <QStringDecoder>

namespace {

// Longer logical lines are no contact data; refusing them keeps memory flat
// whatever the file holds.
constexpr qsizetype kMaxLogicalLine = 4 * 1024 * 1024;

bool DeclaresQuotedPrintable(const QByteArray &line) {
    const qsizetype colon = line.indexOf(':');
    const QByteArray head = (colon < 0 ? line : line.left(colon)).toUpper();
    return head.contains("QUOTED-PRINTABLE");
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QByteArray DecodeQuotedPrintable(const QByteArray &text) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '=' && i + 2 < text.size()) {
            const int high = HexDigit(text[i + 1]);
            const int low = HexDigit(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += char(high * 16 + low);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// Splits at `separator` outside double quotes.
QList<QByteArray> SplitOutsideQuotes(const QByteArray &text, char separator) {
    QList<QByteArray> parts;
    QByteArray current;
    bool quoted = false;
    for (char c : text) {
        if (c == '"')
            quoted = !quoted;
        if (c == separator && !quoted) {
            parts << current;
            current.clear();
        } else {
            current += c;
        }
    }
    parts << current;
    return parts;
}

QString Unquoted(const QString &value) {
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
        return value.mid(1, value.size() - 2);
    return value;
}

} // namespace

QStringList VCardProperty::Param(const QString &wanted) const {
    QStringList values;
    for (const auto &param : params) {
        if (param.first == wanted)
            for (const QString &value : Unquoted(param.second).split(QLatin1Char(',')))
                values << Unquoted(value.trimmed()).toUpper();
    }
    return values;
}

bool VCardProperty::HasType(const QString &type) const {
    return Param(QStringLiteral("TYPE")).contains(type.toUpper());
}

QStringList VCardProperty::Components() const {
    return VCardReader::Split(value, QLatin1Char(';'));
}

QString VCardProperty::Text() const {
    return VCardReader::Unescape(value);
}

const VCardProperty *VCard::First(const QString &name) const {
    for (const VCardProperty &property : properties)
        if (property.name == name)
            return &property;
    return nullptr;
}

VCardReader::VCardReader(QIODevice &device) : device_(device) {}

VCardReader::~VCardReader() = default;

QStringDecoder *VCardReader::Decoder(const QString &charset) {
    // Opening a converter costs far more than decoding a value, so each
    // character set's is kept for the whole file.
    std::unique_ptr<QStringDecoder> &decoder = decoders_[charset.toUpper()];
    if (!decoder)
        decoder = std::make_unique<QStringDecoder>(charset.toLatin1().constData());
    decoder->resetState();
    return decoder->isValid() ? decoder.get() : nullptr;
}

QString VCardReader::DecodeText(const QByteArray &bytes, const QString &charset) {
    // The named character set; UTF-8 when none is named, with the Windows
    // code page for bytes that are not UTF-8.
    if (!charset.isEmpty() && charset.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) != 0) {
        if (QStringDecoder *named = Decoder(charset)) {
            const QString text = named->decode(bytes);
            if (!named->hasError())
                return text;
        }
    }
    QStringDecoder *utf8 = Decoder(QStringLiteral("UTF-8"));
    const QString text = utf8->decode(bytes);
    if (!utf8->hasError())
        return text;
    usedFallback_ = true;
    if (QStringDecoder *windows = Decoder(QStringLiteral("windows-1252")))
        return windows->decode(bytes);
    return QString::fromLatin1(bytes);
}

bool VCardReader::RawLine(QByteArray *text) {
    if (device_.atEnd())
        return false;
    // Read in pieces up to the line end; a line past the limit is cut
    // there (the caller refuses it), so no line is held whole in memory.
    text->clear();
    char piece[16 * 1024];
    while (text->size() <= kMaxLogicalLine) {
        const qint64 got = device_.readLine(piece, sizeof piece);
        if (got <= 0)
            break;
        text->append(piece, int(got));
        if (piece[got - 1] == '\n')
            break;
    }
    if (text->isEmpty())
        return false;
    ++line_;
    if (text->endsWith('\n'))
        text->chop(1);
    if (text->endsWith('\r'))
        text->chop(1);
    return true;
}

bool VCardReader::LogicalLine(QByteArray *text, int *startLine) {
    if (!hasPending_) {
        if (!RawLine(&pending_))
            return false;
        pendingLine_ = line_;
    }
    hasPending_ = false;
    *text = pending_;
    *startLine = pendingLine_;
    const bool quotedPrintable = DeclaresQuotedPrintable(*text);
    QByteArray next;
    for (;;) {
        if (text->size() > kMaxLogicalLine)
            return true; // refused by the caller
        // A quoted-printable value goes on after a trailing "=" (a soft
        // line break), without a blank in front of the next line.
        if (quotedPrintable && text->endsWith('=')) {
            if (!RawLine(&next))
                return true;
            text->chop(1);
            *text += next;
            continue;
        }
        if (!RawLine(&next))
            return true;
        if (next.startsWith(' ') || next.startsWith('\t')) {
            *text += next.mid(1);
            continue;
        }
        pending_ = next;
        pendingLine_ = line_;
        hasPending_ = true;
        return true;
    }
}

bool VCardReader::Fail(int line, const QString &reason) {
    error_ = QStringLiteral("Line %1: %2").arg(line).arg(reason);
    return false;
}

bool VCardReader::Next(VCard *card) {
    error_.clear();
    QByteArray text;
    int line = 0;
    bool inside = false;
    while (LogicalLine(&text, &line)) {
        if (text.size() > kMaxLogicalLine)
            return Fail(line, QStringLiteral("the line is too long to be contact data"));
        if (text.trimmed().isEmpty())
            continue;
        const QByteArray upper = text.trimmed().toUpper();
        if (upper == "BEGIN:VCARD") {
            if (inside)
                return Fail(
                    line,
                    QStringLiteral("a card begins inside the card of line %1").arg(card->line));
            *card = VCard();
            card->line = line;
            inside = true;
            continue;
        }
        if (!inside)
            continue; // text between cards is not part of any card
        if (upper == "END:VCARD")
            return true;

        qsizetype colon = -1;
        bool quoted = false;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i] == '"')
                quoted = !quoted;
            else if (text[i] == ':' && !quoted) {
                colon = i;
                break;
            }
        }
        if (colon <= 0)
            return Fail(line,
                        QStringLiteral("the line has no property name and value ('name:value')"));
        const QList<QByteArray> head = SplitOutsideQuotes(text.left(colon), ';');
        VCardProperty property;
        property.line = line;
        QString name = QString::fromUtf8(head.first()).trimmed();
        const qsizetype dot = name.indexOf(QLatin1Char('.'));
        if (dot >= 0) {
            property.group = name.left(dot);
            name = name.mid(dot + 1);
        }
        property.name = name.toUpper();
        if (property.name.isEmpty())
            return Fail(line, QStringLiteral("the property has no name"));
        for (qsizetype i = 1; i < head.size(); ++i) {
            const QString param = QString::fromUtf8(head[i]).trimmed();
            if (param.isEmpty())
                continue;
            const qsizetype equals = param.indexOf(QLatin1Char('='));
            if (equals < 0)
                property.params << qMakePair(QStringLiteral("TYPE"), param);
            else
                property.params << qMakePair(param.left(equals).trimmed().toUpper(),
                                             param.mid(equals + 1).trimmed());
        }
        QByteArray value = text.mid(colon + 1);
        const QStringList encoding = property.Param(QStringLiteral("ENCODING"));
        if (encoding.contains(QStringLiteral("QUOTED-PRINTABLE")) ||
            property.HasType(QStringLiteral("QUOTED-PRINTABLE")))
            value = DecodeQuotedPrintable(value);
        const QStringList charset = property.Param(QStringLiteral("CHARSET"));
        property.value = DecodeText(value, charset.isEmpty() ? QString() : charset.first());
        if (property.name == QLatin1String("VERSION"))
            card->version = property.value.trimmed();
        card->properties << property;
    }
    if (inside)
        return Fail(line_, QStringLiteral("the card of line %1 has no END:VCARD").arg(card->line));
    return false;
}

QStringList VCardReader::Split(const QString &value, QChar separator) {
    QStringList parts;
    QString current;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == QLatin1Char('\\') && i + 1 < value.size()) {
            current += c;
            current += value[++i];
        } else if (c == separator) {
            parts << Unescape(current);
            current.clear();
        } else {
            current += c;
        }
    }
    parts << Unescape(current);
    return parts;
}

QString VCardReader::Unescape(const QString &value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == QLatin1Char('\\') && i + 1 < value.size()) {
            const QChar next = value[++i];
            if (next == QLatin1Char('n') || next == QLatin1Char('N'))
                out += QLatin1Char('\n');
            else
                out += next;
        } else {
            out += value[i];
        }
    }
    return out;
}
