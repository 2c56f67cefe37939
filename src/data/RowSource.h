#pragma once

#include "data/ColumnInfo.h"
#include "data/DataTypes.h"
#include "data/LocateOptions.h"

#include <QString>
#include <memory>
#include <optional>

class TRowSourceClone;

// What a cursor asks of the connection when it opens.
struct TRowSourceRequest {
    bool isTable = false; // true: `command` names a table; false: it is a query text
    QString command;      // table name, or the query's command text
    QString indexName;    // tables only: the index whose order the rows follow; may be empty
    TCursorLocation location = clUseClient;
    TCursorType cursorType = ctKeyset;
    TLockType lockType = ltOptimistic;
    // Queries only: the rows are read once, front to back (an export). The
    // row source then keeps only the last few thousand rows it read, so a
    // result of any size costs neither memory nor a temporary file; a row
    // further back can no longer be reached (EProviderError).
    bool readOnce = false;
};

// The engine-side cursor a record cursor reads and writes through.
//
// Position: on one row, before the first row (SourceBOF) or after the last
// row (SourceEOF); on an empty row source both flags are true. Right after
// opening it stands on the first row. Moving next from the last row reaches
// SourceEOF, moving previous from the first row reaches SourceBOF; moving
// next from SourceBOF reaches the first row and moving previous from
// SourceEOF the last row.
//
// Failures of the engine (a refused statement, a locked file, a row changed
// by another program) are raised as EProviderError with a clear text.
class TRowSource {
public:
    virtual ~TRowSource() = default;

    virtual int ColumnCount() const = 0;
    virtual const TColumnInfo &Column(int index) const = 0;
    virtual bool SupportsBookmarks() const = 0;
    virtual bool SupportsBackward() const = 0;
    // False for a row source opened with ltReadOnly, and for one whose rows
    // cannot be traced back to stored rows.
    virtual bool SupportsUpdating() const = 0;

    virtual bool SourceBOF() const = 0;
    virtual bool SourceEOF() const = 0;
    virtual void MoveFirst() = 0;
    virtual void MoveLast() = 0;
    virtual void MoveNext() = 0;
    virtual void MovePrevious() = 0;

    // The bookmark of the row it stands on; EProviderError when not on a row.
    virtual TBookmark Bookmark() const = 0;
    // Stands on the row of the bookmark. When that row has been deleted
    // meanwhile, it stands on the deleted row's place: RowDeleted() is true,
    // values cannot be read, and MoveNext/MovePrevious go on from that place.
    virtual void GotoBookmark(TBookmark bookmark) = 0;
    // True when the place it stands on holds no row any more.
    virtual bool RowDeleted() const = 0;
    // One column of the row it stands on, or of the new row after AddNew.
    // An invalid TValue is null. EProviderError when not on a readable row.
    virtual TValue Value(int column) = 0;

    // Begins a new row; nothing is stored until Update.
    virtual void AddNew() = 0;
    // Sets a column of the new row, or of the row it stands on.
    virtual void SetValue(int column, const TValue &value) = 0;
    // The value the caller read of a column of the row it stands on. Update
    // and DeleteRow change the row only while every column given here still
    // holds that value (null included), so a row changed by another program
    // meanwhile is never overwritten.
    virtual void SetExpected(int column, const TValue &value) = 0;
    // Stores the pending new row or the set values, as one committed
    // transaction; then stands on the stored row. On failure the pending
    // change stays until CancelUpdate.
    virtual void Update() = 0;
    // Abandons pending values, expectations and a pending new row.
    virtual void CancelUpdate() = 0;
    // Deletes the row it stands on (checked against the expected values), as
    // one committed transaction; it then stands on the deleted row's place.
    // Update and DeleteRow raise EConflictError when the row still exists but
    // no longer holds the expected values.
    virtual void DeleteRow() = 0;
    // Reads the row it stands on again from the database, so that Value
    // gives what is stored now (after another program changed it). Keeps
    // the position; a row that is gone keeps the values last read.
    virtual void RefreshRow() = 0;

    // A second, independent, read-only position over the same rows.
    virtual std::unique_ptr<TRowSourceClone> Clone() = 0;

    // Record numbers, for scroll bars. Live rows are the rows not deleted,
    // numbered from 1 in the row source's order. None of these reads rows or
    // moves the position.
    // How many live rows it holds, when known without reading further; -1 otherwise.
    virtual qint64 KnownRowCount() const { return -1; }
    // The 1-based number of a bookmark's row among the live rows; -1 when unknown.
    virtual qint64 RowNumberOf(TBookmark /*bookmark*/) const { return -1; }
    // The bookmark of the live row with that 1-based number, when known.
    virtual std::optional<TBookmark> BookmarkOfRowNumber(qint64 /*number*/) const {
        return std::nullopt;
    }
};

class TRowSourceClone {
public:
    virtual ~TRowSourceClone() = default;
    // Searches forward from the first row, in the row source's order, for the
    // first row whose column equals the value (numbers compare as numbers,
    // texts as texts); its bookmark, or nothing. Options other than none
    // compare as LocateTextMatches does. EProviderError for a column name the
    // row source does not have, or a failure of the engine.
    virtual std::optional<TBookmark> FindFirst(const QString &columnName, const TValue &value,
                                               const TLocateOptions &options = {}) = 0;
};
