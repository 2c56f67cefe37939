#include "reports/TQRPrintable.h"

#include "reports/TQRExportFilter.h"
#include "reports/TQRPrinter.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <cmath>

TQRPrintable::TQRPrintable(QString name) : name_(std::move(name)) {}

TQRPrintable::~TQRPrintable() = default;

QStringList TQRPrintable::Lines(const QString &text) {
    QStringList lines = text.split(QLatin1Char('\r'));
    for (QString &line : lines)
        line.remove(QLatin1Char('\n'));
    return lines;
}

int TQRPrintable::ScreenDpi() {
    if (QScreen *screen = QGuiApplication::primaryScreen())
        return std::max(1, qRound(screen->logicalDotsPerInchX()));
    return 96;
}

double TQRPrintable::AutoSizeWidth(const QFont &font, const QStringList &lines, int zoom) {
    const int dpi = ScreenDpi();
    const int percent = zoom > 0 ? zoom : 100;
    // Measured as a screen label would be, in whole screen pixels, on a
    // device of exactly the screen's resolution.
    QImage screen(1, 1, QImage::Format_ARGB32);
    const int dotsPerMeter = qRound(dpi / 0.0254);
    screen.setDotsPerMeterX(dotsPerMeter);
    screen.setDotsPerMeterY(dotsPerMeter);
    QFont zoomed(font);
    if (percent != 100) {
        if (font.pointSizeF() > 0)
            zoomed.setPointSizeF(font.pointSizeF() * percent / 100.0);
        else
            zoomed.setPixelSize(std::max(1, qRound(font.pixelSize() * percent / 100.0)));
    }
    const QFontMetrics metrics(zoomed, &screen);
    int widest = 0;
    for (const QString &line : lines)
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return (widest + 1) * 254.0 / dpi * 100.0 / percent;
}

double TQRPrintable::LineHeight(TQRPrinter &producer) const {
    QPainter *painter = producer.Canvas();
    const int dpiY = std::max(1, producer.DpiY());
    // The height of a line of text ("W") on the output device: the font's
    // ascent and descent, in tenths of a millimetre.
    if (painter && painter->device())
        return QFontMetricsF(font_, painter->device()).height() * 254.0 / dpiY;
    return QFontMetricsF(font_).height() * 254.0 / dpiY;
}

void TQRPrintable::Export(TQRPrinter &producer, TQRExportFilter &exportFilter, double x, double y,
                          int zoom) const {
    const QStringList lines = Lines(Text());
    const double lineHeight = LineHeight(producer);
    const double width = autoSize_ ? AutoSizeWidth(font_, lines, zoom) : size_.width;
    double anchor = x;
    if (alignment_ == taRightJustify)
        anchor = x + width;
    else if (alignment_ == taCenter)
        anchor = x + width / 2;
    const TQRExportFont font{font_, fontColor_};
    for (int k = 0; k < lines.size(); ++k) {
        if (lineHeight <= 0 || (k + 1) * lineHeight > size_.height + 1)
            break;
        exportFilter.PlaceText(anchor, y + k * lineHeight, font, color_, alignment_, lines.at(k));
    }
}

void TQRPrintable::Print(TQRPrinter &producer, double x, double y, int zoom,
                         TQRExportFilter *exportFilter) const {
    if (!enabled_)
        return;
    if (exportFilter) {
        Export(producer, *exportFilter, x, y, zoom);
        return;
    }
    QPainter *painter = producer.Canvas();
    if (!painter)
        return;
    const QStringList lines = Lines(Text());
    const double boxWidth = autoSize_ ? AutoSizeWidth(font_, lines, zoom) : size_.width;

    painter->save();
    if (!transparent_) {
        const int left = producer.XPos(x);
        const int top = producer.YPos(y);
        const int right = producer.XPos(x + boxWidth);
        const int bottom = producer.YPos(y + size_.height);
        painter->fillRect(QRect(left, top, right - left, bottom - top), color_);
    }

    painter->setFont(font_);
    painter->setPen(fontColor_);
    painter->setBackgroundMode(Qt::TransparentMode);
    const QFontMetricsF metrics(font_, painter->device());
    const double lineHeight = LineHeight(producer);
    const int left = producer.XPos(x);
    const int right = producer.XPos(x + boxWidth);
    for (int k = 0; k < lines.size(); ++k) {
        if (lineHeight <= 0 || (k + 1) * lineHeight > size_.height + 1)
            break;
        const QString &line = lines.at(k);
        double column = left;
        if (alignment_ == taRightJustify)
            column = right - metrics.horizontalAdvance(line);
        else if (alignment_ == taCenter)
            column = (left + right - metrics.horizontalAdvance(line)) / 2;
        const int top = producer.YPos(y + k * lineHeight);
        painter->drawText(QPointF(column, top + metrics.ascent()), line);
    }
    painter->restore();
}
