#pragma once

#include <QString>
#include <QStringView>

// The two kinds of export file: comma-separated lines, or an HTML table.
enum class TExportMode { Text, Html };

// The texts an export file is made of, for one mode. A file is the head,
// then per line (the header line first) a row start, one cell per exported
// column and a row end, then the tail. CR LF ends every line.
//
// Text mode: head, row start and tail are empty; a cell is its text followed
// by a comma, so every line ends in a comma before its CR LF. A cell text
// holding a comma, a double quote, a CR or an LF is enclosed in double
// quotes with each inner double quote doubled, so that it reads back as one
// value; any other text is written as it is.
//
// HTML mode: the head opens the page and a table with a border and the full
// width; a row is "<tr>" CR LF, one "<td>text</td>" CR LF per cell and
// "</tr>" CR LF; the tail closes the table and the page, with no line end
// after it. "&", "<", ">" and the double quote in a cell text are written as
// the entities &amp; &lt; &gt; &quot;.
class ExportPieces {
public:
    explicit ExportPieces(TExportMode mode) : mode_(mode) {}

    // The extension of a file name: from the last "." of the name (the part
    // after the last "/" or "\") to its end; empty when there is none.
    static QString ExtensionOf(const QString &fileName);
    // HTML when the extension is ".html" exactly, case included; any other
    // extension (".HTML", ".htm", none) gives text.
    static TExportMode ModeOf(const QString &fileName);

    TExportMode Mode() const { return mode_; }
    QString Head() const;
    QString RowStart() const;
    // Appends the cell of `text` to `out`.
    void AppendCell(QStringView text, QString &out) const;
    QString Cell(QStringView text) const;
    QString RowEnd() const;
    QString Tail() const;

private:
    TExportMode mode_;
};
