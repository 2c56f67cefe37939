#include "MemoryRowSource.h"

#include "data/DatabaseErrors.h"

MemoryTable &MemoryTable::Column(const QString &name, int typeCode, int size, bool autoInc) {
    TColumnInfo column;
    column.name = name;
    column.typeCode = typeCode;
    column.size = size;
    column.autoIncrement = autoInc;
    column.updatable = !autoInc;
    if (autoInc)
        autoIncColumn = int(columns.size());
    columns.push_back(column);
    return *this;
}

TBookmark MemoryTable::AddRow(std::vector<TValue> values) {
    values.resize(columns.size());
    const TBookmark id = nextId++;
    if (autoIncColumn >= 0 && ValueIsNull(values[size_t(autoIncColumn)]))
        values[size_t(autoIncColumn)] = qint64(id);
    rows.push_back({id, std::move(values)});
    return id;
}

int MemoryTable::IndexOf(TBookmark id) const {
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].id == id)
            return int(i);
    return -1;
}

MemoryRowSource::MemoryRowSource(std::shared_ptr<MemoryTable> table) : table_(std::move(table)) {
    MoveFirst();
    table_->moves = 0;
}

int MemoryRowSource::ColumnCount() const {
    return int(table_->columns.size());
}

const TColumnInfo &MemoryRowSource::Column(int index) const {
    return table_->columns.at(size_t(index));
}

int MemoryRowSource::CurrentIndex() const {
    return place_ == Place::Row ? table_->IndexOf(id_) : -1;
}

bool MemoryRowSource::SourceBOF() const {
    return place_ == Place::BeforeFirst || table_->rows.empty();
}

bool MemoryRowSource::SourceEOF() const {
    return place_ == Place::AfterLast || table_->rows.empty();
}

void MemoryRowSource::MoveFirst() {
    ++table_->moves;
    if (table_->rows.empty()) {
        place_ = Place::BeforeFirst;
        return;
    }
    place_ = Place::Row;
    id_ = table_->rows.front().id;
}

void MemoryRowSource::MoveLast() {
    ++table_->moves;
    if (table_->rows.empty()) {
        place_ = Place::AfterLast;
        return;
    }
    place_ = Place::Row;
    id_ = table_->rows.back().id;
}

void MemoryRowSource::MoveNext() {
    ++table_->moves;
    int next;
    if (place_ == Place::BeforeFirst)
        next = 0;
    else if (place_ == Place::AfterLast)
        next = int(table_->rows.size());
    else if (CurrentIndex() >= 0)
        next = CurrentIndex() + 1;
    else
        next = vanishedIndex_; // the row that took the vanished row's place
    if (next < 0 || next >= int(table_->rows.size())) {
        place_ = Place::AfterLast;
        return;
    }
    place_ = Place::Row;
    id_ = table_->rows[size_t(next)].id;
}

void MemoryRowSource::MovePrevious() {
    ++table_->moves;
    int prev;
    if (place_ == Place::AfterLast)
        prev = int(table_->rows.size()) - 1;
    else if (place_ == Place::BeforeFirst)
        prev = -1;
    else if (CurrentIndex() >= 0)
        prev = CurrentIndex() - 1;
    else
        prev = vanishedIndex_ - 1;
    if (prev < 0) {
        place_ = Place::BeforeFirst;
        return;
    }
    place_ = Place::Row;
    id_ = table_->rows[size_t(prev)].id;
}

TBookmark MemoryRowSource::Bookmark() const {
    if (place_ != Place::Row)
        throw EProviderError(QStringLiteral("No current row"));
    return id_;
}

void MemoryRowSource::GotoBookmark(TBookmark bookmark) {
    ++table_->moves;
    place_ = Place::Row;
    id_ = bookmark;
    if (table_->IndexOf(bookmark) < 0) {
        // Stands where the row was: the first row with a larger id.
        vanishedIndex_ = int(table_->rows.size());
        for (size_t i = 0; i < table_->rows.size(); ++i)
            if (table_->rows[i].id > bookmark) {
                vanishedIndex_ = int(i);
                break;
            }
    }
}

bool MemoryRowSource::RowDeleted() const {
    return place_ == Place::Row && CurrentIndex() < 0;
}

TValue MemoryRowSource::Value(int column) {
    ++table_->valueReads;
    if (!table_->failValueRead.isEmpty()) {
        const QString text = table_->failValueRead;
        table_->failValueRead.clear();
        throw EProviderError(text);
    }
    if (adding_) {
        for (const auto &p : pending_)
            if (p.first == column)
                return p.second;
        return TValue();
    }
    const int index = CurrentIndex();
    if (index < 0)
        throw EProviderError(QStringLiteral("Row handle is invalid"));
    return table_->rows[size_t(index)].values.at(size_t(column));
}

