#pragma once

#include <QByteArray>
#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QVector>

class QPainter;
class TQRStream;

// One report page as a recorded drawing: the page's pixel size at the screen
// scale and the drawing operations the report engine issues, in device
// pixels of that size. It is the page picture of the page store and of the
// saved report file.
//
// The stored form, little-endian:
//   header, 28 bytes: "CVPG", 16-bit version 1, 16-bit flags (0), 32-bit
//   length of the whole picture in bytes, 32-bit width and height in pixels,
//   32-bit operation count, CRC-32 of the bytes after the header;
//   the operations, each a kind byte and its fields:
//     1 filled rectangle: x, y, width, height (doubles), colour (32-bit ARGB)
//     2 line: x1, y1, x2, y2, pen width (doubles), cap byte (0 flat, 1
//       square, 2 round), colour
//     3 text run: baseline x, y, font pixel size (doubles), style byte (1
//       bold, 2 italic, 4 underline, 8 strike-out), colour, font family
//       (16-bit byte count, UTF-8), text (32-bit byte count, UTF-8).
// A reader accepts only a picture whose every field lies within sane bounds
// (see Decode) and whose length is exactly the space it is given.
class TQRPagePicture {
public:
    struct Operation {
        enum Kind : quint8 { FillRect = 1, Line = 2, Text = 3 };
        Kind kind = FillRect;
        QRectF rect;      // FillRect: the rectangle; Line: from topLeft to bottomRight
        QPointF origin;   // Text: the baseline's start
        double size = 0;  // Text: font pixel size; Line: pen width
        quint8 style = 0; // Text: Style bits; Line: the Cap
        QRgb color = 0xff000000;
        QString family;
        QString text;
    };
    enum Style : quint8 { Bold = 1, Italic = 2, Underline = 4, StrikeOut = 8 };
    enum Cap : quint8 { FlatCap = 0, SquareCap = 1, RoundCap = 2 };

    static constexpr int HeaderSize = 28;
    // Bounds a reader holds every picture to.
    static constexpr int MaxPixels = 100000;
    static constexpr double MaxCoordinate = 1.0e6;
    static constexpr double MaxFontPixels = 2000;
    static constexpr double MaxPenWidth = 1000;
    static constexpr int MaxFamilyBytes = 256;
    static constexpr int MaxTextBytes = 65536;
    static constexpr qint64 MaxBytes = 16 * 1024 * 1024;

    TQRPagePicture() = default;
    TQRPagePicture(int width, int height) : width_(width), height_(height) {}

    int Width() const { return width_; }
    int Height() const { return height_; }
    QSize Size() const { return QSize(width_, height_); }
    const QVector<Operation> &Operations() const { return operations_; }
    void Add(const Operation &operation) { operations_.append(operation); }

    QByteArray Serialize() const;
    // The CRC-32 the header carries of the bytes after it.
    static quint32 Checksum(const char *data, qint64 size);

    // Reads the picture stored in stream bytes [offset, offset + length),
    // checking every field; reads in pieces, never more than a bounded
    // buffer at once. With `picture` null it only checks. False with the
    // reason in *error for anything out of bounds; a picture written by the
    // earlier page format says so.
    static bool Decode(const TQRStream &stream, qint64 offset, qint64 length,
                       TQRPagePicture *picture, QString *error = nullptr);
    static bool DecodeBytes(const QByteArray &bytes, TQRPagePicture *picture,
                            QString *error = nullptr);

    // Draws the page stretched over `target` (in the painter's coordinates),
    // clipped to it; the painter's state is kept.
    void Play(QPainter &painter, const QRectF &target) const;

private:
    int width_ = 0;
    int height_ = 0;
    QVector<Operation> operations_;
};
