#include "data/DataLink.h"

#include "data/DataSource.h"
#include "data/RecordCursor.h"

#include <algorithm>

TDataLink::~TDataLink() {
    if (dataSource_)
        dataSource_->RemoveLink(this);
}

void TDataLink::SetDataSource(TDataSource *source) {
    if (source == dataSource_)
        return;
    if (dataSource_)
        dataSource_->RemoveLink(this);
    dataSource_ = source;
    if (dataSource_)
        dataSource_->AddLink(this);
    UpdateFlags();
}

void TDataLink::SourceGone() {
    dataSource_ = nullptr;
    UpdateFlags();
}

TRecordCursor *TDataLink::DataSet() const {
    return dataSource_ ? dataSource_->DataSet() : nullptr;
}

void TDataLink::SetBufferCount(int count) {
    count = std::max(1, count);
    if (count == bufferCount_)
        return;
    bufferCount_ = count;
    if (dataSource_)
        dataSource_->LinkBufferCountChanged();
    if (active_)
        FitWindow();
}

void TDataLink::SetReadOnly(bool value) {
    if (readOnly_ == value)
        return;
    readOnly_ = value;
    UpdateFlags();
}

int TDataLink::ActiveRow() const {
    const TRecordCursor *cursor = DataSet();
    if (!active_ || !cursor)
        return 0;
    return std::max(0, cursor->ActiveBufferIndex() - firstShown_);
}

int TDataLink::ShownRowCount() const {
    const TRecordCursor *cursor = DataSet();
    if (!active_ || !cursor)
        return 0;
    return std::clamp(cursor->BufferedRowCount() - firstShown_, 0, bufferCount_);
}

bool TDataLink::Edit() {
    if (dataSource_)
        dataSource_->Edit();
    return editing_;
}

void TDataLink::UpdateFlags() {
    const TCursorState state = dataSource_ ? dataSource_->State() : stInactive;
    const bool active = state != stInactive;
    const bool editing = (state == stEdit || state == stInsert) && !readOnly_;
    if (active != active_) {
        active_ = active;
        if (active_)
            FitWindow();
        else
            firstShown_ = 0;
        ActiveFlagChanged();
    }
    if (editing != editing_) {
        editing_ = editing;
        EditingFlagChanged();
    }
}

int TDataLink::FitWindow() {
    const TRecordCursor *cursor = DataSet();
    if (!cursor)
        return 0;
    const int before = firstShown_;
    const int current = cursor->ActiveBufferIndex();
    if (current >= 0) {
        if (current < firstShown_)
            firstShown_ = current;
        else if (current >= firstShown_ + bufferCount_)
            firstShown_ = current - bufferCount_ + 1;
    }
    firstShown_ = std::max(0, firstShown_);
    return firstShown_ - before;
}

void TDataLink::DataEvent(TDataEvent event, TField *field, int shift) {
    if (event == neStateChanged) {
        UpdateFlags();
        return;
    }
    if (!active_)
        return;
    switch (event) {
    case neFieldEdited:
    case neRecordEdited:
        if (!writing_)
            RowChanged(field);
        break;
    case neRowsRefilled:
    case neScrolled:
    case neLayoutChanged: {
        // The rows shown follow the buffers' shift first; only then is the
        // window fitted around the current row, and that fit is what the
        // list scrolls by.
        firstShown_ += shift;
        const int moved = FitWindow();
        if (event == neRowsRefilled)
            RowsRefilled();
        else if (event == neScrolled)
            WindowScrolled(moved);
        else
            LayoutReset();
        break;
    }
    case neFlushControls: {
        struct Writing {
            bool &flag;
            ~Writing() { flag = false; }
        } guard{writing_};
        writing_ = true;
        WriteData();
        break;
    }
    case neSettle:
        SettleRow();
        break;
    case neFocusField:
        FocusField(field);
        break;
    default:
        break;
    }
}
