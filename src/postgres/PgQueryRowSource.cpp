#include "postgres/PgQueryRowSource.h"

#include "data/DatabaseErrors.h"
#include "postgres/PgColumnType.h"
#include "postgres/PgConnection.h"
#include "postgres/PgDialect.h"
#include "postgres/PgQueryClone.h"
#include "postgres/PgQuerySessions.h"
#include "postgres/PgQueryText.h"
#include "postgres/PgResult.h"
#include "postgres/PgRowWriter.h"

#include <QMap>
#include <climits>

namespace {

// The one cursor of the reader session.
const QString kCursor = QStringLiteral("corvana_rows");

} // namespace

PgQueryRowSource::PgQueryRowSource(std::shared_ptr<PgConnection> writer,
                                   std::shared_ptr<PgConnection> reader,
                                   std::shared_ptr<const PgNames> names,
                                   const TRowSourceRequest &request)
    : PgQueryRowSource(std::move(writer), std::move(reader), std::move(names), request,
                       PgQueryRows::Limits()) {}

PgQueryRowSource::PgQueryRowSource(std::shared_ptr<PgConnection> writer,
                                   std::shared_ptr<PgConnection> reader,
                                   std::shared_ptr<const PgNames> names,
                                   const TRowSourceRequest &request, PgQueryRows::Limits limits)
    : writer_(std::move(writer)) {
    limits.store.readOnce = request.readOnce;
    const bool writable = request.lockType != ltReadOnly;
    const PgNames noNames;
    for (const QString &statement : PgQueryText::Statements(request.command)) {
        const PgStatementText text = PgDialect::Translate(statement, names ? *names : noNames);
        // Positional parameters have no values here: they read as nulls.
        QVector<TValue> params(text.positional);
        params += text.literals;
        if (PgQueryText::IsCursorQuery(text.sql)) {
            OpenCursor(std::move(reader), text.sql, params, writable, limits);
            break;
        }
        // Each statement before the query commits on its own, as a script
        // would run it. What it leaves behind (a temporary table, a
        // setting) must not reach the next query on the session.
        PgQuerySessions::Spoil(reader);
        const PgResult result = reader->Exec(text.sql, params);
        if (result.Columns() > 0) {
            Describe(result, *reader, text.sql, writable);
            rows_ = std::make_shared<PgQueryRows>(result, limits);
            break;
        }
    }
    if (!rows_)
        throw ENoResultSet();
    if (rows_->Reach(0))
        StandOn(0);
    else
        StandEmpty();
}

PgQueryRowSource::~PgQueryRowSource() = default;

void PgQueryRowSource::OpenCursor(std::shared_ptr<PgConnection> reader, const QString &sql,
                                  const QVector<TValue> &params, bool writable,
                                  PgQueryRows::Limits limits) {
    // A statement before the query may have left a transaction open; it is
    // ended as the end of a script would end it.
    if (reader->InTransaction())
        reader->Exec(QStringLiteral("COMMIT"));
    // The cursor is planned as the server plans any query, for all of its
    // rows: planned for its first tenth (the server's default for cursors)
    // a search's ORed ILIKEs, costed far too cheaply, make a filtered scan of
    // the whole table look faster than the trigram indexes.
    QString begin = QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY; "
                                   "SET LOCAL cursor_tuple_fraction = 1");
    // The file engine reads a range (the call-back day) through its index,
    // so a list without ORDER BY comes in the index's order (by time, then
    // by ContactID), and a whole table in key order. The server would
    // rather collect a range in a bitmap or scan the table, handing rows
    // over in storage order; told to use neither where an index serves, it
    // walks the b-tree, in the same order as the file. A search (ILIKE)
    // needs the trigram indexes, which only work through bitmaps.
    if (!sql.contains(QLatin1String("ILIKE"), Qt::CaseInsensitive))
        begin += QStringLiteral("; SET LOCAL enable_bitmapscan = off; "
                                "SET LOCAL enable_seqscan = off");
    try {
        reader->ExecScript(begin);
    } catch (const EProviderError &) {
        // A kept session may have been lost while it waited (a restart of
        // the server); nothing has been done on it yet, so the session
        // connects again and begins once more.
        if (reader->InTransaction())
            throw;
        reader->ExecScript(begin);
    }
    try {
        reader->Exec(QStringLiteral("DECLARE %1 NO SCROLL CURSOR FOR ").arg(kCursor) + sql, params);
        const int firstBatch = std::max(limits.firstBatch, 1);
        const PgResult first =
            reader->Exec(QStringLiteral("FETCH FORWARD %1 FROM %2").arg(firstBatch).arg(kCursor));
        // The catalogue is read in the query's own snapshot.
        Describe(first, *reader, sql, writable);
        rows_ =
            std::make_shared<PgQueryRows>(std::move(reader), kCursor, first, firstBatch, limits);
    } catch (...) {
        if (reader && reader->InTransaction()) {
            try {
                reader->Exec(QStringLiteral("ROLLBACK"));
            } catch (const EProviderError &) {
            }
        }
        throw;
    }
}

