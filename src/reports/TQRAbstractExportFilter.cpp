#include "reports/TQRAbstractExportFilter.h"

#include "reports/TQRPositions.h"

namespace {

quint64 CellKey(int line, int column) {
    return (quint64(quint32(line)) << 32) | quint32(column);
}

} // namespace

TQRAbstractExportFilter::TQRAbstractExportFilter(QString fileName)
    : TQRExportFilter(std::move(fileName)) {}

TQRAbstractExportFilter::~TQRAbstractExportFilter() = default;

void TQRAbstractExportFilter::BeginExport(double paperWidth, double paperLength,
                                          const TQRExportFont &reportFont) {
    // Opened first: a run whose file cannot be created never becomes active.
    OpenOutput(FileName());
    ClearEntries();
    reportFont_ = reportFont;
    columnCount_ = 0;
    lineCount_ = 0;
    pageProcessed_ = false;
    TQRExportFilter::BeginExport(paperWidth, paperLength, reportFont);
}

void TQRAbstractExportFilter::FinishPage() {
    LayoutPage();
    WritePage();
    ClearEntries();
    pageProcessed_ = true;
}

void TQRAbstractExportFilter::EndExport() {
    ClearEntries();
    reportFont_ = TQRExportFont();
    // Inactive before closing, so a failed close still ends the run.
    TQRExportFilter::EndExport();
    CloseOutput();
}

void TQRAbstractExportFilter::BeginPage() {
    ClearEntries();
    pageProcessed_ = false;
}

void TQRAbstractExportFilter::PlaceText(double x, double y, const TQRExportFont &font,
                                        const QColor &, TAlignment alignment, const QString &text) {
    TTextEntry entry;
    entry.text = text;
    entry.x = x;
    entry.y = y;
    entry.alignment = alignment;
    entry.font = font;
    entries_.append(entry);
    cells_.clear();
}

void TQRAbstractExportFilter::OpenOutput(const QString &fileName) {
    output_.Open(fileName);
}

void TQRAbstractExportFilter::CloseOutput() {
    output_.Close();
}

void TQRAbstractExportFilter::LayoutPage() {
    TQRPositions columns;
    TQRPositions lines;
    for (const TTextEntry &entry : entries_) {
        columns.AddPosition(entry.x);
        lines.AddPosition(entry.y);
    }
    columns.AssignRanks();
    lines.AssignRanks();
    cells_.clear();
    for (int i = 0; i < entries_.size(); ++i) {
        TTextEntry &entry = entries_[i];
        entry.x = columns.RankOf(entry.x);
        entry.y = lines.RankOf(entry.y);
        // The first item at a cell is the one written there.
        if (entry.x > 0 && entry.y > 0) {
            const quint64 key = CellKey(int(entry.y), int(entry.x));
            if (!cells_.contains(key))
                cells_.insert(key, i);
        }
    }
    columnCount_ = columns.HighestRank();
    lineCount_ = lines.HighestRank();
}

const TTextEntry *TQRAbstractExportFilter::CellEntry(int line, int column) const {
    if (line < 1 || column < 1)
        return nullptr;
    const auto found = cells_.constFind(CellKey(line, column));
    return found == cells_.cend() ? nullptr : &entries_.at(found.value());
}

QString TQRAbstractExportFilter::CellText(int line, int column) const {
    const TTextEntry *entry = CellEntry(line, column);
    return entry ? entry->text : QString();
}

void TQRAbstractExportFilter::ClearEntries() {
    entries_.clear();
    cells_.clear();
}
