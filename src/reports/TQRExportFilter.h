#pragma once

#include "reports/TAlignment.h"
#include "reports/TQRExportFont.h"

#include <QColor>
#include <QString>
#include <memory>

class TQRExportFilter;

// An export format as the format library keeps it: makes an instance that
// writes to the given file.
using TQRExportFilterClass = std::unique_ptr<TQRExportFilter> (*)(const QString &fileName);

// An export format: receives every line of text a report run would print,
// page by page, with its position, and writes a file from them. One
// instance serves one export run.
//
// Calls of a run, in order: BeginExport once (only while not Active); at
// the start of every page FinishPage then BeginPage (the very first page
// included, with nothing placed yet); PlaceText for every line printed on
// the page; after the last page FinishPage (unless the run was cancelled);
// then EndExport. Positions are tenths of a millimetre from the page's
// top-left corner: x is the line's anchor (left edge, right edge or centre,
// by the alignment), y its top.
//
// Failures to create or write the output raise EError (the platform's file
// error); what was written before stays on disk.
class TQRExportFilter {
public:
    explicit TQRExportFilter(QString fileName);
    virtual ~TQRExportFilter();
    TQRExportFilter(const TQRExportFilter &) = delete;
    TQRExportFilter &operator=(const TQRExportFilter &) = delete;

    const QString &FileName() const { return fileName_; }
    bool Active() const { return active_; }

    virtual QString DescriptionText() const = 0;
    // Without the dot; empty for the base.
    virtual QString FileExtension() const { return QString(); }
    virtual QString FormatName() const = 0;
    // Who made the format; nothing in the program reads it.
    virtual QString MakerText() const { return QString(); }
    // True when the report must never break the page for lack of room.
    virtual bool SuppressesPageBreaks() const { return false; }
    // Paper width and length in tenths of a millimetre; the report's font.
    virtual void BeginExport(double paperWidth, double paperLength,
                             const TQRExportFont &reportFont);
    virtual void FinishPage() {}
    virtual void EndExport();
    virtual void BeginPage() {}
    // The background colour is passed on but no format keeps it.
    virtual void PlaceText(double x, double y, const TQRExportFont &font, const QColor &background,
                           TAlignment alignment, const QString &text) = 0;

protected:
    void SetActive(bool value) { active_ = value; }

private:
    QString fileName_;
    bool active_ = false;
};
