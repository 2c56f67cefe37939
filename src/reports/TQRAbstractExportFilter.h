#pragma once

#include "reports/TQRExportFilter.h"
#include "reports/TQRExportOutput.h"
#include "reports/TTextEntry.h"

#include <QHash>
#include <QIODevice>
#include <QList>

// The base of the grid formats: each page's text items are gathered, laid
// out as a grid (one column per distinct horizontal anchor, left to right,
// one line per distinct line top, top to bottom) and written by WritePage.
//
// BeginExport opens the output (create or truncate) and keeps a copy of the
// report font; BeginPage drops items still listed; PlaceText lists an item;
// FinishPage lays out, writes and drops the page's items; EndExport drops
// the items and closes the output. Text goes out in the system's 8-bit
// encoding.
class TQRAbstractExportFilter : public TQRExportFilter {
public:
    explicit TQRAbstractExportFilter(QString fileName);
    ~TQRAbstractExportFilter() override;

    void BeginExport(double paperWidth, double paperLength,
                     const TQRExportFont &reportFont) override;
    void FinishPage() override;
    void EndExport() override;
    void BeginPage() override;
    void PlaceText(double x, double y, const TQRExportFont &font, const QColor &background,
                   TAlignment alignment, const QString &text) override;

    // Creates or truncates the file; EError "Cannot create file <name>"
    // when it cannot.
    virtual void OpenOutput(const QString &fileName);
    // Writes what is pending and closes; EError when writing fails.
    virtual void CloseOutput();
    // Replaces the items' x and y by their column and line ranks and sets
    // the column and line counts.
    virtual void LayoutPage();
    virtual void WritePage() {}

    // The first item, in placement order, at this line and column (ranks
    // from 1); null when there is none.
    const TTextEntry *CellEntry(int line, int column) const;
    // Its text, empty when there is none.
    QString CellText(int line, int column) const;

    const QList<TTextEntry> &Entries() const { return entries_; }
    const TQRExportFont &ReportFont() const { return reportFont_; }
    int ColumnCount() const { return columnCount_; }
    int LineCount() const { return lineCount_; }

protected:
    // Appends text to the output.
    void Write(const QString &text) { output_.Write(text); }
    // Output on a device the subclass supplies (an in-memory buffer),
    // instead of the file; it stays the subclass's.
    void SetOutputDevice(QIODevice *device) { output_.SetDevice(device, FileName()); }

private:
    // Drops the page's items and the cell index built from them.
    void ClearEntries();

    TQRExportOutput output_;
    QList<TTextEntry> entries_;
    // Line and column ranks -> index of the first item there; built by
    // LayoutPage.
    QHash<quint64, int> cells_;
    TQRExportFont reportFont_;
    int columnCount_ = 0;
    int lineCount_ = 0;
    bool pageProcessed_ = false;
};