void PgQueryRowSource::Describe(const PgResult &result, PgConnection &reader, const QString &sql,
                                bool writable) {
    const QVector<PgColumnType::Described> described =
        PgColumnType::Describe(result, catalogue_, reader);
    QVector<unsigned> origins;
    for (const PgColumnType::Described &column : described) {
        columns_ << column.info;
        originColumns_ << column.originColumnName;
        origins << column.originTable;
    }
    columnTable_.fill(-1, columns_.size());
    if (writable)
        FindWritableTables(reader, sql, origins);
}

void PgQueryRowSource::FindWritableTables(PgConnection &reader, const QString &sql,
                                          const QVector<unsigned> &origins) {
    QStringList oids;
    for (unsigned oid : origins) {
        if (oid != 0 && !oids.contains(QString::number(oid)))
            oids << QString::number(oid);
    }
    if (oids.isEmpty())
        return;
    // The stored tables (not views) among them with a primary key of one
    // column, and that column's name.
    const PgResult keys =
        reader.Exec(QStringLiteral("select i.indrelid, a.attname from pg_catalog.pg_index i "
                                   "join pg_catalog.pg_class c on c.oid = i.indrelid "
                                   "join pg_catalog.pg_attribute a on a.attrelid = i.indrelid "
                                   "and a.attnum = i.indkey[0] "
                                   "where i.indrelid = any($1::oid[]) and i.indisprimary "
                                   "and i.indnkeyatts = 1 and c.relkind in ('r', 'p')"),
                    {QStringLiteral("{%1}").arg(oids.join(QLatin1Char(',')))});
    for (int k = 0; k < keys.Rows(); ++k) {
        const auto oid = unsigned(keys.Value(k, 0).toLongLong());
        const QString keyName = keys.Value(k, 1).toString();
        const PgTableColumns::Table *table = catalogue_.Find(oid);
        if (!table)
            continue;
        QVector<int> columns;
        QVector<int> keyColumns;
        for (int i = 0; i < columns_.size(); ++i) {
            if (origins[i] != oid)
                continue;
            columns << i;
            if (originColumns_[i] == keyName)
                keyColumns << i;
        }
        // The key must name the row of every column taken from the table:
        // a table read twice (a self-join, a subquery on it) could pair a
        // key with another row's values.
        if (keyColumns.size() != 1 || PgQueryText::TableMentions(sql, table->name) > 1)
            continue;
        const int key = keyColumns.first();
        const int index = int(tables_.size());
        tables_ << WritableTable{*table, keyName, key, columns};
        for (int column : columns) {
            columnTable_[column] = index;
            TColumnInfo &info = columns_[column];
            bool generated = false;
            for (const PgTableColumns::Column &stored : table->columns) {
                if (stored.name == originColumns_[column])
                    generated = stored.generated;
            }
            // The key names the row, so it is never written through here.
            info.updatable = column != key && !info.autoIncrement && !generated;
            updatable_ = updatable_ || info.updatable;
        }
    }
}

qint64 PgQueryRowSource::RowsRead() const {
    return rows_->RowsRead();
}

bool PgQueryRowSource::Reading() const {
    return rows_->Reading();
}

const TColumnInfo &PgQueryRowSource::Column(int index) const {
    CheckColumn(index);
    return columns_[index];
}

void PgQueryRowSource::StandOn(int row) {
    row_ = row;
    bof_ = eof_ = false;
}

void PgQueryRowSource::StandEmpty() {
    row_ = -1;
    bof_ = eof_ = true;
}

int PgQueryRowSource::NextLive(int from) {
    for (int row = from; rows_->Reach(row); ++row) {
        if (!rows_->Store().Deleted(row))
            return row;
    }
    return -1;
}

int PgQueryRowSource::PreviousLive(int from) const {
    for (int row = from; row >= 0; --row) {
        if (!rows_->Store().Deleted(row))
            return row;
    }
    return -1;
}

void PgQueryRowSource::MoveFirst() {
    CancelUpdate();
    const int row = NextLive(0);
    if (row < 0)
        StandEmpty();
    else
        StandOn(row);
}

void PgQueryRowSource::MoveLast() {
    CancelUpdate();
    rows_->ReadAll();
    const int row = PreviousLive(rows_->Count() - 1);
    if (row < 0)
        StandEmpty();
    else
        StandOn(row);
}

