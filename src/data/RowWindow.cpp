#include "data/RowWindow.h"

#include "data/DatabaseErrors.h"

void TRowWindow::Attach(TRowSource *source, int columnCount) {
    source_ = source;
    columnCount_ = columnCount;
    place_ = Place::Unknown;
    Clear();
}

void TRowWindow::Detach() {
    source_ = nullptr;
    columnCount_ = 0;
    place_ = Place::Unknown;
    Clear();
}

TRowWindow::TRowBuffer TRowWindow::NewStoredBuffer(TBookmark bookmark) const {
    TRowBuffer row;
    row.bookmark = bookmark;
    row.values.resize(size_t(columnCount_));
    row.loaded.assign(size_t(columnCount_), 0);
    return row;
}

void TRowWindow::Clear() {
    rows.clear();
    active = -1;
}

void TRowWindow::NoteSourcePlace() {
    if (source_->SourceEOF() && !source_->SourceBOF()) {
        place_ = Place::AfterLast;
    } else if (source_->SourceBOF()) {
        place_ = Place::BeforeFirst;
    } else if (source_->RowDeleted()) {
        place_ = Place::Unknown;
    } else {
        place_ = Place::Row;
        bookmark_ = source_->Bookmark();
    }
}

void TRowWindow::SourceGoto(TBookmark bookmark) {
    place_ = Place::Unknown;
    source_->GotoBookmark(bookmark);
    NoteSourcePlace();
}

void TRowWindow::SourceNext() {
    place_ = Place::Unknown;
    source_->MoveNext();
    NoteSourcePlace();
}

void TRowWindow::SourcePrev() {
    place_ = Place::Unknown;
    source_->MovePrevious();
    NoteSourcePlace();
}

void TRowWindow::SourceBeforeFirst() {
    place_ = Place::Unknown;
    source_->MoveFirst();
    if (!source_->SourceBOF() && source_->SupportsBackward())
        source_->MovePrevious();
    NoteSourcePlace();
}

void TRowWindow::SourceAfterLast() {
    place_ = Place::Unknown;
    source_->MoveLast();
    if (!source_->SourceEOF())
        source_->MoveNext();
    NoteSourcePlace();
}

void TRowWindow::PositionSourceOn(const TRowBuffer &row) {
    if (!source_->SupportsBookmarks())
        return;
    if (!row.hasBookmark) {
        if (place_ != Place::BeforeFirst)
            SourceBeforeFirst();
        return;
    }
    if (place_ == Place::Row && bookmark_ == row.bookmark)
        return;
    SourceGoto(row.bookmark);
}

void TRowWindow::CheckMultiRowBookmarks() const {
    if (bufferCount > 1 && !source_->SupportsBookmarks())
        throw EDatabaseError(QStringLiteral("Dataset does not support bookmarks, which are "
                                            "required for multi-record data controls"));
}

bool TRowWindow::FetchNext() {
    CheckMultiRowBookmarks();
    if (!rows.empty())
        PositionSourceOn(rows.back());
    SourceNext();
    if (place_ != Place::Row)
        return false;
    rows.push_back(NewStoredBuffer(bookmark_));
    return true;
}

bool TRowWindow::FetchPrior() {
    CheckMultiRowBookmarks();
    if (!rows.empty())
        PositionSourceOn(rows.front());
    SourcePrev();
    if (place_ != Place::Row)
        return false;
    rows.insert(rows.begin(), NewStoredBuffer(bookmark_));
    return true;
}

bool TRowWindow::Reread(std::optional<TBookmark> bookmark, int targetIndex, bool strict) {
    Clear();
    if (bookmark)
        SourceGoto(*bookmark);
    else
        SourceBeforeFirst();
    if (place_ != Place::Row) {
        if (strict)
            return false;
        SourceNext();
        if (place_ != Place::Row)
            SourcePrev();
        if (place_ != Place::Row)
            return true; // nothing left: the window is empty
    }
    rows.push_back(NewStoredBuffer(bookmark_));
    active = 0;
    while (active < targetIndex && FetchPrior())
        ++active;
    while (int(rows.size()) < bufferCount && FetchNext()) {
    }
    while (int(rows.size()) < bufferCount && FetchPrior())
        ++active;
    return true;
}

TValue TRowWindow::Value(int rowIndex, int column) {
    if (rowIndex < 0 || rowIndex >= int(rows.size()) || column < 0 || column >= columnCount_)
        return TValue();
    TRowBuffer &row = rows[size_t(rowIndex)];
    if (!row.loaded[size_t(column)]) {
        PositionSourceOn(row);
        row.values[size_t(column)] = source_->Value(column);
        row.loaded[size_t(column)] = 1;
    }
    return row.values[size_t(column)];
}
