#include "postgres/PgTableRowSource.h"

#include "data/DatabaseErrors.h"
#include "postgres/PgConnection.h"
#include "postgres/PgRowWriter.h"
#include "postgres/PgTableClone.h"
#include "postgres/PgTableInfo.h"
#include "postgres/PgTableOrder.h"

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

PgTableRowSource::PgTableRowSource(std::shared_ptr<PgConnection> connection,
                                   std::shared_ptr<const PgNames> names,
                                   const TRowSourceRequest &request)
    : connection_(std::move(connection)), readOnly_(request.lockType == ltReadOnly) {
    Q_UNUSED(names);
    table_ = std::make_shared<PgTableInfo>(
        PgTableInfo::Load(*connection_, TableNameOf(request.command)));
    order_ = std::make_shared<PgTableOrder>(*connection_, *table_, request.indexName);
    if (order_->KeyCount() > 60)
        throw EProviderError(
            QStringLiteral("The index '%1' has too many columns.").arg(request.indexName));

    QStringList quoted;
    for (const PgTableColumns::Column &column : table_->Table().columns) {
        TColumnInfo info = column.info;
        info.updatable = !readOnly_ && column.info.updatable;
        columns_ << info;
        columnNames_ << column.name;
        quoted << PgRowWriter::Quote(column.name);
    }
    keyColumn_ = int(columnNames_.indexOf(table_->Key()));
    for (const QString &term : order_->TermColumns())
        termColumns_ << int(columnNames_.indexOf(term));
    rowSql_ = QStringLiteral("SELECT %1 FROM %2 WHERE %3 = $1")
                  .arg(quoted.join(QLatin1String(", ")), order_->Table(), order_->Key());
    keysSql_ = order_->KeysSql();
    MoveFirst();
}

PgTableRowSource::~PgTableRowSource() = default;

const TColumnInfo &PgTableRowSource::Column(int index) const {
    CheckColumn(index);
    return columns_[index];
}

void PgTableRowSource::MoveFirst() {
    MoveToEnd(false);
}

void PgTableRowSource::MoveLast() {
    MoveToEnd(true);
}

void PgTableRowSource::MoveNext() {
    if (bof_)
        MoveToEnd(false); // from before the first row, or on an empty table
    else if (!eof_)
        Step(true);
}

void PgTableRowSource::MovePrevious() {
    if (eof_)
        MoveToEnd(true); // from after the last row, or on an empty table
    else if (!bof_)
        Step(false);
}

void PgTableRowSource::MoveToEnd(bool last) {
    CancelUpdate();
    const PgResult end = connection_->Exec(order_->EndSql(last));
    if (!StandOnResult(end))
        StandEmpty();
}

void PgTableRowSource::Step(bool forward) {
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
    if (step.sql.isEmpty())
        step.sql = order_->StepSql(forward, nullKeys, &step.binds);
    QVector<TValue> params;
    for (int from : std::as_const(step.binds))
        params << (from < keys_.size() ? keys_[from] : TValue(qint64(key_)));
    const PgResult next = connection_->Exec(step.sql, params);
    if (StandOnResult(next))
        return;
    (forward ? eof_ : bof_) = true;
    loaded_ = false;
}

bool PgTableRowSource::StandOnResult(const PgResult &result) {
    if (result.Rows() == 0)
        return false;
    key_ = result.Value(0, 0).toLongLong();
    keys_.clear();
    for (int i = 0; i < order_->KeyCount(); ++i)
        keys_ << result.Value(0, i + 1);
    keysKnown_ = true;
    deleted_ = false;
    loaded_ = false;
    bof_ = eof_ = false;
    Remember(key_, keys_);
    return true;
}

void PgTableRowSource::StandEmpty() {
    bof_ = eof_ = true;
    loaded_ = false;
    deleted_ = false;
}

void PgTableRowSource::StandOnStored(const QVector<TValue> &row) {
    if (row.size() != columns_.size() || keyColumn_ < 0 || ValueIsNull(row[keyColumn_]))
        throw EProviderError(QStringLiteral("The server did not return the stored row."));
    key_ = row[keyColumn_].toLongLong();
    keys_.clear();
    for (int column : std::as_const(termColumns_))
        keys_ << row.value(column);
    keysKnown_ = true;
    deleted_ = false;
    bof_ = eof_ = false;
    values_ = row;
    loaded_ = true;
    Remember(key_, keys_);
}

void PgTableRowSource::Remember(TBookmark key, const QVector<TValue> &keys) {
    if (keys.isEmpty())
        return; // in key order the key is the whole place
    if (recentKeys_.size() >= kRememberedPlaces) {
        olderKeys_ = std::move(recentKeys_);
        recentKeys_.clear();
    }
    recentKeys_.insert(key, keys);
}

