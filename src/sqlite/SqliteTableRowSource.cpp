#include "sqlite/SqliteTableRowSource.h"

#include "data/DatabaseErrors.h"
#include "sqlite/SqliteColumnType.h"
#include "sqlite/SqliteDialect.h"
#include "sqlite/SqliteHandle.h"
#include "sqlite/SqliteRowWriter.h"
#include "sqlite/SqliteStatement.h"
#include "sqlite/SqliteTableClone.h"
#include "sqlite/SqliteTableInfo.h"
#include "sqlite/SqliteTableOrder.h"
#include "sqlite/SqliteTransaction.h"

namespace {

constexpr int kRememberedPlaces = 4096;

QString TableNameOf(const QString &command) {
    QString name = command.trimmed();
    if (name.size() >= 2 &&
        ((name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']'))) ||
         (name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"')))))
        name = name.mid(1, name.size() - 2);
    return name;
}

} // namespace

SqliteTableRowSource::SqliteTableRowSource(std::shared_ptr<SqliteHandle> handle,
                                           const TRowSourceRequest &request)
    : handle_(std::move(handle)), readOnly_(request.lockType == ltReadOnly) {
    sqlite3 *db = handle_->Db();
    auto table =
        std::make_shared<SqliteTableInfo>(SqliteTableInfo::Load(db, TableNameOf(request.command)));
    if (!table->HasRowid())
        throw EProviderError(
            QStringLiteral("The table '%1' has no rowid; it cannot be opened as a table.")
                .arg(table->Name()));
    table_ = table;
    order_ = std::make_shared<SqliteTableOrder>(db, *table_, request.indexName);
    if (order_->KeyCount() > 60)
        throw EProviderError(
            QStringLiteral("The index '%1' has too many columns.").arg(request.indexName));

    const QString quoted = SqliteDialect::QuoteIdentifier(table_->Name());
    {
        SqliteStatement all(db, QStringLiteral("SELECT * FROM %1").arg(quoted));
        for (int i = 0; i < all.ColumnCount(); ++i) {
            TColumnInfo info = SqliteColumnType::Describe(all.Handle(), i, false).info;
            info.updatable = !readOnly_ && !info.autoIncrement && !table_->IsGenerated(info.name);
            columns_ << info;
        }
    }
    firstStatement_ = std::make_unique<SqliteStatement>(db, order_->EndSql(false));
    lastStatement_ = std::make_unique<SqliteStatement>(db, order_->EndSql(true));
    rowStatement_ = std::make_unique<SqliteStatement>(
        db, QStringLiteral("SELECT * FROM %1 WHERE %2 = ?").arg(quoted, table_->RowidName()));
    keysStatement_ = std::make_unique<SqliteStatement>(db, order_->KeysSql());
    MoveFirst();
}

SqliteTableRowSource::~SqliteTableRowSource() = default;

const TColumnInfo &SqliteTableRowSource::Column(int index) const {
    CheckColumn(index);
    return columns_[index];
}

void SqliteTableRowSource::MoveFirst() {
    MoveToEnd(false);
}

void SqliteTableRowSource::MoveLast() {
    MoveToEnd(true);
}

void SqliteTableRowSource::MoveNext() {
    if (bof_)
        MoveToEnd(false); // from before the first row, or on an empty table
    else if (!eof_)
        Step(true);
}

void SqliteTableRowSource::MovePrevious() {
    if (eof_)
        MoveToEnd(true); // from after the last row, or on an empty table
    else if (!bof_)
        Step(false);
}

void SqliteTableRowSource::MoveToEnd(bool last) {
    CancelUpdate();
    SqliteStatement &statement = last ? *lastStatement_ : *firstStatement_;
    SqliteStatement::Scope scope(statement);
    if (statement.Step())
        StandOnResult(statement);
    else
        StandEmpty();
}

void SqliteTableRowSource::Step(bool forward) {
    CancelUpdate();
    if (!keysKnown_)
        throw EProviderError(QStringLiteral(
            "The row was deleted by another program; its place in the order is not known."));
    QVector<bool> nullKeys;
    quint64 mask = 0;
    for (int i = 0; i < keys_.size(); ++i) {
        nullKeys << ValueIsNull(keys_[i]);
        if (nullKeys.last())
            mask |= quint64(1) << i;
    }
    StepStatement &step = stepStatements_[{forward, mask}];
    if (!step.statement)
        step.statement = std::make_unique<SqliteStatement>(
            handle_->Db(), order_->StepSql(forward, nullKeys, &step.binds));
    SqliteStatement &statement = *step.statement;
    SqliteStatement::Scope scope(statement);
    for (int i = 0; i < step.binds.size(); ++i) {
        const int from = step.binds[i];
        statement.Bind(i + 1, from < keys_.size() ? keys_[from] : TValue(qint64(rowid_)));
    }
    if (statement.Step()) {
        StandOnResult(statement);
    } else if (forward) {
        eof_ = true;
        loaded_ = false;
    } else {
        bof_ = true;
        loaded_ = false;
    }
}

void SqliteTableRowSource::StandOnResult(const SqliteStatement &statement) {
    rowid_ = statement.Int64(0);
    keys_.clear();
    for (int i = 0; i < order_->KeyCount(); ++i)
        keys_ << statement.Column(i + 1);
    keysKnown_ = true;
    deleted_ = false;
    loaded_ = false;
    bof_ = eof_ = false;
    Remember(rowid_, keys_);
}

void SqliteTableRowSource::StandEmpty() {
    bof_ = eof_ = true;
    loaded_ = false;
    deleted_ = false;
}

void SqliteTableRowSource::Remember(TBookmark rowid, const QVector<TValue> &keys) {
    if (keys.isEmpty())
        return; // in rowid order the rowid is the whole place
    if (recentKeys_.size() >= kRememberedPlaces) {
        olderKeys_ = std::move(recentKeys_);
        recentKeys_.clear();
    }
    recentKeys_.insert(rowid, keys);
}

TBookmark SqliteTableRowSource::Bookmark() const {
    RequirePlace();
    return rowid_;
}

void SqliteTableRowSource::GotoBookmark(TBookmark bookmark) {
    CancelUpdate();
    rowid_ = bookmark;
    bof_ = eof_ = false;
    loaded_ = false;
    deleted_ = false;
    keysKnown_ = true;
    keys_.clear();
    if (order_->KeyCount() == 0)
        return;
    SqliteStatement::Scope scope(*keysStatement_);
    keysStatement_->Bind(1, qint64(bookmark));
    if (keysStatement_->Step()) {
        for (int i = 0; i < order_->KeyCount(); ++i)
            keys_ << keysStatement_->Column(i);
        Remember(bookmark, keys_);
        return;
    }
    deleted_ = true;
    if (recentKeys_.contains(bookmark))
        keys_ = recentKeys_.value(bookmark);
    else if (olderKeys_.contains(bookmark))
        keys_ = olderKeys_.value(bookmark);
    else
        keysKnown_ = false;
}

bool SqliteTableRowSource::RowDeleted() const {
    if (!OnPlace())
        return false;
    if (deleted_)
        return true;
    auto exists = handle_->Cached(
        QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ?")
            .arg(SqliteDialect::QuoteIdentifier(table_->Name()), table_->RowidName()));
    SqliteStatement::Scope scope(*exists);
    exists->Bind(1, qint64(rowid_));
    return !exists->Step();
}

TValue SqliteTableRowSource::Value(int column) {
    CheckColumn(column);
    for (const auto &entry : std::as_const(pending_)) {
        if (entry.first == column)
            return entry.second;
    }
    if (adding_)
        return TValue();
    RequirePlace();
    LoadRow();
    return values_[column];
}

void SqliteTableRowSource::LoadRow() {
    if (loaded_)
        return;
    if (deleted_)
        throw EProviderError(QStringLiteral("The row has been deleted."));
    SqliteStatement::Scope scope(*rowStatement_);
    rowStatement_->Bind(1, qint64(rowid_));
    if (!rowStatement_->Step()) {
        deleted_ = true;
        throw EProviderError(QStringLiteral("The row was deleted by another program."));
    }
    values_.resize(columns_.size());
    for (int i = 0; i < columns_.size(); ++i)
        values_[i] = SqliteColumnType::Normalize(columns_[i].typeCode, rowStatement_->Column(i));
    loaded_ = true;
}

void SqliteTableRowSource::AddNew() {
    RequireUpdatable();
    CancelUpdate();
    adding_ = true;
}

void SqliteTableRowSource::SetValue(int column, const TValue &value) {
    RequireUpdatable();
    CheckColumn(column);
    if (!columns_[column].updatable)
        throw EProviderError(
            QStringLiteral("The column '%1' cannot be written.").arg(columns_[column].name));
    if (!adding_)
        RequirePlace();
    Put(pending_, column, value);
}

void SqliteTableRowSource::SetExpected(int column, const TValue &value) {
    CheckColumn(column);
    Put(expected_, column, value);
}

void SqliteTableRowSource::Update() {
    RequireUpdatable();
    SqliteRowWriter writer(*handle_, table_->Name());
    if (adding_) {
        SqliteTransaction transaction(*handle_);
        const qint64 rowid = writer.Insert(Named(pending_));
        transaction.Commit();
        CancelUpdate();
        GotoBookmark(rowid);
        return;
    }
    RequirePlace();
    if (!pending_.isEmpty()) {
        SqliteTransaction transaction(*handle_);
        writer.Update(table_->RowidName(), qint64(rowid_), Named(pending_), Named(expected_));
        transaction.Commit();
    }
    // Also re-reads the keys: the row may have moved in the index order.
    GotoBookmark(rowid_);
}

void SqliteTableRowSource::CancelUpdate() {
    adding_ = false;
    pending_.clear();
    expected_.clear();
}

void SqliteTableRowSource::DeleteRow() {
    RequireUpdatable();
    RequirePlace();
    SqliteRowWriter writer(*handle_, table_->Name());
    SqliteTransaction transaction(*handle_);
    writer.Delete(table_->RowidName(), qint64(rowid_), Named(expected_));
    transaction.Commit();
    CancelUpdate();
    deleted_ = true;
    loaded_ = false;
}

void SqliteTableRowSource::RefreshRow() {
    if (OnPlace() && !deleted_)
        loaded_ = false;
}

std::unique_ptr<TRowSourceClone> SqliteTableRowSource::Clone() {
    return std::make_unique<SqliteTableClone>(handle_, table_, order_);
}

void SqliteTableRowSource::RequireUpdatable() const {
    if (readOnly_)
        throw EProviderError(QStringLiteral("The row source is read-only; it cannot be changed."));
}

void SqliteTableRowSource::RequirePlace() const {
    if (!OnPlace())
        throw EProviderError(QStringLiteral("There is no current row."));
}

void SqliteTableRowSource::CheckColumn(int column) const {
    if (column < 0 || column >= columns_.size())
        throw EProviderError(QStringLiteral("There is no column %1.").arg(column));
}

QVector<QPair<QString, TValue>> SqliteTableRowSource::Named(const ColumnValues &values) const {
    QVector<QPair<QString, TValue>> named;
    for (const auto &entry : values)
        named << qMakePair(columns_[entry.first].name, entry.second);
    return named;
}

void SqliteTableRowSource::Put(ColumnValues &values, int column, const TValue &value) {
    for (auto &entry : values) {
        if (entry.first == column) {
            entry.second = value;
            return;
        }
    }
    values << qMakePair(column, value);
}
