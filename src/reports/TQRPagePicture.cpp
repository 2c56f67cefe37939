#include "reports/TQRPagePicture.h"

#include "reports/TQRStream.h"

#include <QFont>
#include <QPaintDevice>
#include <QPainter>
#include <QtEndian>
#include <array>
#include <cmath>
#include <cstring>

namespace {

const char Magic[4] = {'C', 'V', 'P', 'G'};
// What the page pictures of earlier versions began with.
const char EarlierMagic[4] = {'Q', 'P', 'I', 'C'};
const quint16 Version = 1;
// The smallest operation: a text run with an empty family and text.
const int MinOperationSize = 1 + 3 * 8 + 1 + 4 + 2 + 4;
// Bytes read from the stream at a time.
const qint64 ChunkSize = 64 * 1024;

// CRC-32 (the polynomial of zip and PNG), to tell a damaged picture from a
// sound one.
quint32 Crc32(quint32 crc, const char *data, qint64 size) {
    static const auto table = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (qint64 i = 0; i < size; ++i)
        crc = table[(crc ^ quint8(data[i])) & 0xff] ^ (crc >> 8);
    return ~crc;
}

void PutDouble(QByteArray &out, double value) {
    quint64 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    char bytes[8];
    qToLittleEndian<quint64>(bits, bytes);
    out.append(bytes, 8);
}

template <class T> void PutInt(QByteArray &out, T value) {
    char bytes[sizeof(T)];
    qToLittleEndian<T>(value, bytes);
    out.append(bytes, int(sizeof(T)));
}

// Reads a byte range of a stream front to back through a bounded buffer.
class RangeReader {
public:
    RangeReader(const TQRStream &stream, qint64 offset, qint64 length)
        : stream_(stream), position_(offset), end_(offset + length) {}

    qint64 Remaining() const { return end_ - position_ + (buffer_.size() - used_); }
    // Sums every byte read from now on.
    void StartSum() { summing_ = true; }
    quint32 Sum() const { return crc_; }

    bool Bytes(char *out, qint64 count) {
        while (count > 0) {
            if (used_ == buffer_.size() && !Refill())
                return false;
            const qint64 take = std::min<qint64>(count, buffer_.size() - used_);
            std::memcpy(out, buffer_.constData() + used_, size_t(take));
            if (summing_)
                crc_ = Crc32(crc_, out, take);
            used_ += int(take);
            out += take;
            count -= take;
        }
        return true;
    }
    template <class T> bool Int(T *value) {
        char bytes[sizeof(T)];
        if (!Bytes(bytes, sizeof(T)))
            return false;
        *value = qFromLittleEndian<T>(bytes);
        return true;
    }
    bool Double(double *value) {
        quint64 bits = 0;
        if (!Int(&bits))
            return false;
        std::memcpy(value, &bits, sizeof bits);
        return true;
    }
    // A UTF-8 text of `count` bytes; the caller has bounded the count.
    bool Utf8(qint64 count, QString *text) {
        QByteArray bytes(int(count), Qt::Uninitialized);
        if (!Bytes(bytes.data(), count))
            return false;
        *text = QString::fromUtf8(bytes);
        return true;
    }

private:
    bool Refill() {
        if (position_ >= end_)
            return false;
        buffer_ = stream_.Read(position_, std::min(ChunkSize, end_ - position_));
        used_ = 0;
        if (buffer_.isEmpty())
            return false;
        position_ += buffer_.size();
        return true;
    }

