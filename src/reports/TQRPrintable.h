#pragma once

#include "reports/TAlignment.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

class TQRExportFilter;
class TQRPrinter;

// Where an element sits in its band and how big it is, in tenths of a
// millimetre; left and top are measured from the band's top-left corner.
struct TQRElementSize {
    double height = 0;
    double left = 0;
    double top = 0;
    double width = 0;
};

// An element of a band that prints a text: the common part of labels and
// data fields.
//
// Printing (Print): the text is cut into lines at each carriage return, line
// feeds removed; lines are never wrapped or clipped. Unless Transparent, a
// box in Color is filled first, from (left, top) to (left + box width,
// top + stored height), the box width being the AutoSize width (the widest
// line measured on the screen at the report's zoom, plus one screen pixel)
// or, without AutoSize, the stored width. Then line k is drawn in Font and
// FontColor, with a transparent background, its top-left corner at
// (left, top + k * line height), for as long as (k + 1) * line height <=
// stored height + 1; later lines are dropped. The line height is the height
// of "W" in Font on the output device. A disabled element prints nothing.
//
// On an export run nothing is drawn: each line that would be drawn goes to
// the export format instead, empty lines too, anchored by Alignment (left
// edge, right edge or centre of the box width).
class TQRPrintable {
public:
    explicit TQRPrintable(QString name);
    virtual ~TQRPrintable();
    TQRPrintable(const TQRPrintable &) = delete;
    TQRPrintable &operator=(const TQRPrintable &) = delete;

    const QString &Name() const { return name_; }

    const TQRElementSize &Size() const { return size_; }
    void SetSize(const TQRElementSize &size) { size_ = size; }
    const QFont &Font() const { return font_; }
    void SetFont(const QFont &font) { font_ = font; }
    // The colour of the text.
    const QColor &FontColor() const { return fontColor_; }
    void SetFontColor(const QColor &color) { fontColor_ = color; }
    // The colour of the box behind the text (white by default).
    const QColor &Color() const { return color_; }
    void SetColor(const QColor &color) { color_ = color; }
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value) { autoSize_ = value; }
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value) { transparent_ = value; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value) { enabled_ = value; }
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment) { alignment_ = alignment; }

    // Called once at the start of every run, before any row is read.
    virtual void Prepare() {}
    // The text to print for the current row; never throws.
    virtual QString Text() const = 0;

    // Prints the element with its top-left corner at the page position
    // (x, y) on the producer's current page, or hands its lines to
    // `exportFilter` when there is one. `zoom` is the report's zoom in
    // percent, at which AutoSize measures.
    void Print(TQRPrinter &producer, double x, double y, int zoom,
               TQRExportFilter *exportFilter = nullptr) const;

    // The lines of a text: cut at each carriage return, line feeds removed.
    static QStringList Lines(const QString &text);
    // The AutoSize width of these lines in tenths of a millimetre: the
    // widest line measured on the screen at `zoom` percent, plus one screen
    // pixel, scaled back to 100 %.
    static double AutoSizeWidth(const QFont &font, const QStringList &lines, int zoom);
    // The screen's logical resolution (96 when there is no screen).
    static int ScreenDpi();

private:
    // The height of a line of text on the producer's output, in tenths of a
    // millimetre.
    double LineHeight(TQRPrinter &producer) const;
    void Export(TQRPrinter &producer, TQRExportFilter &exportFilter, double x, double y,
                int zoom) const;

    QString name_;
    TQRElementSize size_;
    QFont font_;
    QColor fontColor_ = Qt::black;
    QColor color_ = Qt::white;
    bool autoSize_ = true;
    bool transparent_ = false;
    bool enabled_ = true;
    TAlignment alignment_ = taLeftJustify;
};
