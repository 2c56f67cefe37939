#pragma once

#include "data/CursorObserver.h"
#include "data/DataTypes.h"
#include "data/DatabaseErrors.h"
#include "data/Field.h"
#include "data/RowSource.h"
#include "data/RowWindow.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class TDBConnection;

// An open, navigable view of the rows of one table or one query result, with
// one current row, a state, typed fields, events and the data sources that
// follow it. TTableCursor and TQueryCursor say what is opened; everything
// else is here.
//
// States: stInactive (closed), stBrowse, stEdit, stInsert. Eof()/Bof() are
// both true while closed and while the cursor holds no row; after Open and
// First Bof is true, after Last Eof is true; Next past the last row keeps that
// row current and sets Eof, Prior past the first sets Bof; Insert keeps both;
// Post, Cancel, Delete and a successful Locate clear both unless the cursor is
// left empty. (They are Eof/Bof, not EOF/BOF: the C library defines EOF.)
//
// Rows: a window of consecutive rows is buffered, as many as the largest
// BufferCount among the observers' links (at least 1); values of a stored row
// are read from the row source when first asked for and then kept.
//
// Events (each may be empty) run in the orders documented at each operation.
// Notifications go to the observers in order of attachment:
//   neStateChanged  every change of State
//   neFieldEdited   every field assignment (Modified is set first)
//   neRecordEdited  Edit
//   neRowsRefilled  First, Last, Insert, Post, Cancel, Delete, Locate, SetRecNo, and MoveBy
//                   when the number of buffered rows changed
//   neScrolled      MoveBy when the number stayed the same (with the shift)
//   neFlushControls Post (first of all), EnsureBrowse in stEdit/stInsert
//   neSettle        EnsureBrowse, Post, Cancel, Delete
//   neFocusField    a request to focus the control of a field
//
// Errors of this layer are EDatabaseError; those about the cursor carry its
// name as a prefix ("rsContacts: ..."), those about a field carry none. Engine
// failures at Post and Delete become EDatabaseError with the engine's text and
// no prefix; elsewhere they propagate as EProviderError. A failed operation
// leaves the cursor in the state documented for it; a failed Post keeps the
// row in stEdit/stInsert with every value the user gave.
class TRecordCursor {
public:
    using TCursorEvent = std::function<void(TRecordCursor &)>;
    using TErrorEvent = std::function<void(TRecordCursor &, EDatabaseError &, TDataAction &)>;

    explicit TRecordCursor(QString name);
    virtual ~TRecordCursor();
    TRecordCursor(const TRecordCursor &) = delete;
    TRecordCursor &operator=(const TRecordCursor &) = delete;

    const QString &Name() const { return name_; }

    // Configuration; set before opening.
    TDBConnection *Connection() const { return connection_; }
    void SetConnection(TDBConnection *connection) { connection_ = connection; }
    TCursorLocation CursorLocation() const { return location_; }
    void SetCursorLocation(TCursorLocation value) { location_ = value; }
    TCursorType CursorType() const { return cursorType_; }
    void SetCursorType(TCursorType value) { cursorType_ = value; }
    TLockType LockType() const { return lockType_; }
    void SetLockType(TLockType value) { lockType_ = value; }

    TCursorEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose, BeforeInsert, AfterInsert,
        OnNewRecord, BeforeEdit, AfterEdit, BeforePost, AfterPost, BeforeCancel, AfterCancel,
        BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
    TErrorEvent OnEditError, OnPostError, OnDeleteError;

    bool Active() const { return state_ != stInactive; }
    void SetActive(bool value) { value ? Open() : Close(); }

    // BeforeOpen; connect; open the row source; build the fields; fill the
    // buffers from the first row; stBrowse (neStateChanged); AfterOpen; then
    // AfterScroll when a row is held. Nothing when open already. A failure
    // leaves the cursor closed and propagates; AfterOpen does not run.
    void Open();
    // BeforeClose; stInactive (neStateChanged); everything dropped, a pending
    // edit or insert unsaved; AfterClose. Nothing when closed already.
    void Close();

    // EnsureBrowse; BeforeScroll; refill from the first (last) row;
    // neRowsRefilled; AfterScroll, also when the refill failed.
    void First();
    void Last();
    void Next() { MoveBy(1); }
    void Prior() { MoveBy(-1); }
    // EnsureBrowse; BeforeScroll; when at the end in that direction (or n is
    // 0), returns 0 and nothing else happens. Otherwise moves up to |n| rows,
    // sends neScrolled or neRowsRefilled, runs AfterScroll, and returns the
    // signed number of rows moved.
    int MoveBy(int distance);

    // Record numbers, for scroll bars: known when the row source knows its row count.
    // RecordCount: -1 when unknown; -1 while closed.
    qint64 RecordCount() const;
    // RecNo: 1-based number of the current row; -1 when unknown, closed, empty or in stInsert.
    qint64 RecNo() const;
    // Makes row `number` (clamped to 1..RecordCount) current: EnsureBrowse; BeforeScroll; the
    // window re-read with that row current (placed as Locate places it); neRowsRefilled;
    // AfterScroll. Nothing when record numbers are unknown, nor when there is no row. A failed
    // re-read still sends neRowsRefilled and runs AfterScroll, then propagates.
    void SetRecNo(qint64 number);

    bool Eof() const { return eof_; }
    bool Bof() const { return bof_; }
    bool IsEmpty() const { return window_.active < 0; }