void MemoryRowSource::AddNew() {
    if (!table_->updatable)
        throw EProviderError(QStringLiteral("Read-only row source"));
    adding_ = true;
    pending_.clear();
}

void MemoryRowSource::SetValue(int column, const TValue &value) {
    pending_.emplace_back(column, value);
}

void MemoryRowSource::SetExpected(int column, const TValue &value) {
    expected_.emplace_back(column, value);
}

void MemoryRowSource::Update() {
    ++table_->updates;
    if (!table_->failUpdate.isEmpty()) {
        const QString text = table_->failUpdate;
        table_->failUpdate.clear();
        throw EProviderError(text);
    }
    table_->lastWrittenColumns.clear();
    for (const auto &p : pending_)
        table_->lastWrittenColumns.push_back(p.first);
    if (adding_) {
        std::vector<TValue> values(table_->columns.size());
        for (const auto &p : pending_)
            values[size_t(p.first)] = p.second;
        id_ = table_->AddRow(values);
        place_ = Place::Row;
    } else {
        const int index = CurrentIndex();
        if (index < 0)
            throw EProviderError(QStringLiteral("The row was deleted by another program"));
        auto &row = table_->rows[size_t(index)];
        for (const auto &e : expected_)
            if (row.values[size_t(e.first)] != e.second)
                throw EProviderError(QStringLiteral("The row was changed by another program"));
        for (const auto &p : pending_)
            row.values[size_t(p.first)] = p.second;
    }
    CancelUpdate();
}

void MemoryRowSource::CancelUpdate() {
    adding_ = false;
    pending_.clear();
    expected_.clear();
}

void MemoryRowSource::DeleteRow() {
    if (!table_->failDelete.isEmpty()) {
        const QString text = table_->failDelete;
        table_->failDelete.clear();
        throw EProviderError(text);
    }
    const int index = CurrentIndex();
    if (index < 0)
        throw EProviderError(QStringLiteral("The row was deleted by another program"));
    for (const auto &e : expected_)
        if (table_->rows[size_t(index)].values[size_t(e.first)] != e.second)
            throw EProviderError(QStringLiteral("The row was changed by another program"));
    expected_.clear();
    table_->rows.erase(table_->rows.begin() + index);
    vanishedIndex_ = index;
}

namespace {
class MemoryClone : public TRowSourceClone {
public:
    explicit MemoryClone(std::shared_ptr<MemoryTable> table) : table_(std::move(table)) {}
    std::optional<TBookmark> FindFirst(const QString &columnName, const TValue &value,
                                       const TLocateOptions &options) override {
        if (!table_->failFind.isEmpty()) {
            const QString text = table_->failFind;
            table_->failFind.clear();
            throw EProviderError(text);
        }
        int column = -1;
        for (size_t c = 0; c < table_->columns.size(); ++c)
            if (table_->columns[c].name.compare(columnName, Qt::CaseInsensitive) == 0)
                column = int(c);
        if (column < 0)
            throw EProviderError(QStringLiteral("Unknown column ") + columnName);
        for (const auto &row : table_->rows)
            if (options.None() ? row.values[size_t(column)] == value
                               : LocateTextMatches(row.values[size_t(column)], value, options))
                return row.id;
        return std::nullopt;
    }

private:
    std::shared_ptr<MemoryTable> table_;
};
} // namespace

std::unique_ptr<TRowSourceClone> MemoryRowSource::Clone() {
    return std::make_unique<MemoryClone>(table_);
}

qint64 MemoryRowSource::KnownRowCount() const {
    return table_->rowNumbers ? qint64(table_->rows.size()) : -1;
}

qint64 MemoryRowSource::RowNumberOf(TBookmark bookmark) const {
    const int index = table_->rowNumbers ? table_->IndexOf(bookmark) : -1;
    return index < 0 ? -1 : index + 1;
}

std::optional<TBookmark> MemoryRowSource::BookmarkOfRowNumber(qint64 number) const {
    if (!table_->rowNumbers || number < 1 || number > qint64(table_->rows.size()))
        return std::nullopt;
    return table_->rows[size_t(number - 1)].id;
}

MemoryCursor::MemoryCursor(QString name, std::shared_ptr<MemoryTable> t)
    : TRecordCursor(std::move(name)), table(std::move(t)) {}

std::unique_ptr<TRowSource> MemoryCursor::OpenRowSource() {
    return std::make_unique<MemoryRowSource>(table);
}
