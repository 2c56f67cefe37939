#include "data/RecordCursor.h"

#include "data/DBConnection.h"

#include <algorithm>

namespace {
const QString kClosed = QStringLiteral("Cannot perform this operation on a closed dataset");
const QString kNotEditing = QStringLiteral("Dataset not in edit or insert mode");
const QString kReadOnly = QStringLiteral("Cannot modify a read-only dataset");
const QString kEmpty = QStringLiteral("Cannot perform this operation on an empty dataset");

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
    // What an edit expected of the stored row holds only while it lasts; a
    // later Post or Delete checks against the row as read again.
    if (state_ != stEdit)
        std::fill(expected_.begin(), expected_.end(), std::nullopt);
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
    if (count == window_.bufferCount)
        return;
    window_.bufferCount = count;
    if (!Active() || window_.active < 0)
        return;
    if (state_ == stBrowse) {
        const TRowWindow::TRowBuffer current = window_.rows[size_t(window_.active)];
        Reread(current.bookmark, std::min(window_.active, window_.bufferCount - 1));
        DataEvent(neRowsRefilled);
        return;
    }
    // Editing: keep the row being edited and trim the window around it; it
    // grows again at the next refill.
    while (int(window_.rows.size()) > window_.bufferCount) {
        if (window_.active < int(window_.rows.size()) - 1) {
            window_.rows.pop_back();
        } else {
            window_.rows.erase(window_.rows.begin());
            --window_.active;
        }
    }
}

void TRecordCursor::Reread(std::optional<TBookmark> bookmark, int targetIndex, bool strict) {
    eof_ = bof_ = true;
    if (!window_.Reread(bookmark, targetIndex, strict))
        RaiseError(QStringLiteral("Record not found"));
    if (!window_.rows.empty())
        eof_ = bof_ = false;
}

void TRecordCursor::DropAll() {
    window_.Detach();
    fields_.clear();
    modifiedFields_.clear();
    expected_.clear();
    clone_.reset();
    source_.reset();
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
        window_.Attach(source_.get(), int(fields_.size()));
        window_.bufferCount = RecomputeBufferCount();
        if (source_->SupportsBookmarks() && source_->SupportsBackward()) {
            window_.SourceBeforeFirst();
            while (int(window_.rows.size()) < window_.bufferCount && window_.FetchNext()) {
            }
        } else {
            // Without bookmarks the first fetch reads the row where it stands.
            if (window_.bufferCount > 1)
                throw EDatabaseError(QStringLiteral("Dataset does not support bookmarks, which "
                                                    "are required for multi-record data "
                                                    "controls"));
            window_.NoteSourcePlace();
            if (window_.SourceOnRow())
                window_.rows.push_back(window_.NewStoredBuffer(window_.SourceBookmark()));
        }
    } catch (...) {
        DropAll();
        throw;
    }
    window_.active = window_.rows.empty() ? -1 : 0;
    bof_ = true;
    eof_ = window_.rows.empty();
    SetState(stBrowse);
    Fire(AfterOpen);
    if (window_.active >= 0)
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
    RefillFromEnd(false);
}

void TRecordCursor::Last() {
    RefillFromEnd(true);
}

