#include "data/RecordCursor.h"

#include "data/DBConnection.h"

#include <algorithm>

namespace {
const QString kClosed = QStringLiteral("Cannot perform this operation on a closed dataset");
const QString kNotEditing = QStringLiteral("Dataset not in edit or insert mode");
const QString kReadOnly = QStringLiteral("Cannot modify a read-only dataset");
const QString kEmpty = QStringLiteral("Cannot perform this operation on an empty dataset");
const QString kNoBookmarks =
    QStringLiteral("Dataset does not support bookmarks, which are required for multi-record "
                   "data controls");

// Gives each column a field name: unnamed columns become COLUMN1, COLUMN2...,
// a name already taken becomes Name_1, Name_2...
QString UniqueFieldName(const QString &columnName, const std::vector<QString> &taken) {
    auto isTaken = [&](const QString &name) {
        return std::any_of(taken.begin(), taken.end(), [&](const QString &t) {
            return t.compare(name, Qt::CaseInsensitive) == 0;
        });
    };
    if (columnName.isEmpty()) {
        for (int n = 1;; ++n) {
            QString name = QStringLiteral("COLUMN%1").arg(n);
            if (!isTaken(name))
                return name;
        }
    }
    if (!isTaken(columnName))
        return columnName;
    for (int n = 1;; ++n) {
        QString name = QStringLiteral("%1_%2").arg(columnName).arg(n);
        if (!isTaken(name))
            return name;
    }
}
} // namespace

TRecordCursor::TRecordCursor(QString name) : name_(std::move(name)) {}

TRecordCursor::~TRecordCursor() = default;

void TRecordCursor::RaiseError(const QString &message) const {
    throw EDatabaseError(PrefixedMessage(name_, message));
}

void TRecordCursor::CheckInactive() const {
    if (Active())
        RaiseError(QStringLiteral("Cannot perform this operation on an open dataset"));
}

void TRecordCursor::Fire(const TCursorEvent &event) {
    if (event)
        event(*this);
}

void TRecordCursor::SetState(TCursorState state) {
    if (state_ == state)
        return;
    state_ = state;
    modified_ = false;
    DataEvent(neStateChanged);
}

void TRecordCursor::DataEvent(TDataEvent event, TField *field, int shift) {
    if (event == neFieldEdited && field &&
        (field->FieldKind() == fkData || field->FieldKind() == fkInternalCalc))
        modified_ = true;
    // A handler may attach or detach observers; tell those attached now.
    const std::vector<TCursorObserver *> observers = observers_;
    for (TCursorObserver *observer : observers)
        if (HasObserver(observer))
            observer->CursorDataEvent(event, field, shift);
}

void TRecordCursor::AttachObserver(TCursorObserver *observer) {
    if (observer && !HasObserver(observer))
        observers_.push_back(observer);
}

