#pragma once

#include "reports/TQRAbstractExportFilter.h"

#include <QBuffer>
#include <QByteArray>

// An HTML table per page, cells escaped; a cell whose font colour or size
// differs from the report font's is wrapped in a FONT tag. Page breaks are
// suppressed, so a report comes out as one table (after the empty one of
// the page end before the first page). With an empty file name the output
// goes to a memory buffer (Buffer()).
class TQRHTMLDocumentFilter : public TQRAbstractExportFilter {
public:
    explicit TQRHTMLDocumentFilter(QString fileName);
    ~TQRHTMLDocumentFilter() override;
    static std::unique_ptr<TQRExportFilter> Create(const QString &fileName);

    QString DescriptionText() const override;
    QString FileExtension() const override;
    QString FormatName() const override;
    QString MakerText() const override;
    bool SuppressesPageBreaks() const override { return true; }
    void OpenOutput(const QString &fileName) override;
    void WritePage() override;

    // What was written with an empty file name.
    QByteArray Buffer() const { return buffer_.data(); }

    // The relative size class of a point size: 0 up to 8, 1 up to 10, 2 up
    // to 12, 3 up to 14, 4 up to 18, 5 up to 24, 7 above.
    static int SizeClass(double points);
    // "RRGGBB" of a colour, upper case.
    static QString ColorDigits(const QColor &color);

private:
    QBuffer buffer_;
};
