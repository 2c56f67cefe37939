#pragma once

#include "reports/TQRAbstractExportFilter.h"

#include <QChar>

// Comma-separated text: every line of a page's grid is one record with one
// field per column, each enclosed in double quotes (inner quotes doubled),
// fields separated by Separator() and records ended by CR LF. A page with
// no text writes nothing.
class TQRCommaSeparatedFilter : public TQRAbstractExportFilter {
public:
    using TQRAbstractExportFilter::TQRAbstractExportFilter;
    static std::unique_ptr<TQRExportFilter> Create(const QString &fileName);

    QString DescriptionText() const override;
    QString FileExtension() const override;
    QString FormatName() const override;
    QString MakerText() const override;
    void WritePage() override;

    // One separator for every comma-separated export of the program.
    static QChar Separator();
    static void SetSeparator(QChar separator);
};
