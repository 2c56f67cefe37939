#pragma once

#include "data/CursorObserver.h"
#include "data/DataTypes.h"

#include <QString>
#include <functional>
#include <vector>

class TDataLink;
class TField;
class TRecordCursor;

// Follows one cursor and passes its notifications on to the data links of
// the controls bound to it, running the window's own handlers.
//
// State: a copy of the cursor's state; stInactive while not Enabled or
// without a cursor. On neStateChanged, when the copy changes: every link is
// told (its active and editing flags are recomputed), then OnStateChange
// runs, then, only when the copy was stInactive before, OnDataChange with no
// field. So opening a cursor runs OnStateChange and OnDataChange once;
// closing it runs OnStateChange only.
//
// Every other notification is ignored while the copy is stInactive. Else the
// links are told first, the last attached first, and then: neFieldEdited runs
// OnDataChange with its field; neRecordEdited, neRowsRefilled, neScrolled and
// neLayoutChanged run OnDataChange with no field; neFlushControls runs
// OnUpdateData; the others run no handler.
class TDataSource : public TCursorObserver {
public:
    using TDataChangeEvent = std::function<void(TDataSource &, TField *)>;
    using TNotifyEvent = std::function<void(TDataSource &)>;

    explicit TDataSource(QString name = QString());
    ~TDataSource() override;
    TDataSource(const TDataSource &) = delete;
    TDataSource &operator=(const TDataSource &) = delete;

    const QString &Name() const { return name_; }

    TRecordCursor *DataSet() const { return dataSet_; }
    // Follows another cursor (or none). Refuses, with "<name>: Circular
    // datalinks are not allowed", a cursor that is itself linked to this
    // data source.
    void SetDataSet(TRecordCursor *cursor);
    bool AutoEdit() const { return autoEdit_; }
    void SetAutoEdit(bool value) { autoEdit_ = value; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);

    TDataChangeEvent OnDataChange;
    TNotifyEvent OnStateChange;
    TNotifyEvent OnUpdateData;

    TCursorState State() const { return state_; }
    // Asks the cursor to Edit, only when AutoEdit is true and the state is
    // stBrowse. A bound control calls this when the user starts typing.
    void Edit();

    // Links register themselves here (TDataLink::SetDataSource).
    void AddLink(TDataLink *link);
    void RemoveLink(TDataLink *link);
    const std::vector<TDataLink *> &Links() const { return links_; }
    // A link's BufferCount changed: the cursor re-reads its window.
    void LinkBufferCountChanged();

    void CursorDataEvent(TDataEvent event, TField *field, int shift) override;
    int RequiredBufferCount() const override;

private:
    void SyncState();

    QString name_;
    TRecordCursor *dataSet_ = nullptr;
    bool autoEdit_ = true;
    bool enabled_ = true;
    TCursorState state_ = stInactive;
    std::vector<TDataLink *> links_;
};