void TRecordCursor::RefillFromEnd(bool last) {
    EnsureBrowse();
    Fire(BeforeScroll);
    window_.Clear();
    eof_ = bof_ = true;
    std::exception_ptr failure;
    try {
        if (last)
            window_.SourceAfterLast();
        else
            window_.SourceBeforeFirst();
        while (int(window_.rows.size()) < window_.bufferCount &&
               (last ? window_.FetchPrior() : window_.FetchNext())) {
        }
    } catch (...) {
        failure = std::current_exception();
    }
    if (!window_.rows.empty()) {
        window_.active = last ? int(window_.rows.size()) - 1 : 0;
        (last ? bof_ : eof_) = false;
    }
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
    const size_t rowsBefore = window_.rows.size();
    int moved = 0;
    int shift = 0;
    std::exception_ptr failure;
    try {
        if (distance > 0) {
            while (moved < distance) {
                if (window_.active < int(window_.rows.size()) - 1) {
                    ++window_.active;
                } else if (window_.FetchNext()) {
                    if (int(window_.rows.size()) > window_.bufferCount) {
                        window_.rows.erase(window_.rows.begin());
                        --shift;
                    }
                    window_.active = int(window_.rows.size()) - 1;
                } else {
                    eof_ = true;
                    break;
                }
                ++moved;
            }
        } else {
            while (moved > distance) {
                if (window_.active > 0) {
                    --window_.active;
                } else if (window_.FetchPrior()) {
                    if (int(window_.rows.size()) > window_.bufferCount) {
                        window_.rows.pop_back();
                        ++shift;
                    }
                    window_.active = 0;
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
    if (window_.rows.size() == rowsBefore)
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
    TRowWindow::TRowBuffer row;
    row.inserted = true;
    row.values.resize(fields_.size());
    row.loaded.assign(fields_.size(), 1);
    std::optional<TBookmark> before;
    if (window_.active >= 0) {
        before = window_.rows[size_t(window_.active)].bookmark;
        row.bookmark = *before;
    } else {
        row.hasBookmark = false;
        window_.active = 0;
    }
    const int previousActive = window_.active;
    window_.rows.insert(window_.rows.begin() + window_.active, std::move(row));
    if (int(window_.rows.size()) > window_.bufferCount)
        window_.rows.pop_back();
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
            window_.PositionSourceOn(window_.rows[size_t(window_.active)]);
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
    const int index = window_.active;
    RunWithPolicy(OnPostError, [this, index] {
        const TRowWindow::TRowBuffer &row = window_.rows[size_t(index)];
        try {
            window_.PositionSourceOn(row);
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
            RaiseWriteFailure(error, index,
                              QStringLiteral(" The fields you did not change now show the stored "
                                             "values; save again to store your changes."));
        }
    });
    const TBookmark stored = source_->Bookmark();
    window_.SourceGoto(stored);
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
    const TRowWindow::TRowBuffer row = window_.rows[size_t(window_.active)];
    const int index = window_.active;
    std::optional<TBookmark> target;
    if (row.hasBookmark)
        target = row.bookmark;
    window_.PositionSourceOn(row);
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
    const int index = window_.active;
    const TBookmark deleted = window_.rows[size_t(index)].bookmark;
    RunWithPolicy(OnDeleteError, [this, index] {
        const TRowWindow::TRowBuffer &row = window_.rows[size_t(index)];
        try {
            window_.PositionSourceOn(row);
            // The values the user saw: a field assigned in a pending edit
            // is checked against its value before the edit.
            for (const auto &field : fields_) {
                const size_t i = size_t(field->Index());
                const int column = field->Column();
                if (expected_[i])
                    source_->SetExpected(column, *expected_[i]);
                else if (row.loaded[size_t(column)] && !(state_ == stEdit && Assigned(field.get())))
                    source_->SetExpected(column, row.values[size_t(column)]);
            }
            source_->DeleteRow();
        } catch (const EProviderError &error) {
            RaiseWriteFailure(
                error, index,
                QStringLiteral(" It now shows the stored values; delete again to delete it."));
        }
        window_.SourceNext();
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

bool TRecordCursor::Locate(const QString &keyField, const TValue &value,
                           const TLocateOptions &options) {
    Fire(BeforeScroll);
    EnsureBrowse();
    std::optional<TBookmark> found;
    try {
        if (window_.active >= 0)
            window_.PositionSourceOn(window_.rows[size_t(window_.active)]);
        window_.ForgetSourcePlace();
        const TField *field = FindField(keyField);
        if (!field)
            return false;
        if (!clone_)
            clone_ = source_->Clone();
        found = clone_->FindFirst(source_->Column(field->Column()).name, value, options);
        if (!found)
            return false;
        window_.SourceGoto(*found);
        if (!window_.SourceOnRow())
            return false;
    } catch (const EError &) {
        return false;
    }
    Reread(*found, (window_.bufferCount - 1) / 2, true);
    DataEvent(neRowsRefilled);
    Fire(AfterScroll);
    return true;
}

qint64 TRecordCursor::RecordCount() const {
    return Active() ? source_->KnownRowCount() : -1;
}

qint64 TRecordCursor::RecNo() const {
    if (!Active() || state_ == stInsert || window_.active < 0 || RecordCount() < 0)
        return -1;
    return source_->RowNumberOf(window_.rows[size_t(window_.active)].bookmark);
}

void TRecordCursor::SetRecNo(qint64 number) {
    if (RecordCount() <= 0)
        return;
    EnsureBrowse();
    Fire(BeforeScroll);
    std::exception_ptr failure;
    try {
        // Posting a pending insert may have added a row, so count again.
        const qint64 count = RecordCount();
        const auto bookmark =
            count > 0 ? source_->BookmarkOfRowNumber(std::clamp<qint64>(number, 1, count))
                      : std::nullopt;
        if (bookmark)
            Reread(*bookmark, (window_.bufferCount - 1) / 2);
    } catch (...) {
        failure = std::current_exception();
        eof_ = bof_ = window_.rows.empty();
    }
    DataEvent(neRowsRefilled);
    Fire(AfterScroll);
    if (failure)
        std::rethrow_exception(failure);
}

void TRecordCursor::RaiseWriteFailure(const EProviderError &error, int index,
                                      const QString &afterConflict) {
    source_->CancelUpdate();
    window_.ForgetSourcePlace();
    if (dynamic_cast<const EConflictError *>(&error) && RefreshAfterConflict(index))
        throw EDatabaseError(error.Message() + afterConflict);
    throw EDatabaseError(error.Message());
}

bool TRecordCursor::Assigned(const TField *field) const {
    return std::find(modifiedFields_.begin(), modifiedFields_.end(), field) !=
           modifiedFields_.end();
}

bool TRecordCursor::RefreshAfterConflict(int index) {
    TRowWindow::TRowBuffer &row = window_.rows[size_t(index)];
    std::vector<TValue> stored(fields_.size());
    try {
        window_.SourceGoto(row.bookmark);
        source_->RefreshRow();
        for (const auto &field : fields_)
            stored[size_t(field->Index())] = source_->Value(field->Column());
    } catch (const EProviderError &) {
        window_.ForgetSourcePlace();
        return false;
    }
    // The user's own values stay and are now expected against the row as
    // stored, so that saving again stores them; every other field shows
    // what the other program stored.
    for (const auto &field : fields_) {
        const size_t i = size_t(field->Index());
        const size_t column = size_t(field->Column());
        if (state_ == stEdit && Assigned(field.get())) {
            expected_[i] = stored[i];
        } else {
            row.values[column] = stored[i];
            row.loaded[column] = 1;
        }
    }
    DataEvent(neRowsRefilled);
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
    if (!Active() || rowIndex < 0 || rowIndex >= int(window_.rows.size()) || !field ||
        field->Cursor() != this)
        return TValue();
    return window_.Value(rowIndex, field->Column());
}

TValue TRecordCursor::FieldValue(const TField *field) {
    return BufferedValue(window_.active, field);
}

void TRecordCursor::AssignField(TField *field, const TValue &value) {
    if (state_ != stEdit && state_ != stInsert)
        RaiseError(kNotEditing);
    if (field->ReadOnly())
        throw EDatabaseError(
            QStringLiteral("Field '%1' cannot be modified").arg(field->DisplayTitle()));
    const TValue converted = field->Converted(value);
    TRowWindow::TRowBuffer &row = window_.rows[size_t(window_.active)];
    const size_t column = size_t(field->Column());
    if (!Assigned(field)) {
        // A stored row is changed only while the field still holds what it
        // held when the edit began, so a value not read yet is read first.
        if (state_ == stEdit)
            expected_[size_t(field->Index())] = window_.Value(window_.active, int(column));
        modifiedFields_.push_back(field);
    }
    row.values[column] = converted;
    row.loaded[column] = 1;
    DataEvent(neFieldEdited, field);
}