TBookmark PgTableRowSource::Bookmark() const {
    RequirePlace();
    return key_;
}

void PgTableRowSource::GotoBookmark(TBookmark bookmark) {
    CancelUpdate();
    key_ = bookmark;
    bof_ = eof_ = false;
    loaded_ = false;
    deleted_ = false;
    keysKnown_ = true;
    keys_.clear();
    if (order_->KeyCount() == 0)
        return;
    const PgResult keys = connection_->Exec(keysSql_, {qint64(bookmark)});
    if (keys.Rows() > 0) {
        for (int i = 0; i < order_->KeyCount(); ++i)
            keys_ << keys.Value(0, i);
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

bool PgTableRowSource::RowDeleted() const {
    if (!OnPlace())
        return false;
    if (deleted_)
        return true;
    const PgResult exists = connection_->Exec(
        QStringLiteral("SELECT 1 FROM %1 WHERE %2 = $1").arg(order_->Table(), order_->Key()),
        {qint64(key_)});
    return exists.Rows() == 0;
}

TValue PgTableRowSource::Value(int column) {
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

void PgTableRowSource::LoadRow() {
    if (loaded_)
        return;
    if (deleted_)
        throw EProviderError(QStringLiteral("The row has been deleted."));
    const PgResult row = connection_->Exec(rowSql_, {qint64(key_)});
    if (row.Rows() == 0) {
        deleted_ = true;
        throw EProviderError(QStringLiteral("The row was deleted by another program."));
    }
    values_.resize(columns_.size());
    for (int i = 0; i < columns_.size(); ++i)
        values_[i] = row.Value(0, i);
    loaded_ = true;
}

void PgTableRowSource::AddNew() {
    RequireUpdatable();
    CancelUpdate();
    adding_ = true;
}

void PgTableRowSource::SetValue(int column, const TValue &value) {
    RequireUpdatable();
    CheckColumn(column);
    if (!columns_[column].updatable)
        throw EProviderError(
            QStringLiteral("The column '%1' cannot be written.").arg(columns_[column].name));
    if (!adding_)
        RequirePlace();
    Put(pending_, column, value);
}

void PgTableRowSource::SetExpected(int column, const TValue &value) {
    CheckColumn(column);
    Put(expected_, column, value);
}

void PgTableRowSource::Update() {
    RequireUpdatable();
    PgRowWriter writer(*connection_, table_->Table());
    if (adding_) {
        const QVector<TValue> stored = writer.Insert(Named(pending_), columnNames_);
        CancelUpdate();
        StandOnStored(stored);
        return;
    }
    RequirePlace();
    if (pending_.isEmpty()) {
        // Nothing to write: re-reads the keys, as after a write.
        GotoBookmark(key_);
        return;
    }
    const QVector<TValue> stored =
        writer.Update(table_->Key(), qint64(key_), Named(pending_), Named(expected_), columnNames_);
    CancelUpdate();
    // The row may have moved in the index order: its new keys come with it.
    StandOnStored(stored);
}

void PgTableRowSource::CancelUpdate() {
    adding_ = false;
    pending_.clear();
    expected_.clear();
}

void PgTableRowSource::DeleteRow() {
    RequireUpdatable();
    RequirePlace();
    PgRowWriter(*connection_, table_->Table())
        .Delete(table_->Key(), qint64(key_), Named(expected_));
    CancelUpdate();
    deleted_ = true;
    loaded_ = false;
}

void PgTableRowSource::RefreshRow() {
    if (OnPlace() && !deleted_)
        loaded_ = false;
}

std::unique_ptr<TRowSourceClone> PgTableRowSource::Clone() {
    return std::make_unique<PgTableClone>(connection_, table_, order_);
}

void PgTableRowSource::RequireUpdatable() const {
    if (readOnly_)
        throw EProviderError(QStringLiteral("The row source is read-only; it cannot be changed."));
}

void PgTableRowSource::RequirePlace() const {
    if (!OnPlace())
        throw EProviderError(QStringLiteral("There is no current row."));
}

void PgTableRowSource::CheckColumn(int column) const {
    if (column < 0 || column >= columns_.size())
        throw EProviderError(QStringLiteral("There is no column %1.").arg(column));
}

QVector<QPair<QString, TValue>> PgTableRowSource::Named(const ColumnValues &values) const {
    QVector<QPair<QString, TValue>> named;
    for (const auto &entry : values)
        named << qMakePair(columnNames_[entry.first], entry.second);
    return named;
}

void PgTableRowSource::Put(ColumnValues &values, int column, const TValue &value) {
    for (auto &entry : values) {
        if (entry.first == column) {
            entry.second = value;
            return;
        }
    }
    values << qMakePair(column, value);
}