    const TQRStream &stream_;
    qint64 position_;
    qint64 end_;
    QByteArray buffer_;
    int used_ = 0;
    bool summing_ = false;
    quint32 crc_ = 0;
};

bool Fail(QString *error, const QString &reason) {
    if (error)
        *error = reason;
    return false;
}

bool Coordinate(double value) {
    return std::isfinite(value) && std::abs(value) <= TQRPagePicture::MaxCoordinate;
}

bool Extent(double value) {
    return std::isfinite(value) && value >= 0 && value <= TQRPagePicture::MaxCoordinate;
}

// Reads and checks one operation's fields after its kind byte.
bool ReadOperation(RangeReader &in, quint8 kind, TQRPagePicture::Operation *op, QString *error) {
    using Op = TQRPagePicture::Operation;
    const QString damaged = QStringLiteral("the page picture is damaged");
    double a = 0, b = 0, c = 0, d = 0, e = 0;
    quint32 color = 0;
    switch (kind) {
    case Op::FillRect:
        if (!in.Double(&a) || !in.Double(&b) || !in.Double(&c) || !in.Double(&d) || !in.Int(&color))
            return Fail(error, damaged);
        if (!Coordinate(a) || !Coordinate(b) || !Extent(c) || !Extent(d))
            return Fail(error, QStringLiteral("a rectangle of the page picture lies off the page"));
        op->rect = QRectF(a, b, c, d);
        break;
    case Op::Line: {
        quint8 cap = 0;
        if (!in.Double(&a) || !in.Double(&b) || !in.Double(&c) || !in.Double(&d) ||
            !in.Double(&e) || !in.Int(&cap) || !in.Int(&color))
            return Fail(error, damaged);
        if (!Coordinate(a) || !Coordinate(b) || !Coordinate(c) || !Coordinate(d) || !Extent(e) ||
            e > TQRPagePicture::MaxPenWidth)
            return Fail(error, QStringLiteral("a line of the page picture lies off the page"));
        if (cap > TQRPagePicture::RoundCap)
            return Fail(error, damaged);
        op->rect = QRectF(QPointF(a, b), QPointF(c, d));
        op->size = e;
        op->style = cap;
        break;
    }
    case Op::Text: {
        quint8 style = 0;
        quint16 familyBytes = 0;
        quint32 textBytes = 0;
        if (!in.Double(&a) || !in.Double(&b) || !in.Double(&c) || !in.Int(&style) ||
            !in.Int(&color) || !in.Int(&familyBytes))
            return Fail(error, damaged);
        if (!Coordinate(a) || !Coordinate(b))
            return Fail(error, QStringLiteral("a text of the page picture lies off the page"));
        if (!std::isfinite(c) || c <= 0 || c > TQRPagePicture::MaxFontPixels)
            return Fail(error, QStringLiteral("a font size of the page picture is out of range"));
        if ((style & ~quint8(15)) != 0)
            return Fail(error, damaged);
        if (familyBytes > TQRPagePicture::MaxFamilyBytes || familyBytes > in.Remaining())
            return Fail(error, QStringLiteral("a font name of the page picture is too long"));
        if (!in.Utf8(familyBytes, &op->family) || !in.Int(&textBytes))
            return Fail(error, damaged);
        if (textBytes > quint32(TQRPagePicture::MaxTextBytes) || textBytes > in.Remaining())
            return Fail(error, QStringLiteral("a text of the page picture is too long"));
        if (!in.Utf8(textBytes, &op->text))
            return Fail(error, damaged);
        op->origin = QPointF(a, b);
        op->size = c;
        op->style = style;
        break;
    }
    default:
        return Fail(error, QStringLiteral("the page picture holds an unknown drawing operation"));
    }
    op->kind = Op::Kind(kind);
    op->color = color;
    return true;
}

} // namespace

quint32 TQRPagePicture::Checksum(const char *data, qint64 size) {
    return Crc32(0, data, size);
}

QByteArray TQRPagePicture::Serialize() const {
    QByteArray out;
    out.append(Magic, 4);
    PutInt<quint16>(out, Version);
    PutInt<quint16>(out, 0);
    PutInt<quint32>(out, 0); // the length, filled in below
    PutInt<qint32>(out, width_);
    PutInt<qint32>(out, height_);
    PutInt<quint32>(out, quint32(operations_.size()));
    PutInt<quint32>(out, 0); // the checksum, filled in below
    for (const Operation &op : operations_) {
        out.append(char(op.kind));
        switch (op.kind) {
        case Operation::FillRect:
            PutDouble(out, op.rect.x());
            PutDouble(out, op.rect.y());
            PutDouble(out, op.rect.width());
            PutDouble(out, op.rect.height());
            break;
        case Operation::Line:
            PutDouble(out, op.rect.left());
            PutDouble(out, op.rect.top());
            PutDouble(out, op.rect.right());
            PutDouble(out, op.rect.bottom());
            PutDouble(out, op.size);
            out.append(char(op.style));
            break;
        case Operation::Text: {
            PutDouble(out, op.origin.x());
            PutDouble(out, op.origin.y());
            PutDouble(out, op.size);
            out.append(char(op.style));
            break;
        }
        }
        PutInt<quint32>(out, op.color);
        if (op.kind == Operation::Text) {
            const QByteArray family = op.family.toUtf8().left(MaxFamilyBytes);
            const QByteArray text = op.text.toUtf8().left(MaxTextBytes);
            PutInt<quint16>(out, quint16(family.size()));
            out += family;
            PutInt<quint32>(out, quint32(text.size()));
            out += text;
        }
    }
    qToLittleEndian<quint32>(quint32(out.size()), out.data() + 8);
    qToLittleEndian<quint32>(Crc32(0, out.constData() + HeaderSize, out.size() - HeaderSize),
                             out.data() + 24);
    return out;
}

