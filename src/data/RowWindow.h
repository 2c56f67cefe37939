#pragma once

#include "data/DataTypes.h"
#include "data/RowSource.h"

#include <optional>
#include <vector>

// The window of consecutive rows a cursor buffers, and where its row source
// stands relative to them. Every move of the row source goes through here, so
// the window knows when the source already stands on a buffered row and does
// not move it again (SourceEOF/SourceBOF stay as they are until the source
// really moves).
class TRowWindow {
public:
    struct TRowBuffer {
        bool inserted = false;
        bool hasBookmark = true; // false: an inserted row of an empty cursor
        TBookmark bookmark = 0;  // an inserted row: the row it was inserted before
        std::vector<TValue> values;
        std::vector<char> loaded;
    };

    // Starts on a newly opened row source; Detach forgets it again.
    void Attach(TRowSource *source, int columnCount);
    void Detach();

    std::vector<TRowBuffer> rows;
    int active = -1;     // the current row, -1 when none is held
    int bufferCount = 1; // the rows wanted at once

    TRowBuffer NewStoredBuffer(TBookmark bookmark) const;
    void Clear();

    // Moves of the row source, noting where it then stands.
    void SourceGoto(TBookmark bookmark);
    void SourceNext();
    void SourcePrev();
    void SourceBeforeFirst();
    void SourceAfterLast();
    // Notes the place the source stands on now, without moving it.
    void NoteSourcePlace();
    // After an operation that leaves the source's place unknown.
    void ForgetSourcePlace() { place_ = Place::Unknown; }
    bool SourceOnRow() const { return place_ == Place::Row; }
    TBookmark SourceBookmark() const { return bookmark_; }
    // Moves the source onto a buffered row unless it stands there already.
    void PositionSourceOn(const TRowBuffer &row);

    // Fetches the row after the last (before the first) buffered row into
    // the window; false when there is none. The window may grow past
    // bufferCount by one: the caller drops a row at the other end.
    bool FetchNext();
    bool FetchPrior();

    // Rebuilds the window around a row: from its bookmark (or from before the
    // first row), falling back to the next row, else the previous, else
    // empty. The row is placed at `targetIndex` when rows before it allow.
    // With `strict` there is no fall back: false when the row cannot be read.
    bool Reread(std::optional<TBookmark> bookmark, int targetIndex, bool strict = false);

    // A column's value in a buffered row, read from the source on first use.
    TValue Value(int row, int column);

private:
    enum class Place { Unknown, Row, BeforeFirst, AfterLast };
    void CheckMultiRowBookmarks() const;

    TRowSource *source_ = nullptr;
    int columnCount_ = 0;
    Place place_ = Place::Unknown;
    TBookmark bookmark_ = 0;
};