void PgQueryRowSource::MoveNext() {
    if (bof_) {
        MoveFirst();
        return;
    }
    if (eof_)
        return;
    CancelUpdate();
    const int row = NextLive(row_ + 1);
    if (row < 0) {
        row_ = rows_->Count();
        eof_ = true;
    } else {
        StandOn(row);
    }
}

void PgQueryRowSource::MovePrevious() {
    if (eof_) {
        MoveLast();
        return;
    }
    if (bof_)
        return;
    CancelUpdate();
    const int row = PreviousLive(row_ - 1);
    if (row < 0) {
        row_ = -1;
        bof_ = true;
    } else {
        StandOn(row);
    }
}

TBookmark PgQueryRowSource::Bookmark() const {
    if (bof_ || eof_)
        throw EProviderError(QStringLiteral("There is no current row."));
    return row_;
}

void PgQueryRowSource::GotoBookmark(TBookmark bookmark) {
    CancelUpdate();
    if (bookmark < 0 || bookmark > INT_MAX || !rows_->Reach(int(bookmark)))
        throw EProviderError(QStringLiteral("The bookmark does not name a row of the result."));
    StandOn(int(bookmark));
}

bool PgQueryRowSource::RowDeleted() const {
    return !bof_ && !eof_ && rows_->Store().Deleted(row_);
}

TValue PgQueryRowSource::Value(int column) {
    CheckColumn(column);
    for (const auto &entry : std::as_const(pending_)) {
        if (entry.first == column)
            return entry.second;
    }
    if (adding_)
        return TValue();
    RequireRow();
    const QVector<TValue> &values = rows_->Store().Values(row_);
    return column < values.size() ? values[column] : TValue();
}

void PgQueryRowSource::AddNew() {
    RequireUpdatable();
    CancelUpdate();
    adding_ = true;
}

void PgQueryRowSource::SetValue(int column, const TValue &value) {
    RequireUpdatable();
    CheckColumn(column);
    if (!columns_[column].updatable)
        throw EProviderError(
            QStringLiteral("The column '%1' cannot be written.").arg(columns_[column].name));
    if (!adding_)
        RequireRow();
    Put(pending_, column, value);
}

void PgQueryRowSource::SetExpected(int column, const TValue &value) {
    CheckColumn(column);
    Put(expected_, column, value);
}

void PgQueryRowSource::Update() {
    RequireUpdatable();
    if (adding_)
        InsertRow();
    else
        UpdateRow();
    CancelUpdate();
}

void PgQueryRowSource::CancelUpdate() {
    adding_ = false;
    pending_.clear();
    expected_.clear();
}

int PgQueryRowSource::TableOf(const ColumnValues &values) const {
    int table = -1;
    for (const auto &entry : values) {
        const int of = columnTable_[entry.first];
        if (table >= 0 && of != table)
            throw EProviderError(
                QStringLiteral("The values belong to several tables (%1, %2); a row can be "
                               "added to one table only.")
                    .arg(tables_[table].table.name, tables_[of].table.name));
        table = of;
    }
    return table;
}

QStringList PgQueryRowSource::StoredNames(const WritableTable &table) const {
    QStringList names;
    for (int column : table.columns)
        names << originColumns_[column];
    return names;
}

void PgQueryRowSource::TakeStored(int row, const WritableTable &table,
                                  const QVector<TValue> &stored) {
    for (int i = 0; i < table.columns.size() && i < stored.size(); ++i)
        rows_->Store().SetValue(row, table.columns[i], stored[i]);
}

TValue PgQueryRowSource::KeyOf(int row, const WritableTable &table) {
    const QVector<TValue> &values = rows_->Store().Values(row);
    return table.keyColumn < values.size() ? values[table.keyColumn] : TValue();
}

void PgQueryRowSource::InsertRow() {
    int table = TableOf(pending_);
    if (table < 0) {
        if (tables_.size() != 1)
            throw EProviderError(QStringLiteral("The new row has no values to store."));
        table = 0;
    }
    const WritableTable &target = tables_[table];
    // The new row goes after all rows of the result.
    rows_->ReadAll();
    const QVector<TValue> stored =
        PgRowWriter(*writer_, target.table).Insert(Named(pending_, table), StoredNames(target));
    QVector<TValue> values(columns_.size());
    for (const auto &entry : std::as_const(pending_))
        values[entry.first] = entry.second;
    const int row = rows_->Store().Append(values);
    TakeStored(row, target, stored);
    StandOn(row);
}