bool TQRPagePicture::DecodeBytes(const QByteArray &bytes, TQRPagePicture *picture, QString *error) {
    return Decode(*TQRStream::FromBytes(bytes), 0, bytes.size(), picture, error);
}

bool TQRPagePicture::Decode(const TQRStream &stream, qint64 offset, qint64 length,
                            TQRPagePicture *picture, QString *error) {
    if (length < HeaderSize)
        return Fail(error, QStringLiteral("the page picture is too short"));
    if (length > MaxBytes)
        return Fail(error, QStringLiteral("the page picture is too large"));
    RangeReader in(stream, offset, length);
    char magic[4];
    quint16 version = 0, flags = 0;
    quint32 bytes = 0, count = 0, checksum = 0;
    qint32 width = 0, height = 0;
    if (!in.Bytes(magic, 4))
        return Fail(error, QStringLiteral("the page picture is too short"));
    if (std::memcmp(magic, EarlierMagic, 4) == 0)
        return Fail(error, QStringLiteral("its pages are in the page format of an earlier "
                                          "version, which this version no longer reads"));
    if (std::memcmp(magic, Magic, 4) != 0)
        return Fail(error, QStringLiteral("the page picture is damaged"));
    if (!in.Int(&version) || !in.Int(&flags) || !in.Int(&bytes) || !in.Int(&width) ||
        !in.Int(&height) || !in.Int(&count) || !in.Int(&checksum))
        return Fail(error, QStringLiteral("the page picture is too short"));
    in.StartSum();
    if (version != Version || flags != 0)
        return Fail(error, QStringLiteral("the page picture is of an unknown version"));
    if (qint64(bytes) != length)
        return Fail(error, QStringLiteral("the page picture's length does not match its record"));
    if (width <= 0 || height <= 0 || width > MaxPixels || height > MaxPixels)
        return Fail(error, QStringLiteral("the page picture's size is no page size"));
    if (qint64(count) > (length - HeaderSize) / MinOperationSize)
        return Fail(error, QStringLiteral("the page picture's operation count is too large"));
    if (picture) {
        *picture = TQRPagePicture(width, height);
        picture->operations_.reserve(int(count));
    }
    Operation op;
    for (quint32 i = 0; i < count; ++i) {
        quint8 kind = 0;
        if (!in.Int(&kind))
            return Fail(error, QStringLiteral("the page picture is damaged"));
        if (!ReadOperation(in, kind, &op, error))
            return false;
        if (picture)
            picture->operations_.append(op);
    }
    if (in.Remaining() != 0)
        return Fail(error, QStringLiteral("the page picture's length does not match its record"));
    if (in.Sum() != checksum)
        return Fail(error, QStringLiteral("the page picture is damaged (its checksum differs)"));
    return true;
}

void TQRPagePicture::Play(QPainter &painter, const QRectF &target) const {
    if (width_ <= 0 || height_ <= 0 || target.isEmpty())
        return;
    painter.save();
    painter.setClipRect(target, Qt::IntersectClip);
    painter.translate(target.topLeft());
    painter.scale(target.width() / width_, target.height() / height_);
    const int deviceDpi = painter.device() ? std::max(1, painter.device()->logicalDpiY()) : 96;
    for (const Operation &op : operations_) {
        const QColor color = QColor::fromRgba(op.color);
        switch (op.kind) {
        case Operation::FillRect:
            painter.fillRect(op.rect, color);
            break;
        case Operation::Line:
            painter.setPen(QPen(color, op.size, Qt::SolidLine,
                                op.style == FlatCap    ? Qt::FlatCap
                                : op.style == RoundCap ? Qt::RoundCap
                                                       : Qt::SquareCap));
            painter.drawLine(op.rect.topLeft(), op.rect.bottomRight());
            break;
        case Operation::Text: {
            QFont font(op.family);
            // A size in the picture's pixels, which the painter's scale maps
            // to the device.
            font.setPointSizeF(op.size * 72.0 / deviceDpi);
            font.setBold(op.style & Bold);
            font.setItalic(op.style & Italic);
            font.setUnderline(op.style & Underline);
            font.setStrikeOut(op.style & StrikeOut);
            painter.setFont(font);
            painter.setPen(color);
            painter.drawText(op.origin, op.text);
            break;
        }
        }
    }
    painter.restore();
}
