#include "sqlite/SqliteQueryRowSource.h"

#include "data/DatabaseErrors.h"
#include "sqlite/SqliteColumnType.h"
#include "sqlite/SqliteDialect.h"
#include "sqlite/SqliteHandle.h"
#include "sqlite/SqliteKeysetQuery.h"
#include "sqlite/SqliteQueryClone.h"
#include "sqlite/SqliteQueryRows.h"
#include "sqlite/SqliteRowWriter.h"
#include "sqlite/SqliteStatement.h"
#include "sqlite/SqliteTableInfo.h"
#include "sqlite/SqliteTransaction.h"

#include <QMap>
#include <QRegularExpression>
#include <QStringList>
#include <climits>

namespace {

// How many cursors the statement opens on the table itself (not on its
// indexes): more than one means the table is read twice, as in a self-join
// or a subquery on it, or through a view.
int TableOpenings(sqlite3 *db, const QString &sql, const QString &table) {
    SqliteStatement root(db, QStringLiteral("SELECT rootpage FROM main.sqlite_schema "
                                            "WHERE type = 'table' AND name = ? COLLATE NOCASE"));
    root.Bind(1, table);
    if (!root.Step())
        return 0;
    const qint64 page = root.Int64(0);
    SqliteStatement explain(db, QStringLiteral("EXPLAIN ") + sql);
    int count = 0;
    while (explain.Step()) {
        const QString opcode = explain.Column(1).toString();
        if ((opcode == QLatin1String("OpenRead") || opcode == QLatin1String("OpenWrite")) &&
            explain.Int64(3) == page && explain.Int64(4) == 0)
            ++count;
    }
    return count;
}

// How often the statement names the table other than as a qualifier
// ("Contacts.Name"). A table read only through a covering index opens no
// cursor on the table, so the text is counted as well.
int TableMentions(const QString &sql, const QString &table) {
    static const QRegularExpression ignored(QStringLiteral("'(?:[^']|'')*'|--[^\n]*|/\\*.*?\\*/"),
                                            QRegularExpression::DotMatchesEverythingOption);
    QString text = sql;
    text.replace(ignored, QStringLiteral(" "));
    const QString name = QRegularExpression::escape(table);
    const QString quoted =
        QRegularExpression::escape(QString(table).replace(QLatin1Char('"'), QLatin1String("\"\"")));
    const QRegularExpression mention(
        QStringLiteral("(?<![\\w.\"`\\]])(?:\"%1\"|`%2`|\\[%2\\]|\\b%2\\b)(?!\\s*\\.)")
            .arg(quoted, name),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    int count = 0;
    for (auto it = mention.globalMatch(text); it.hasNext(); it.next())
        ++count;
    return count;
}

} // namespace

SqliteQueryRowSource::SqliteQueryRowSource(std::shared_ptr<SqliteHandle> writer,
                                           std::shared_ptr<SqliteHandle> reader,
                                           const TRowSourceRequest &request)
    : writer_(std::move(writer)) {
    sqlite3 *db = reader->Db();
    const QByteArray sql = SqliteDialect::Translate(request.command).toUtf8();
    int offset = 0;
    std::unique_ptr<SqliteStatement> statement;
    while (auto next = SqliteStatement::PrepareNext(db, sql, &offset)) {
        if (next->ColumnCount() > 0) {
            statement = std::move(next);
            break;
        }
        next->Run();
    }
    if (!statement)
        throw ENoResultSet();

    const bool hasRow = statement->Step();
    QVector<QString> originTables;
    QVector<int> typeCodes;
    for (int i = 0; i < statement->ColumnCount(); ++i) {
        const auto described = SqliteColumnType::Describe(statement->Handle(), i, hasRow);
        columns_ << described.info;
        originTables << described.originTable;
        originColumns_ << described.originColumn;
        typeCodes << described.info.typeCode;
    }
    const QString text = statement->Sql();
    SqliteQueryRows::Limits limits;
    limits.readOnce = request.readOnce;
    rows_ = std::make_shared<SqliteQueryRows>(std::move(reader), std::move(statement), typeCodes,
                                              hasRow, limits);
    // A read-only list of one table's rows can be read to its end by the
    // rows' ids alone.
    // Worked out when the list is first read that far, on the rows' own
    // handle, which lives as long as they do.
    if (request.lockType == ltReadOnly && !request.readOnce) {
        rows_->SetKeysetSource([db, text, originTables, columns = originColumns_] {
            return SqliteKeysetQuery::For(db, text, originTables, columns);
        });
    }
    columnTable_.fill(-1, columns_.size());
    FindWritableTables(originTables, text, db, request.lockType != ltReadOnly);
    if (hasRow)
        StandOn(0);
    else
        StandEmpty();
}

SqliteQueryRowSource::~SqliteQueryRowSource() = default;

qint64 SqliteQueryRowSource::RowsRead() const {
    return rows_->RowsRead();
}

void SqliteQueryRowSource::FindWritableTables(const QVector<QString> &originTables,
                                              const QString &sql, sqlite3 *db, bool writable) {
    if (!writable)
        return;
    QStringList tables;
    for (const QString &table : originTables) {
        if (!table.isEmpty() && !tables.contains(table, Qt::CaseInsensitive))
            tables << table;
    }
    for (const QString &name : tables) {
        const SqliteTableInfo table = SqliteTableInfo::Load(writer_->Db(), name);
        QVector<int> columns;
        QVector<int> keyColumns;
        for (int i = 0; i < columns_.size(); ++i) {
            if (originTables[i].compare(name, Qt::CaseInsensitive) != 0)
                continue;
            columns << i;
            if (originColumns_[i].compare(table.PrimaryKey(), Qt::CaseInsensitive) == 0)
                keyColumns << i;
        }
        if (keyColumns.size() != 1 || TableOpenings(db, sql, table.Name()) > 1 ||
            TableMentions(sql, table.Name()) > 1)
            continue;
        const int key = keyColumns.first();
        const int index = int(tables_.size());
        tables_ << WritableTable{table.Name(), SqliteDialect::QuoteIdentifier(table.PrimaryKey()),
                                 key, table.RowidName(), columns};
        for (int column : columns) {
            columnTable_[column] = index;
            TColumnInfo &info = columns_[column];
            // The key names the row, so it is never written through here.
            info.updatable =
                column != key && !info.autoIncrement && !table.IsGenerated(originColumns_[column]);
            updatable_ = updatable_ || info.updatable;
        }
    }
}

const TColumnInfo &SqliteQueryRowSource::Column(int index) const {
    CheckColumn(index);
    return columns_[index];
}

void SqliteQueryRowSource::StandOn(int row) {
    row_ = row;
    bof_ = eof_ = false;
}

void SqliteQueryRowSource::StandEmpty() {
    row_ = -1;
    bof_ = eof_ = true;
}

int SqliteQueryRowSource::NextLive(int from) {
    for (int row = from; rows_->Reach(row); ++row) {
        if (!rows_->Deleted(row))
            return row;
    }
    return -1;
}

int SqliteQueryRowSource::PreviousLive(int from) const {
    for (int row = from; row >= 0; --row) {
        if (!rows_->Deleted(row))
            return row;
    }
    return -1;
}

void SqliteQueryRowSource::MoveFirst() {
    CancelUpdate();
    const int row = NextLive(0);
    if (row < 0)
        StandEmpty();
    else
        StandOn(row);
}

void SqliteQueryRowSource::MoveLast() {
    CancelUpdate();
    rows_->ReadAll();
    const int row = PreviousLive(rows_->Count() - 1);
    if (row < 0)
        StandEmpty();
    else
        StandOn(row);
}

void SqliteQueryRowSource::MoveNext() {
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

void SqliteQueryRowSource::MovePrevious() {
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

TBookmark SqliteQueryRowSource::Bookmark() const {
    if (bof_ || eof_)
        throw EProviderError(QStringLiteral("There is no current row."));
    return row_;
}

void SqliteQueryRowSource::GotoBookmark(TBookmark bookmark) {
    CancelUpdate();
    if (bookmark < 0 || bookmark > INT_MAX || !rows_->Reach(int(bookmark)))
        throw EProviderError(QStringLiteral("The bookmark does not name a row of the result."));
    StandOn(int(bookmark));
}

bool SqliteQueryRowSource::RowDeleted() const {
    return !bof_ && !eof_ && rows_->Deleted(row_);
}

TValue SqliteQueryRowSource::Value(int column) {
    CheckColumn(column);
    for (const auto &entry : std::as_const(pending_)) {
        if (entry.first == column)
            return entry.second;
    }
    if (adding_)
        return TValue();
    RequireRow();
    return rows_->Value(row_, column);
}

void SqliteQueryRowSource::AddNew() {
    RequireUpdatable();
    CancelUpdate();
    adding_ = true;
}

void SqliteQueryRowSource::SetValue(int column, const TValue &value) {
    RequireUpdatable();
    CheckColumn(column);
    if (!columns_[column].updatable)
        throw EProviderError(
            QStringLiteral("The column '%1' cannot be written.").arg(columns_[column].name));
    if (!adding_)
        RequireRow();
    Put(pending_, column, value);
}

void SqliteQueryRowSource::SetExpected(int column, const TValue &value) {
    CheckColumn(column);
    Put(expected_, column, value);
}

void SqliteQueryRowSource::Update() {
    RequireUpdatable();
    if (adding_)
        InsertRow();
    else
        UpdateRow();
    CancelUpdate();
}

void SqliteQueryRowSource::CancelUpdate() {
    adding_ = false;
    pending_.clear();
    expected_.clear();
}

int SqliteQueryRowSource::TableOf(const ColumnValues &values) const {
    int table = -1;
    for (const auto &entry : values) {
        const int of = columnTable_[entry.first];
        if (table >= 0 && of != table)
            throw EProviderError(
                QStringLiteral("The values belong to several tables (%1, %2); a row can be "
                               "added to one table only.")
                    .arg(tables_[table].name, tables_[of].name));
        table = of;
    }
    return table;
}

void SqliteQueryRowSource::InsertRow() {
    int table = TableOf(pending_);
    if (table < 0) {
        if (tables_.size() != 1)
            throw EProviderError(QStringLiteral("The new row has no values to store."));
        table = 0;
    }
    const WritableTable &target = tables_[table];
    // The new row goes after all rows of the result.
    rows_->ReadAll();
    qint64 rowid = 0;
    {
        SqliteTransaction transaction(*writer_);
        rowid = SqliteRowWriter(*writer_, target.name).Insert(Named(pending_, table));
        transaction.Commit();
    }
    QVector<TValue> values(columns_.size());
    TValue key;
    for (const auto &entry : std::as_const(pending_)) {
        values[entry.first] = entry.second;
        if (entry.first == target.keyColumn)
            key = entry.second;
    }
    const int row = rows_->Append(values);
    if (!target.rowidName.isEmpty())
        ReadBack(row, target, target.rowidName, rowid);
    else if (!ValueIsNull(key))
        ReadBack(row, target, target.keySql, key);
    StandOn(row);
}

void SqliteQueryRowSource::UpdateRow() {
    RequireRow();
    if (pending_.isEmpty())
        return;
    QMap<int, TValue> keys;
    for (const auto &entry : std::as_const(pending_)) {
        const int table = columnTable_[entry.first];
        const TValue key = rows_->Values(row_)[tables_[table].keyColumn];
        if (ValueIsNull(key))
            throw EProviderError(QStringLiteral("The row has no key; it cannot be written."));
        keys.insert(table, key);
    }
    {
        SqliteTransaction transaction(*writer_);
        for (auto it = keys.cbegin(); it != keys.cend(); ++it) {
            const WritableTable &table = tables_[it.key()];
            SqliteRowWriter(*writer_, table.name)
                .Update(table.keySql, it.value(), Named(pending_, it.key()),
                        Named(expected_, it.key()));
        }
        transaction.Commit();
    }
    for (const auto &entry : std::as_const(pending_))
        rows_->SetValue(row_, entry.first, entry.second);
    for (auto it = keys.cbegin(); it != keys.cend(); ++it)
        ReadBack(row_, tables_[it.key()], tables_[it.key()].keySql, it.value());
}

void SqliteQueryRowSource::ReadBack(int row, const WritableTable &table, const QString &keySql,
                                    const TValue &key) {
    QStringList names;
    for (int column : table.columns)
        names << SqliteDialect::QuoteIdentifier(originColumns_[column]);
    // The row is stored by now: a failure here must not report the write
    // as failed, so the values set stay in the row instead.
    try {
        auto statement =
            writer_->Cached(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                                .arg(names.join(QLatin1String(", ")),
                                     SqliteDialect::QuoteIdentifier(table.name), keySql));
        SqliteStatement::Scope scope(*statement);
        statement->Bind(1, key);
        if (!statement->Step())
            return;
        for (int i = 0; i < table.columns.size(); ++i) {
            const int column = table.columns[i];
            rows_->SetValue(
                row, column,
                SqliteColumnType::Normalize(columns_[column].typeCode, statement->Column(i)));
        }
    } catch (const EProviderError &) {
    }
}

void SqliteQueryRowSource::DeleteRow() {
    RequireUpdatable();
    RequireRow();
    if (tables_.size() != 1)
        throw EProviderError(QStringLiteral("The row joins several tables; it cannot be deleted."));
    const WritableTable &table = tables_.first();
    const TValue key = rows_->Values(row_)[table.keyColumn];
    {
        SqliteTransaction transaction(*writer_);
        SqliteRowWriter(*writer_, table.name).Delete(table.keySql, key, Named(expected_, 0));
        transaction.Commit();
    }
    rows_->MarkDeleted(row_);
    CancelUpdate();
}

void SqliteQueryRowSource::RefreshRow() {
    RequireRow();
    for (const WritableTable &table : tables_) {
        const TValue key = rows_->Values(row_)[table.keyColumn];
        if (!ValueIsNull(key))
            ReadBack(row_, table, table.keySql, key);
    }
}

std::unique_ptr<TRowSourceClone> SqliteQueryRowSource::Clone() {
    QStringList names;
    for (const auto &column : columns_)
        names << column.name;
    return std::make_unique<SqliteQueryClone>(rows_, names);
}

qint64 SqliteQueryRowSource::KnownRowCount() const {
    return rows_->Complete() ? rows_->Count() - rows_->DeletedCount() : -1;
}

qint64 SqliteQueryRowSource::RowNumberOf(TBookmark bookmark) const {
    if (!rows_->Complete() || bookmark < 0 || bookmark >= rows_->Count())
        return -1;
    // Both lookups are binary searches over the deleted rows alone.
    const int row = int(bookmark);
    return rows_->Deleted(row) ? -1 : row - rows_->DeletedBefore(row) + 1;
}

std::optional<TBookmark> SqliteQueryRowSource::BookmarkOfRowNumber(qint64 number) const {
    if (!rows_->Complete() || number < 1 || number > rows_->Count())
        return std::nullopt;
    const int row = rows_->LiveRowAt(int(number - 1));
    if (row < 0)
        return std::nullopt;
    return TBookmark(row);
}

QVector<QPair<QString, TValue>> SqliteQueryRowSource::Named(const ColumnValues &values,
                                                            int table) const {
    QVector<QPair<QString, TValue>> named;
    for (const auto &entry : values) {
        if (columnTable_[entry.first] == table)
            named << qMakePair(originColumns_[entry.first], entry.second);
    }
    return named;
}

void SqliteQueryRowSource::RequireUpdatable() const {
    if (!updatable_)
        throw EProviderError(
            QStringLiteral("The rows of this query cannot be changed: it is read-only, or its "
                           "rows cannot be traced back to stored rows by their keys."));
}

void SqliteQueryRowSource::RequireRow() const {
    if (bof_ || eof_)
        throw EProviderError(QStringLiteral("There is no current row."));
    if (rows_->Deleted(row_))
        throw EProviderError(QStringLiteral("The row has been deleted."));
}

void SqliteQueryRowSource::CheckColumn(int column) const {
    if (column < 0 || column >= columns_.size())
        throw EProviderError(QStringLiteral("There is no column %1.").arg(column));
}

void SqliteQueryRowSource::Put(ColumnValues &values, int column, const TValue &value) {
    for (auto &entry : values) {
        if (entry.first == column) {
            entry.second = value;
            return;
        }
    }
    values << qMakePair(column, value);
}
