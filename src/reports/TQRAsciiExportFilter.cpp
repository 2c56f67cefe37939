#include "reports/TQRAsciiExportFilter.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// One character is taken as 1/1.7 of the font's size wide.
constexpr double kCharactersPerCell = 1.7;
// The cell size of a report font that gives no usable point size.
constexpr double kFallbackPoints = 10;
// Text would start further right than this only when placed far off any
// page; it is dropped rather than padded out to an enormous line.
constexpr int kMaxStartCharacter = 65535;

// Rounds halves to even; a value out of range comes back clamped.
int RoundEven(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= double(INT_MAX))
        return INT_MAX;
    if (value <= double(INT_MIN))
        return INT_MIN;
    return int(std::nearbyint(value));
}

} // namespace

TQRAsciiExportFilter::~TQRAsciiExportFilter() = default;

std::unique_ptr<TQRExportFilter> TQRAsciiExportFilter::Create(const QString &fileName) {
    return std::make_unique<TQRAsciiExportFilter>(fileName);
}

QString TQRAsciiExportFilter::DescriptionText() const {
    return QStringLiteral("Text export (ASCII) filter");
}

QString TQRAsciiExportFilter::FileExtension() const {
    return QStringLiteral("TXT");
}

QString TQRAsciiExportFilter::FormatName() const {
    return QStringLiteral("Text file");
}

QString TQRAsciiExportFilter::MakerText() const {
    return QStringLiteral("Brennart");
}

void TQRAsciiExportFilter::BeginExport(double paperWidth, double paperLength,
                                       const TQRExportFont &reportFont) {
    // No text mode: line ends are written as CR LF on every platform.
    output_.Open(FileName());

    double points = reportFont.font.pointSizeF();
    if (!(points > 0) || !std::isfinite(points))
        points = kFallbackPoints;
    cellHeight_ = points * 254 / 72;
    cellWidth_ = cellHeight_;
    pageLines_ = RoundEven(paperLength / cellHeight_);
    lines_ = QStringList();
    for (int i = 0; i < kBufferLines; ++i)
        lines_.append(QString());
    TQRExportFilter::BeginExport(paperWidth, paperLength, reportFont);
}

void TQRAsciiExportFilter::FinishPage() {
    const int last = std::min(pageLines_, int(lines_.size()));
    for (int i = 0; i < last; ++i) {
        if (!lines_.at(i).isEmpty())
            output_.Write(lines_.at(i) + QStringLiteral("\r\n"));
    }
}

void TQRAsciiExportFilter::EndExport() {
    // Inactive before closing, so a failed close still ends the run.
    TQRExportFilter::EndExport();
    output_.Close();
}

void TQRAsciiExportFilter::BeginPage() {
    for (QString &line : lines_)
        line.clear();
}

void TQRAsciiExportFilter::PlaceText(double x, double y, const TQRExportFont &, const QColor &,
                                     TAlignment alignment, const QString &text) {
    if (lines_.isEmpty() || !(cellWidth_ > 0) || !std::isfinite(x) || !std::isfinite(y))
        return;
    double c = x / cellWidth_ * kCharactersPerCell;
    if (alignment == taRightJustify)
        c -= text.length();
    const int r = RoundEven(y / cellHeight_);
    if (r < 0 || r >= lines_.size())
        return;
    const int p = RoundEven(c);
    if (p > kMaxStartCharacter)
        return;

    QString line = lines_.at(r);
    if (c > line.length())
        line = line.leftJustified(p, QLatin1Char(' '));
    // Characters are counted from 1; text starting before the first one is
    // put in front of the line without replacing anything.
    if (p >= 1 && p <= line.length())
        line.remove(p - 1, text.length());
    line.insert(p >= 1 ? p - 1 : 0, text);
    lines_[r] = line;
}
