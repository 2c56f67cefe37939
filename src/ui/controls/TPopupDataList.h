#pragma once

#include "data/DataTypes.h"
#include "ui/controls/TListSourceLink.h"
#include "ui/controls/TLookupSearch.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

class QKeyEvent;
class QScrollBar;
class QTimer;
class TDataSource;
class TField;
class TRecordCursor;

// The drop-down list of a lookup combo box: a window shown on top of the
// others without taking the activation, listing consecutive rows of the list
// cursor. It highlights the row of its key value; moving the highlight moves
// the list cursor and makes that row's key the list's key. Nothing is
// written anywhere: the combo box takes the key when the list closes.
//
// The combo box keeps the focus while the list is open and hands its keys
// on through HandleKey; the mouse reaches the list directly.
class TPopupDataList : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMinRows = 1;
    static constexpr int kMaxRows = 100;

    explicit TPopupDataList(QWidget *owner);
    ~TPopupDataList() override;

    // Follows the list source with `rows` rows (clamped to 1..100), looks the
    // fields up and locates the key; when the key is not found the list
    // cursor goes to its first row.
    void Attach(TDataSource *listSource, const QString &keyField, const QString &listFields,
                int listFieldIndex, int rows, const TValue &key);
    // Stops following the list source.
    void Detach();

    int RowCount() const { return rowCount_; }
    void SetRowCount(int rows);
    int RowHeight() const;
    // The height of `rows` rows with the list's border.
    int HeightFor(int rows) const;
    // Rows of the list cursor the list can show now.
    int ShownRowCount() const { return link_.ShownRowCount(); }
    // The shown row holding the key value, or -1.
    int HighlightedRow() const;
    const TValue &KeyValue() const { return key_; }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value) { readOnly_ = value; }
    QScrollBar *ScrollBar() const { return scrollBar_; }

    // A key the combo box passes on while the list is open; true when taken.
    bool HandleKey(QKeyEvent *event);
    // Mouse tracking, also handed over from the combo box (global positions).
    void StartTracking(const QPoint &globalPos);
    void TrackTo(const QPoint &globalPos);
    bool Tracking() const { return tracking_; }

    // The list wants to close: accepting (a release inside the list) or not.
    std::function<void(bool accept)> OnCloseRequest;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    TRecordCursor *Cursor() const;
    void LocateKeyOrFirst();
    // Moves the list cursor `delta` rows from the highlighted row and takes
    // the key of the row it reaches.
    void MoveFromHighlight(int delta);
    void TakeCurrentKey();
    void SelectShownRow(int shownRow);
    int ShownRowAt(int y) const;
    // Shifts the shown rows by `rows` without changing the key.
    void ScrollRows(int rows);
    void ScrollAction(int action);
    void AutoScroll();
    void SyncScrollBar();
    int ColumnWidth(const TField &field) const;

    TListSourceLink link_;
    TField *keyField_ = nullptr;
    std::vector<TField *> listFields_;
    int listFieldIndex_ = 0; // the field the search looks in
    int rowCount_ = 7;
    TValue key_;
    TLookupSearch search_;
    bool readOnly_ = false;
    bool tracking_ = false;
    QPoint lastMouse_;
    int autoScrollDirection_ = 0;
    QTimer *autoScroll_ = nullptr;
    QScrollBar *scrollBar_ = nullptr;
};