    // EnsureBrowse; refuses a read-only row source; BeforeInsert; BeforeScroll;
    // a new all-null row before the current one; stInsert; OnNewRecord;
    // Modified cleared; neRowsRefilled; AfterInsert (its assignments count as
    // changes); AfterScroll.
    void Insert();
    // Nothing in stEdit/stInsert; Insert when no row is held; else
    // EnsureBrowse; refuses a read-only row source; BeforeEdit; stEdit;
    // neRecordEdited; AfterEdit. No lock is taken and the row is not re-read.
    void Edit();
    // neFlushControls; neSettle; BeforePost; store; stBrowse; buffers re-read
    // around the stored row (counter and default values appear);
    // neRowsRefilled; AfterPost.
    void Post();
    // Nothing outside stEdit/stInsert. neSettle; BeforeCancel (and
    // BeforeScroll for an insert); changes dropped; stBrowse; re-read;
    // neRowsRefilled; AfterCancel (and AfterScroll for an insert).
    void Cancel();
    // In stInsert: Cancel only. Else neSettle; BeforeDelete; BeforeScroll;
    // delete the row; stBrowse; the next row (else the previous) current;
    // neRowsRefilled; AfterDelete; AfterScroll.
    void Delete();
    // Closed: error. neSettle; in stEdit/stInsert neFlushControls, then Post
    // when Modified, else Cancel.
    void EnsureBrowse();
    // BeforeScroll; EnsureBrowse; search from the first row for the first
    // row whose field equals the value. Not found, an unknown field or a
    // failed search: false and nothing moves. Found: that row current, placed
    // in the middle of the window; neRowsRefilled; AfterScroll; true.
    // Options make the comparison case-insensitive and/or partial (the
    // field's text begins with the value); see TLocateOptions.
    bool Locate(const QString &keyField, const TValue &value, const TLocateOptions &options = {});

    // Field lookup without regard to letter case; FieldNamed raises
    // "<cursor>: Field '<name>' not found", FindField returns null.
    TField *FieldNamed(const QString &name) const;
    TField *FindField(const QString &name) const;
    int FieldCount() const { return int(fields_.size()); }
    TField *Fields(int index) const { return fields_.at(size_t(index)).get(); }

    TCursorState State() const { return state_; }
    bool Modified() const { return modified_; }
    // Fields assigned since the last Edit or Insert, in order of first assignment.
    const std::vector<TField *> &ModifiedFields() const { return modifiedFields_; }
    // The row source of the open cursor, or null.
    TRowSource *RowSource() const { return source_.get(); }

    // Data sources.
    void AttachObserver(TCursorObserver *observer);
    void DetachObserver(TCursorObserver *observer);
    bool HasObserver(const TCursorObserver *observer) const;
    // Sends a notification as the cursor's operations do.
    void DataEvent(TDataEvent event, TField *field = nullptr, int shift = 0);
    // The observers' buffer needs changed: when open in stBrowse the window is
    // re-read around the current row (neRowsRefilled).
    void BufferCountChanged();
    // True when this cursor follows the observer itself (a detail cursor of
    // a master data source); a data source refuses to follow such a cursor.
    virtual bool IsLinkedTo(const TCursorObserver *) const { return false; }
    int BufferCount() const { return window_.bufferCount; }

    // The buffered rows, for lists that show several rows at once.
    int BufferedRowCount() const { return int(window_.rows.size()); }
    int ActiveBufferIndex() const { return window_.active; }
    // A field's value in a buffered row (read on first use).
    TValue BufferedValue(int row, const TField *field);

protected:
    // What to open; called by Open.
    virtual TRowSourceRequest MakeRequest() const = 0;
    // Opens the row source: through the connection, which is connected
    // first. A test double may supply its own.
    virtual std::unique_ptr<TRowSource> OpenRowSource();
    // Raised with the cursor's name in front.
    [[noreturn]] void RaiseError(const QString &message) const;
    void CheckInactive() const;

private:
    friend class TField;
    TValue FieldValue(const TField *field);
    void AssignField(TField *field, const TValue &value);

    void SetState(TCursorState state);
    // True when the field was assigned since the last Edit or Insert.
    bool Assigned(const TField *field) const;
    // After a refused write of buffered row `index`, because another program
    // changed it: reads the row as stored now; the fields assigned in the
    // edit keep their values and expect the stored ones, the others show
    // them (neRowsRefilled). False when the row cannot be read.
    bool RefreshAfterConflict(int index);
    // A write of buffered row `index` failed in the row source: its pending
    // change is abandoned and the failure raised as EDatabaseError with the
    // engine's text; after a conflict the row is read again first and
    // `afterConflict` says what that means for the user.
    [[noreturn]] void RaiseWriteFailure(const EProviderError &error, int index,
                                        const QString &afterConflict);
    void Fire(const TCursorEvent &event);
    // First (last false) or Last: refills the window from that end.
    void RefillFromEnd(bool last);
    void RunWithPolicy(const TErrorEvent &handler, const std::function<void()> &step);
    int RecomputeBufferCount() const;

    // Rebuilds the window around a row (see TRowWindow::Reread) and sets
    // Eof/Bof; with `strict` an unreadable row raises "Record not found".
    void Reread(std::optional<TBookmark> bookmark, int targetIndex, bool strict = false);
    void DropAll();

    QString name_;
    TDBConnection *connection_ = nullptr;
    TCursorLocation location_ = clUseClient;
    TCursorType cursorType_ = ctKeyset;
    TLockType lockType_ = ltOptimistic;

    TCursorState state_ = stInactive;
    bool eof_ = true;
    bool bof_ = true;
    bool modified_ = false;
    std::unique_ptr<TRowSource> source_;
    std::unique_ptr<TRowSourceClone> clone_;
    std::vector<std::unique_ptr<TField>> fields_;
    std::vector<TField *> modifiedFields_;
    // Values of assigned fields as they were read before their first
    // assignment; a stored row is changed only while they still hold.
    std::vector<std::optional<TValue>> expected_;
    TRowWindow window_;
    std::vector<TCursorObserver *> observers_;
};
