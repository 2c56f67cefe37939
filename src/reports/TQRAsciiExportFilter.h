#pragma once

#include "reports/TQRExportFilter.h"
#include "reports/TQRExportOutput.h"

#include <QStringList>

// Plain text: each page is laid out on a buffer of 201 text lines (0 to
// 200), one character being 1/1.7 of the report font's size wide and one
// line the font's size high. Later text overwrites earlier text under it;
// text on a line outside the buffer is dropped. At the page's end its
// non-empty lines are written, each ended by CR LF.
class TQRAsciiExportFilter : public TQRExportFilter {
public:
    static constexpr int kBufferLines = 201;

    using TQRExportFilter::TQRExportFilter;
    ~TQRAsciiExportFilter() override;
    static std::unique_ptr<TQRExportFilter> Create(const QString &fileName);

    QString DescriptionText() const override;
    QString FileExtension() const override;
    QString FormatName() const override;
    QString MakerText() const override;
    void BeginExport(double paperWidth, double paperLength,
                     const TQRExportFont &reportFont) override;
    void FinishPage() override;
    void EndExport() override;
    void BeginPage() override;
    void PlaceText(double x, double y, const TQRExportFont &font, const QColor &background,
                   TAlignment alignment, const QString &text) override;

    // Tenths of a millimetre; set by BeginExport.
    double CellWidth() const { return cellWidth_; }
    double CellHeight() const { return cellHeight_; }
    // The lines of a page: round(paper length / cell height).
    int PageLines() const { return pageLines_; }
    const QStringList &Lines() const { return lines_; }

private:
    TQRExportOutput output_;
    QStringList lines_;
    double cellWidth_ = 0;
    double cellHeight_ = 0;
    int pageLines_ = 0;
};
