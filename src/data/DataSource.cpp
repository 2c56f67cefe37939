#include "data/DataSource.h"

#include "data/DataLink.h"
#include "data/DatabaseErrors.h"
#include "data/RecordCursor.h"

#include <algorithm>

TDataSource::TDataSource(QString name) : name_(std::move(name)) {}

TDataSource::~TDataSource() {
    if (dataSet_)
        dataSet_->DetachObserver(this);
    const std::vector<TDataLink *> links = links_;
    for (TDataLink *link : links)
        link->SourceGone();
}

void TDataSource::SetDataSet(TRecordCursor *cursor) {
    if (cursor == dataSet_)
        return;
    if (cursor && cursor->IsLinkedTo(this))
        throw EDatabaseError(
            PrefixedMessage(name_, QStringLiteral("Circular datalinks are not allowed")));
    if (dataSet_) {
        TRecordCursor *old = dataSet_;
        dataSet_ = nullptr;
        old->DetachObserver(this);
        old->BufferCountChanged();
    }
    dataSet_ = cursor;
    if (dataSet_) {
        dataSet_->AttachObserver(this);
        dataSet_->BufferCountChanged();
    }
    SyncState();
}

void TDataSource::SetEnabled(bool value) {
    if (enabled_ == value)
        return;
    enabled_ = value;
    SyncState();
}

void TDataSource::Edit() {
    if (autoEdit_ && state_ == stBrowse && dataSet_)
        dataSet_->Edit();
}

void TDataSource::AddLink(TDataLink *link) {
    if (std::find(links_.begin(), links_.end(), link) != links_.end())
        return;
    links_.push_back(link);
    LinkBufferCountChanged();
}

void TDataSource::RemoveLink(TDataLink *link) {
    links_.erase(std::remove(links_.begin(), links_.end(), link), links_.end());
    LinkBufferCountChanged();
}

void TDataSource::LinkBufferCountChanged() {
    if (dataSet_)
        dataSet_->BufferCountChanged();
}

int TDataSource::RequiredBufferCount() const {
    int count = 0;
    for (const TDataLink *link : links_)
        count = std::max(count, link->BufferCount());
    return count;
}

void TDataSource::SyncState() {
    const TCursorState state = enabled_ && dataSet_ ? dataSet_->State() : stInactive;
    if (state == state_)
        return;
    const TCursorState previous = state_;
    state_ = state;
    const std::vector<TDataLink *> links = links_;
    for (auto it = links.rbegin(); it != links.rend(); ++it)
        (*it)->UpdateFlags();
    if (OnStateChange)
        OnStateChange(*this);
    if (previous == stInactive && OnDataChange)
        OnDataChange(*this, nullptr);
}

void TDataSource::CursorDataEvent(TDataEvent event, TField *field, int shift) {
    if (event == neStateChanged) {
        SyncState();
        return;
    }
    if (state_ == stInactive)
        return;
    const std::vector<TDataLink *> links = links_;
    for (auto it = links.rbegin(); it != links.rend(); ++it)
        if (std::find(links_.begin(), links_.end(), *it) != links_.end())
            (*it)->DataEvent(event, field, shift);
    switch (event) {
    case neFieldEdited:
        if (OnDataChange)
            OnDataChange(*this, field);
        break;
    case neRecordEdited:
    case neRowsRefilled:
    case neScrolled:
    case neLayoutChanged:
        if (OnDataChange)
            OnDataChange(*this, nullptr);
        break;
    case neFlushControls:
        if (OnUpdateData)
            OnUpdateData(*this);
        break;
    default:
        break;
    }
}
