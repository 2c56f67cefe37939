#pragma once

#include "data/DataTypes.h"

#include <QString>
#include <memory>
#include <vector>

class ExportFile;
class ExportPieces;
class TField;
class TQueryCursor;

// Writes every row of the contact export query to a file: comma-separated
// lines, or an HTML table when the file name ends in ".html" (ExportPieces
// has the texts and the quoting). The query is the caller's, set up with its
// statement and connection; the export opens it (closing it first when it
// is open, so that every row is read from the first) and closes it again
// when done or failed. No other cursor is touched.
//
// The file: created (replacing any file of that name), then the head, the
// header line of the exported fields' DisplayTitles, one line per row with
// each exported field's TextValue (null as the empty text), and the tail.
//
// Exported fields are those whose type passes IsExported; the header and the
// rows use the same fields, so they always line up.
//
// Failures: a file that cannot be created or written raises EInOutError;
// any other failure (the query failing, for one) propagates as it is. What
// was flushed before the failure stays in the file.
class ContactExport {
public:
    // When written text goes to the file: after every piece (head, row
    // start, cell, row end, tail); once per line, so that a line is never
    // half on disk; or in blocks of whole lines of about 64 KB, which saves
    // the system a write per line (the default).
    enum class TFlush { EachPiece, EachRow, Blocks };

    explicit ContactExport(TQueryCursor &query, TFlush flush = TFlush::Blocks);
    ~ContactExport();
    ContactExport(const ContactExport &) = delete;
    ContactExport &operator=(const ContactExport &) = delete;

    void SaveTo(const QString &fileName);

    // Integer, boolean, floating point, date, date-time and wide text; no
    // other type (the counter key, memos, 8-bit text, small integers, ...).
    static bool IsExported(TFieldType type);

    // Data lines written by the last SaveTo, and the bytes of its file.
    qint64 RowsWritten() const { return rows_; }
    qint64 BytesWritten() const { return bytes_; }

private:
    class DateTexts;

    void Write(ExportFile &file, const ExportPieces &pieces);
    void Put(ExportFile &file, const QString &piece, bool lineDone);

    TQueryCursor &query_;
    TFlush flush_;
    std::vector<TField *> fields_;
    // One per exported field; set for date and date-time fields.
    std::vector<std::unique_ptr<DateTexts>> dates_;
    QString cell_;
    qint64 rows_ = 0;
    qsizetype wholeLines_ = 0; // characters gathered, up to the last line end
    qint64 bytes_ = 0;
};
