#pragma once

#include "data/DataTypes.h"

class TDataSource;
class TField;
class TRecordCursor;

// The tie between one bound control (or list) and a data source. Controls
// derive from it and override the hooks; each hook does nothing by default,
// and RowsRefilled, WindowScrolled and LayoutReset default to RowChanged with
// no field.
//
// Flags: active while the data source's state is not stInactive; editing
// while it is stEdit or stInsert and the link is not read-only. Each change
// calls ActiveFlagChanged or EditingFlagChanged. A link that becomes active
// first fits its shown rows around the current row; one that becomes
// inactive shows from the top again.
//
// While active: neFieldEdited and neRecordEdited call RowChanged (not while
// the link itself is writing its control into the field); neRowsRefilled,
// neScrolled and neLayoutChanged move the first shown row by the shift, then
// just far enough that the current row is among the BufferCount rows shown,
// and call RowsRefilled, WindowScrolled (with that last move) or LayoutReset;
// neFlushControls calls WriteData with Writing() true; neSettle calls
// SettleRow; neFocusField calls FocusField.
class TDataLink {
public:
    TDataLink() = default;
    virtual ~TDataLink();
    TDataLink(const TDataLink &) = delete;
    TDataLink &operator=(const TDataLink &) = delete;

    TDataSource *DataSource() const { return dataSource_; }
    void SetDataSource(TDataSource *source);
    TRecordCursor *DataSet() const;

    int BufferCount() const { return bufferCount_; }
    void SetBufferCount(int count);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value);

    bool Active() const { return active_; }
    bool Editing() const { return editing_; }
    bool Writing() const { return writing_; }
    // Index, among the cursor's buffered rows, of the first row shown.
    int FirstShownRow() const { return firstShown_; }
    // The current row's place among the rows shown (0 for the first).
    int ActiveRow() const;
    // Rows the link can show now: the buffered rows from the first shown,
    // at most BufferCount.
    int ShownRowCount() const;
    // Asks the data source to put the cursor in edit state (AutoEdit rules);
    // true when the cursor then edits or inserts.
    bool Edit();

    // Called by the data source.
    void DataEvent(TDataEvent event, TField *field, int shift);
    void UpdateFlags();
    void SourceGone();

protected:
    virtual void ActiveFlagChanged() {}
    virtual void EditingFlagChanged() {}
    virtual void RowChanged(TField *) {}
    virtual void RowsRefilled() { RowChanged(nullptr); }
    virtual void WindowScrolled(int) { RowChanged(nullptr); }
    virtual void LayoutReset() { RowChanged(nullptr); }
    virtual void WriteData() {}
    virtual void SettleRow() {}
    virtual void FocusField(TField *) {}

private:
    // Moves the first shown row just far enough to show the current row;
    // returns how far it moved.
    int FitWindow();

    TDataSource *dataSource_ = nullptr;
    int bufferCount_ = 1;
    bool readOnly_ = false;
    bool active_ = false;
    bool editing_ = false;
    bool writing_ = false;
    int firstShown_ = 0;
};