void TRecordCursor::DetachObserver(TCursorObserver *observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

bool TRecordCursor::HasObserver(const TCursorObserver *observer) const {
    return std::find(observers_.begin(), observers_.end(), observer) != observers_.end();
}

int TRecordCursor::RecomputeBufferCount() const {
    int count = 1;
    for (const TCursorObserver *observer : observers_)
        count = std::max(count, observer->RequiredBufferCount());
    return count;
}

void TRecordCursor::BufferCountChanged() {
    const int count = RecomputeBufferCount();
    if (count == bufferCount_)
        return;
    bufferCount_ = count;
    if (!Active() || active_ < 0)
        return;
    if (state_ == stBrowse) {
        const TRowBuffer current = buffers_[size_t(active_)];
        Reread(current.bookmark, std::min(active_, bufferCount_ - 1));
        DataEvent(neRowsRefilled);
        return;
    }
    // Editing: keep the row being edited and trim the window around it; it
    // grows again at the next refill.
    while (int(buffers_.size()) > bufferCount_) {
        if (active_ < int(buffers_.size()) - 1) {
            buffers_.pop_back();
        } else {
            buffers_.erase(buffers_.begin());
            --active_;
        }
    }
}

// ---------------------------------------------------------------------------
// Row source positioning

TRecordCursor::TRowBuffer TRecordCursor::NewStoredBuffer(TBookmark bookmark) const {
    TRowBuffer row;
    row.bookmark = bookmark;
    row.values.resize(fields_.size());
    row.loaded.assign(fields_.size(), 0);
    return row;
}

void TRecordCursor::NoteSourcePlace() {
    if (source_->SourceEOF() && !source_->SourceBOF()) {
        sourcePlace_ = TSourcePlace::AfterLast;
    } else if (source_->SourceBOF()) {
        sourcePlace_ = TSourcePlace::BeforeFirst;
    } else if (source_->RowDeleted()) {
        sourcePlace_ = TSourcePlace::Unknown;
    } else {
        sourcePlace_ = TSourcePlace::Row;
        sourceBookmark_ = source_->Bookmark();
    }
}

void TRecordCursor::SourceGoto(TBookmark bookmark) {
    sourcePlace_ = TSourcePlace::Unknown;
    source_->GotoBookmark(bookmark);
    NoteSourcePlace();
}

void TRecordCursor::SourceNext() {
    sourcePlace_ = TSourcePlace::Unknown;
    source_->MoveNext();
    NoteSourcePlace();
}

void TRecordCursor::SourcePrev() {
    sourcePlace_ = TSourcePlace::Unknown;
    source_->MovePrevious();
    NoteSourcePlace();
}

void TRecordCursor::SourceBeforeFirst() {
    sourcePlace_ = TSourcePlace::Unknown;
    source_->MoveFirst();
    if (!source_->SourceBOF() && source_->SupportsBackward())
        source_->MovePrevious();
    NoteSourcePlace();
}

void TRecordCursor::SourceAfterLast() {
    sourcePlace_ = TSourcePlace::Unknown;
    source_->MoveLast();
    if (!source_->SourceEOF())
        source_->MoveNext();
    NoteSourcePlace();
}

void TRecordCursor::PositionSourceOn(const TRowBuffer &row) {
    if (!source_->SupportsBookmarks())
        return;
    if (!row.hasBookmark) {
        if (sourcePlace_ != TSourcePlace::BeforeFirst)
            SourceBeforeFirst();
        return;
    }
    if (sourcePlace_ == TSourcePlace::Row && sourceBookmark_ == row.bookmark)
        return;
    SourceGoto(row.bookmark);
}

void TRecordCursor::CheckMultiRowBookmarks() const {
    if (bufferCount_ > 1 && !source_->SupportsBookmarks())
        throw EDatabaseError(kNoBookmarks);
}

bool TRecordCursor::FetchNext() {
    CheckMultiRowBookmarks();
    if (!buffers_.empty())
        PositionSourceOn(buffers_.back());
    SourceNext();
    if (sourcePlace_ != TSourcePlace::Row)
        return false;
    buffers_.push_back(NewStoredBuffer(sourceBookmark_));
    return true;
}

bool TRecordCursor::FetchPrior() {
    CheckMultiRowBookmarks();
    if (!buffers_.empty())
        PositionSourceOn(buffers_.front());
    SourcePrev();
    if (sourcePlace_ != TSourcePlace::Row)
        return false;
    buffers_.insert(buffers_.begin(), NewStoredBuffer(sourceBookmark_));
    return true;
}

void TRecordCursor::ClearBuffers() {
    buffers_.clear();
    active_ = -1;
    eof_ = bof_ = true;
}

void TRecordCursor::Reread(std::optional<TBookmark> bookmark, int targetIndex, bool strict) {
    ClearBuffers();
    if (bookmark)
        SourceGoto(*bookmark);
    else
        SourceBeforeFirst();
    if (sourcePlace_ != TSourcePlace::Row) {
        if (strict)
            RaiseError(QStringLiteral("Record not found"));
        SourceNext();
        if (sourcePlace_ != TSourcePlace::Row)
            SourcePrev();
        if (sourcePlace_ != TSourcePlace::Row)
            return; // nothing left: the cursor is empty
    }
    buffers_.push_back(NewStoredBuffer(sourceBookmark_));
    active_ = 0;
    while (active_ < targetIndex && FetchPrior())
        ++active_;
    while (int(buffers_.size()) < bufferCount_ && FetchNext()) {
    }
    while (int(buffers_.size()) < bufferCount_ && FetchPrior())
        ++active_;
    eof_ = bof_ = false;
}

void TRecordCursor::DropAll() {
    buffers_.clear();
    active_ = -1;
    fields_.clear();
    modifiedFields_.clear();
    expected_.clear();
    clone_.reset();
    source_.reset();
    sourcePlace_ = TSourcePlace::Unknown;
    eof_ = bof_ = true;
    modified_ = false;
}

// ---------------------------------------------------------------------------
// Opening and closing

std::unique_ptr<TRowSource> TRecordCursor::OpenRowSource() {
    if (!connection_)
        RaiseError(QStringLiteral("Missing Connection or ConnectionString"));
    const TRowSourceRequest request = MakeRequest();
    connection_->SetConnected(true);
    return connection_->OpenRowSource(request);
}

void TRecordCursor::Open() {
    if (Active())
        return;
    Fire(BeforeOpen);
    try {
        try {
            source_ = OpenRowSource();
        } catch (const ENoResultSet &error) {
            RaiseError(error.Message());
        }
        std::vector<QString> taken;
        for (int c = 0; c < source_->ColumnCount(); ++c) {
            const TColumnInfo &column = source_->Column(c);
            QString name = UniqueFieldName(column.name, taken);
            taken.push_back(name);
            auto field = std::make_unique<TField>(
                this, c, name, FieldTypeForColumn(column.typeCode, column.autoIncrement),
                column.size, !column.updatable);
            field->index_ = c;
            fields_.push_back(std::move(field));
        }
        expected_.assign(fields_.size(), std::nullopt);
        bufferCount_ = RecomputeBufferCount();
        sourcePlace_ = TSourcePlace::Unknown;
        if (source_->SupportsBookmarks() && source_->SupportsBackward()) {
            SourceBeforeFirst();
            while (int(buffers_.size()) < bufferCount_ && FetchNext()) {
            }
        } else {
            // Without bookmarks the first fetch reads the row where it stands.
            CheckMultiRowBookmarks();
            NoteSourcePlace();
            if (sourcePlace_ == TSourcePlace::Row)
                buffers_.push_back(NewStoredBuffer(sourceBookmark_));
        }
    } catch (...) {
        DropAll();
        throw;
    }
    active_ = buffers_.empty() ? -1 : 0;
    bof_ = true;
    eof_ = buffers_.empty();
    SetState(stBrowse);
    Fire(AfterOpen);
    if (active_ >= 0)
        Fire(AfterScroll);
}

void TRecordCursor::Close() {
    if (!Active())
        return;
    Fire(BeforeClose);
    if ((state_ == stEdit || state_ == stInsert) && source_)
        source_->CancelUpdate();
    SetState(stInactive);
    DropAll();
    Fire(AfterClose);
}

// ---------------------------------------------------------------------------
// Navigation

void TRecordCursor::First() {
    EnsureBrowse();
    Fire(BeforeScroll);
    ClearBuffers();
    std::exception_ptr failure;
    try {
        SourceBeforeFirst();
        while (int(buffers_.size()) < bufferCount_ && FetchNext()) {
        }
    } catch (...) {
        failure = std::current_exception();
    }
    if (!buffers_.empty()) {
        active_ = 0;
        eof_ = false;
    }
    bof_ = true;
    DataEvent(neRowsRefilled);
    Fire(AfterScroll);
    if (failure)
        std::rethrow_exception(failure);
}

void TRecordCursor::Last() {
    EnsureBrowse();
    Fire(BeforeScroll);
    ClearBuffers();
    std::exception_ptr failure;
    try {
        SourceAfterLast();
        while (int(buffers_.size()) < bufferCount_ && FetchPrior()) {
        }
    } catch (...) {
        failure = std::current_exception();
    }
    if (!buffers_.empty()) {
        active_ = int(buffers_.size()) - 1;
        bof_ = false;
    }
    eof_ = true;
    DataEvent(neRowsRefilled);
    Fire(AfterScroll);
    if (failure)
        std::rethrow_exception(failure);
}

int TRecordCursor::MoveBy(int distance) {
    EnsureBrowse();
    Fire(BeforeScroll);
    if (distance == 0 || (distance > 0 && eof_) || (distance < 0 && bof_))
        return 0;
    eof_ = bof_ = false;
    const size_t rowsBefore = buffers_.size();
    int moved = 0;
    int shift = 0;
    std::exception_ptr failure;
    try {
        if (distance > 0) {
            while (moved < distance) {
                if (active_ < int(buffers_.size()) - 1) {
                    ++active_;
                } else if (FetchNext()) {
                    if (int(buffers_.size()) > bufferCount_) {
                        buffers_.erase(buffers_.begin());
                        --shift;
                    }
                    active_ = int(buffers_.size()) - 1;
                } else {
                    eof_ = true;
                    break;
                }
                ++moved;
            }
        } else {
            while (moved > distance) {
                if (active_ > 0) {
                    --active_;
                } else if (FetchPrior()) {
                    if (int(buffers_.size()) > bufferCount_) {
                        buffers_.pop_back();
                        ++shift;
                    }
                    active_ = 0;
                } else {
                    bof_ = true;
                    break;
                }
                --moved;
            }
        }
    } catch (...) {
        failure = std::current_exception();
    }
    if (buffers_.size() == rowsBefore)
        DataEvent(neScrolled, nullptr, shift);
    else
        DataEvent(neRowsRefilled);
    Fire(AfterScroll);
    if (failure)
        std::rethrow_exception(failure);
    return moved;
}

// ---------------------------------------------------------------------------
// Changes

void TRecordCursor::RunWithPolicy(const TErrorEvent &handler, const std::function<void()> &step) {
    for (;;) {
        try {
            step();
            return;
        } catch (EDatabaseError &error) {
            TDataAction action = daFail;
            if (handler)
                handler(*this, error, action);
            if (action == daFail)
                throw;
            if (action == daAbort)
                throw EAbort();
        }
    }
}

void TRecordCursor::Insert() {
    EnsureBrowse();
    if (!source_->SupportsUpdating())
        RaiseError(kReadOnly);
    Fire(BeforeInsert);
    Fire(BeforeScroll);
    TRowBuffer row;
    row.inserted = true;
    row.values.resize(fields_.size());
    row.loaded.assign(fields_.size(), 1);
    std::optional<TBookmark> before;
    if (active_ >= 0) {
        before = buffers_[size_t(active_)].bookmark;
        row.bookmark = *before;
    } else {
        row.hasBookmark = false;
        active_ = 0;
    }
    const int previousActive = active_;
    buffers_.insert(buffers_.begin() + active_, std::move(row));
    if (int(buffers_.size()) > bufferCount_)
        buffers_.pop_back();
    SetState(stInsert);
    modifiedFields_.clear();
    std::fill(expected_.begin(), expected_.end(), std::nullopt);
    try {
        Fire(OnNewRecord);
    } catch (...) {
        state_ = stBrowse;
        modified_ = false;
        Reread(before, previousActive);
        DataEvent(neStateChanged);
        DataEvent(neRowsRefilled);
        throw;
    }
    modified_ = false;
    DataEvent(neRowsRefilled);
    Fire(AfterInsert);
    Fire(AfterScroll);
}

void TRecordCursor::Edit() {
    if (state_ == stEdit || state_ == stInsert)
        return;
    if (IsEmpty()) {
        Insert();
        return;
    }
    EnsureBrowse();
    if (!source_->SupportsUpdating())
        RaiseError(kReadOnly);
    Fire(BeforeEdit);
    RunWithPolicy(OnEditError, [this] {
        try {
            PositionSourceOn(buffers_[size_t(active_)]);
        } catch (const EProviderError &error) {
            throw EDatabaseError(error.Message());
        }
        modifiedFields_.clear();
        std::fill(expected_.begin(), expected_.end(), std::nullopt);
    });
    SetState(stEdit);
    DataEvent(neRecordEdited);
    Fire(AfterEdit);
}

void TRecordCursor::Post() {
    if (state_ != stEdit && state_ != stInsert)
        RaiseError(kNotEditing);
    DataEvent(neFlushControls);
    DataEvent(neSettle);
    for (const auto &field : fields_) {
        if (field->Required() && !field->ReadOnly() && field->FieldKind() == fkData &&
            field->IsNull()) {
            DataEvent(neFocusField, field.get());
            throw EDatabaseError(
                QStringLiteral("Field '%1' must have a value").arg(field->DisplayTitle()));
        }
    }
    Fire(BeforePost);
    const int index = active_;
    RunWithPolicy(OnPostError, [this, index] {
        const TRowBuffer &row = buffers_[size_t(index)];
        try {
            PositionSourceOn(row);
            if (row.inserted)
                source_->AddNew();
            for (TField *field : modifiedFields_) {
                if (field->ReadOnly())
                    continue;
                const int column = field->Column();
                source_->SetValue(column, row.values[size_t(column)]);
                if (!row.inserted && expected_[size_t(field->Index())])
                    source_->SetExpected(column, *expected_[size_t(field->Index())]);
            }
            source_->Update();
        } catch (const EProviderError &error) {
            source_->CancelUpdate();
            sourcePlace_ = TSourcePlace::Unknown;
            throw EDatabaseError(error.Message());
        }
    });
    const TBookmark stored = source_->Bookmark();
    SourceGoto(stored);
    SetState(stBrowse);
    Reread(stored, index);
    DataEvent(neRowsRefilled);
    Fire(AfterPost);
}

void TRecordCursor::Cancel() {
    if (state_ != stEdit && state_ != stInsert)
        return;
    const bool wasInsert = state_ == stInsert;
    DataEvent(neSettle);
    Fire(BeforeCancel);
    if (wasInsert)
        Fire(BeforeScroll);
    const TRowBuffer row = buffers_[size_t(active_)];
    const int index = active_;
    std::optional<TBookmark> target;
    if (row.hasBookmark)
        target = row.bookmark;
    PositionSourceOn(row);
    source_->CancelUpdate();
    SetState(stBrowse);
    Reread(target, index);
    DataEvent(neRowsRefilled);
    Fire(AfterCancel);
    if (wasInsert)
        Fire(AfterScroll);
}

void TRecordCursor::Delete() {
    if (!Active())
        RaiseError(kClosed);
    if (state_ == stInsert) {
        Cancel();
        return;
    }
    if (IsEmpty())
        RaiseError(kEmpty);
    DataEvent(neSettle);
    Fire(BeforeDelete);
    Fire(BeforeScroll);
    const int index = active_;
    const TBookmark deleted = buffers_[size_t(index)].bookmark;
    RunWithPolicy(OnDeleteError, [this, index] {
        const TRowBuffer &row = buffers_[size_t(index)];
        try {
            PositionSourceOn(row);
            // The values the user saw: a field assigned in a pending edit
            // is checked against its value before the edit.
            for (const auto &field : fields_) {
                const size_t i = size_t(field->Index());
                const int column = field->Column();
                if (expected_[i])
                    source_->SetExpected(column, *expected_[i]);
                else if (row.loaded[size_t(column)] &&
                         std::find(modifiedFields_.begin(), modifiedFields_.end(), field.get()) ==
                             modifiedFields_.end())
                    source_->SetExpected(column, row.values[size_t(column)]);
            }
            source_->DeleteRow();
        } catch (const EProviderError &error) {
            source_->CancelUpdate();
            sourcePlace_ = TSourcePlace::Unknown;
            throw EDatabaseError(error.Message());
        }
        SourceNext();
    });
    SetState(stBrowse);
    Reread(deleted, index);
    DataEvent(neRowsRefilled);
    Fire(AfterDelete);
    Fire(AfterScroll);
}

void TRecordCursor::EnsureBrowse() {
    if (!Active())
        RaiseError(kClosed);
    DataEvent(neSettle);
    if (state_ == stEdit || state_ == stInsert) {
        DataEvent(neFlushControls);
        if (modified_)
            Post();
        else
            Cancel();
    }
}

bool TRecordCursor::Locate(const QString &keyField, const TValue &value) {
    Fire(BeforeScroll);
    EnsureBrowse();
    std::optional<TBookmark> found;
    try {
        if (active_ >= 0)
            PositionSourceOn(buffers_[size_t(active_)]);
        sourcePlace_ = TSourcePlace::Unknown;
        const TField *field = FindField(keyField);
        if (!field)
            return false;
        if (!clone_)
            clone_ = source_->Clone();
        found = clone_->FindFirst(source_->Column(field->Column()).name, value);
        if (!found)
            return false;
        SourceGoto(*found);
        if (sourcePlace_ != TSourcePlace::Row)
            return false;
    } catch (const EError &) {
        return false;
    }
    Reread(*found, (bufferCount_ - 1) / 2, true);
    DataEvent(neRowsRefilled);
    Fire(AfterScroll);
    return true;
}

// ---------------------------------------------------------------------------
// Fields

TField *TRecordCursor::FindField(const QString &name) const {
    for (const auto &field : fields_)
        if (field->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return field.get();
    return nullptr;
}

TField *TRecordCursor::FieldNamed(const QString &name) const {
    TField *field = FindField(name);
    if (!field)
        RaiseError(QStringLiteral("Field '%1' not found").arg(name));
    return field;
}

TValue TRecordCursor::BufferedValue(int rowIndex, const TField *field) {
    if (!Active() || rowIndex < 0 || rowIndex >= int(buffers_.size()) || !field ||
        field->Cursor() != this)
        return TValue();
    TRowBuffer &row = buffers_[size_t(rowIndex)];
    const size_t column = size_t(field->Column());
    if (!row.loaded[column]) {
        PositionSourceOn(row);
        row.values[column] = source_->Value(int(column));
        row.loaded[column] = 1;
    }
    return row.values[column];
}

TValue TRecordCursor::FieldValue(const TField *field) {
    return BufferedValue(active_, field);
}

void TRecordCursor::AssignField(TField *field, const TValue &value) {
    if (state_ != stEdit && state_ != stInsert)
        RaiseError(kNotEditing);
    if (field->ReadOnly())
        throw EDatabaseError(
            QStringLiteral("Field '%1' cannot be modified").arg(field->DisplayTitle()));
    const TValue converted = field->Converted(value);
    TRowBuffer &row = buffers_[size_t(active_)];
    const size_t column = size_t(field->Column());
    if (std::find(modifiedFields_.begin(), modifiedFields_.end(), field) == modifiedFields_.end()) {
        if (state_ == stEdit && row.loaded[column])
            expected_[size_t(field->Index())] = row.values[column];
        modifiedFields_.push_back(field);
    }
    row.values[column] = converted;
    row.loaded[column] = 1;
    DataEvent(neFieldEdited, field);
}
