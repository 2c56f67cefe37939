#include "export/ContactExport.h"

#include "data/DateTimeValue.h"
#include "data/QueryCursor.h"
#include "export/ExportFile.h"
#include "export/ExportPieces.h"

#include <cmath>
#include <unordered_map>

// Formatting a date in the locale's formats costs more than reading the row,
// while a contact list holds few distinct days and times of day. So the
// texts of recent days and times of day are kept and put together as the
// field's TextValue does: the short date, and for a date-time a blank and
// the long time unless the time is midnight. Each store starts over when
// full, so memory stays small however many rows are written. Values that are
// no number are left to the field.
class ContactExport::DateTexts {
public:
    explicit DateTexts(TFieldType type) : type_(type) {}

    QString TextOf(const TField &field, const TValue &value) {
        if (value.typeId() != QMetaType::Double || !std::isfinite(value.toDouble()))
            return field.TextOf(value);
        const double days = value.toDouble();
        const QDate date = DateTimeValue::ToDate(days);
        const QString &dateText =
            Kept(days_, date.toJulianDay(), [days] { return DateTimeValue::ShortDateText(days); });
        if (type_ == ftDate)
            return dateText;
        const QTime time = DateTimeValue::ToTime(days);
        if (time.hour() == 0 && time.minute() == 0 && time.second() == 0)
            return dateText;
        return dateText + QLatin1Char(' ') + Kept(times_, time.msecsSinceStartOfDay(), [days] {
                   return DateTimeValue::LongTimeText(days);
               });
    }

private:
    using Store = std::unordered_map<qint64, QString>;

    template <class Make> static const QString &Kept(Store &store, qint64 key, Make make) {
        auto found = store.find(key);
        if (found != store.end())
            return found->second;
        if (store.size() >= kLimit)
            store.clear();
        return store.emplace(key, make()).first->second;
    }

    static constexpr size_t kLimit = 4096;
    TFieldType type_;
    Store days_;
    Store times_;
};

namespace {

// Closes the query however the export ends: left open after a failure, the
// next export's Open would do nothing and it would start at a later row.
class QueryCloser {
public:
    explicit QueryCloser(TQueryCursor &query) : query_(query) {}
    ~QueryCloser() {
        try {
            query_.Close();
        } catch (...) {
            // The failure that ended the export is the one to report.
        }
    }
    QueryCloser(const QueryCloser &) = delete;
    QueryCloser &operator=(const QueryCloser &) = delete;

private:
    TQueryCursor &query_;
};

} // namespace

ContactExport::ContactExport(TQueryCursor &query, TFlush flush) : query_(query), flush_(flush) {}

ContactExport::~ContactExport() = default;

bool ContactExport::IsExported(TFieldType type) {
    switch (type) {
    case ftInteger:
    case ftBoolean:
    case ftFloat:
    case ftDate:
    case ftDateTime:
    case ftWideString:
        return true;
    default:
        return false;
    }
}

void ContactExport::SaveTo(const QString &fileName) {
    rows_ = 0;
    bytes_ = 0;
    wholeLines_ = 0;
    const ExportPieces pieces(ExportPieces::ModeOf(fileName));
    ExportFile file;
    file.Create(fileName);
    try {
        Write(file, pieces);
    } catch (...) {
        // The whole lines gathered before the failure still go to the file,
        // as if each had been flushed when it was done.
        try {
            file.FlushFirst(wholeLines_);
        } catch (...) {
            // The failure that ended the export is the one to report.
        }
        bytes_ = file.BytesWritten();
        throw;
    }
    bytes_ = file.BytesWritten();
}

void ContactExport::Write(ExportFile &file, const ExportPieces &pieces) {
    QueryCloser closer(query_);
    query_.Close();
    // The rows are gone through once: the query need not keep them.
    query_.SetReadOnce(true);
    query_.Open();
    fields_.clear();
    dates_.clear();
    for (int i = 0; i < query_.FieldCount(); ++i) {
        TField *field = query_.Fields(i);
        if (!IsExported(field->DataType()))
            continue;
        fields_.push_back(field);
        const bool date = field->DataType() == ftDateTime || field->DataType() == ftDate;
        dates_.push_back(date ? std::make_unique<DateTexts>(field->DataType()) : nullptr);
    }

    Put(file, pieces.Head(), false);
    Put(file, pieces.RowStart(), false);
    for (TField *field : fields_) {
        cell_.resize(0);
        pieces.AppendCell(field->DisplayTitle(), cell_);
        Put(file, cell_, false);
    }
    Put(file, pieces.RowEnd(), true);

    const QString rowStart = pieces.RowStart();
    const QString rowEnd = pieces.RowEnd();
    while (!query_.Eof()) {
        Put(file, rowStart, false);
        for (size_t i = 0; i < fields_.size(); ++i) {
            // The field's TextValue; a null value reads as the empty text.
            const TField &field = *fields_[i];
            const TValue value = field.Value();
            const QString text = dates_[i] ? dates_[i]->TextOf(field, value) : field.TextOf(value);
            if (flush_ == TFlush::EachPiece) {
                cell_.resize(0);
                pieces.AppendCell(text, cell_);
                Put(file, cell_, false);
            } else {
                // Nothing goes to the file before the line is done: the
                // cell is put straight where the line is gathered.
                pieces.AppendCell(text, file.Gathered());
            }
        }
        Put(file, rowEnd, true);
        ++rows_;
        query_.Next();
    }

    Put(file, pieces.Tail(), true);
    query_.Close();
    file.Close();
}

void ContactExport::Put(ExportFile &file, const QString &piece, bool lineDone) {
    constexpr qsizetype kBlockCharacters = 64 * 1024;
    file.Write(piece);
    if (flush_ == TFlush::EachPiece ||
        (lineDone && (flush_ == TFlush::EachRow || file.Pending() >= kBlockCharacters)))
        file.Flush();
    if (lineDone)
        wholeLines_ = file.Pending();
}