void PgQueryRowSource::UpdateRow() {
    RequireRow();
    if (pending_.isEmpty())
        return;
    QMap<int, TValue> keys;
    for (const auto &entry : std::as_const(pending_)) {
        const int table = columnTable_[entry.first];
        const TValue key = KeyOf(row_, tables_[table]);
        if (ValueIsNull(key))
            throw EProviderError(QStringLiteral("The row has no key; it cannot be written."));
        keys.insert(table, key);
    }
    QMap<int, QVector<TValue>> stored;
    {
        PgRowWriter::Transaction transaction(*writer_);
        for (auto it = keys.cbegin(); it != keys.cend(); ++it) {
            const WritableTable &table = tables_[it.key()];
            stored.insert(it.key(),
                          PgRowWriter(*writer_, table.table)
                              .Update(table.keyName, it.value(), Named(pending_, it.key()),
                                      Named(expected_, it.key()), StoredNames(table)));
        }
        transaction.Commit();
    }
    for (const auto &entry : std::as_const(pending_))
        rows_->Store().SetValue(row_, entry.first, entry.second);
    for (auto it = stored.cbegin(); it != stored.cend(); ++it)
        TakeStored(row_, tables_[it.key()], it.value());
}

void PgQueryRowSource::DeleteRow() {
    RequireUpdatable();
    RequireRow();
    if (tables_.size() != 1)
        throw EProviderError(QStringLiteral("The row joins several tables; it cannot be deleted."));
    const WritableTable &table = tables_.first();
    PgRowWriter(*writer_, table.table)
        .Delete(table.keyName, KeyOf(row_, table), Named(expected_, 0));
    rows_->Store().MarkDeleted(row_);
    CancelUpdate();
}

void PgQueryRowSource::RefreshRow() {
    RequireRow();
    for (const WritableTable &table : std::as_const(tables_)) {
        const TValue key = KeyOf(row_, table);
        if (ValueIsNull(key))
            continue;
        QStringList names;
        for (const QString &name : StoredNames(table))
            names << PgRowWriter::Quote(name);
        const PgResult row = writer_->Exec(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = $1")
                                               .arg(names.join(QLatin1String(", ")),
                                                    PgRowWriter::Quote(table.table.name),
                                                    PgRowWriter::Quote(table.keyName)),
                                           {key});
        // A row that is gone keeps the values last read.
        if (row.Rows() != 1)
            continue;
        QVector<TValue> values;
        for (int i = 0; i < row.Columns(); ++i)
            values << row.Value(0, i);
        TakeStored(row_, table, values);
    }
}

std::unique_ptr<TRowSourceClone> PgQueryRowSource::Clone() {
    QStringList names;
    for (const auto &column : std::as_const(columns_))
        names << column.name;
    return std::make_unique<PgQueryClone>(rows_, names);
}

qint64 PgQueryRowSource::KnownRowCount() const {
    return rows_->Complete() ? rows_->Count() - rows_->Store().DeletedCount() : -1;
}

qint64 PgQueryRowSource::RowNumberOf(TBookmark bookmark) const {
    if (!rows_->Complete() || bookmark < 0 || bookmark >= rows_->Count())
        return -1;
    const int row = int(bookmark);
    const PgRowStore &store = rows_->Store();
    return store.Deleted(row) ? -1 : row - store.DeletedBefore(row) + 1;
}

std::optional<TBookmark> PgQueryRowSource::BookmarkOfRowNumber(qint64 number) const {
    if (!rows_->Complete() || number < 1 || number > rows_->Count())
        return std::nullopt;
    const int row = rows_->Store().LiveRowAt(int(number - 1));
    if (row < 0)
        return std::nullopt;
    return TBookmark(row);
}

QVector<QPair<QString, TValue>> PgQueryRowSource::Named(const ColumnValues &values,
                                                        int table) const {
    QVector<QPair<QString, TValue>> named;
    for (const auto &entry : values) {
        if (columnTable_[entry.first] == table)
            named << qMakePair(originColumns_[entry.first], entry.second);
    }
    return named;
}

void PgQueryRowSource::RequireUpdatable() const {
    if (!updatable_)
        throw EProviderError(
            QStringLiteral("The rows of this query cannot be changed: it is read-only, or its "
                           "rows cannot be traced back to stored rows by their keys."));
}

void PgQueryRowSource::RequireRow() const {
    if (bof_ || eof_)
        throw EProviderError(QStringLiteral("There is no current row."));
    if (rows_->Store().Deleted(row_))
        throw EProviderError(QStringLiteral("The row has been deleted."));
}

void PgQueryRowSource::CheckColumn(int column) const {
    if (column < 0 || column >= columns_.size())
        throw EProviderError(QStringLiteral("There is no column %1.").arg(column));
}

void PgQueryRowSource::Put(ColumnValues &values, int column, const TValue &value) {
    for (auto &entry : values) {
        if (entry.first == column) {
            entry.second = value;
            return;
        }
    }
    values << qMakePair(column, value);
}
