#pragma once

#include "ui/controls/TDBGridColumns.h"
#include "ui/controls/TGridDataLink.h"

#include <QAbstractScrollArea>
#include <QFont>
#include <functional>
#include <memory>
#include <vector>

class TColumn;
class TGridInput;
class TDataSource;
class TField;
class TInplaceEdit;
class TRecordCursor;

enum TDBGridOption : unsigned {
    dgEditing = 1u << 0,
    dgAlwaysShowEditor = 1u << 1,
    dgTitles = 1u << 2,
    dgIndicator = 1u << 3,
    dgColumnResize = 1u << 4,
    dgColLines = 1u << 5,
    dgRowLines = 1u << 6,
    dgTabs = 1u << 7,
    dgRowSelect = 1u << 8,
    dgAlwaysShowSelection = 1u << 9,
    dgConfirmDelete = 1u << 10,
    dgCancelOnExit = 1u << 11,
    dgMultiSelect = 1u << 12,
};
using TDBGridOptions = unsigned;

// A table of the rows a cursor buffers: one row per record, one column per
// entry of Columns. The grid has no selection of its own: its current row is
// always the cursor's, and every move the user makes (keys, mouse, scroll
// bar) moves the cursor. The cursor buffers exactly the rows that fit.
class TDBGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int kIndicatorWidth = 11;
    static constexpr TDBGridOptions kDefaultOptions = dgEditing | dgTitles | dgIndicator |
                                                      dgColumnResize | dgColLines | dgRowLines |
                                                      dgTabs | dgConfirmDelete | dgCancelOnExit;

    explicit TDBGrid(QWidget *parent = nullptr);
    ~TDBGrid() override;

    TDataSource *DataSource() const { return link_.DataSource(); }
    void SetDataSource(TDataSource *source);
    TRecordCursor *Cursor() const { return link_.DataSet(); }
    TGridDataLink &DataLink() { return link_; }

    TDBGridColumns &Columns() { return columns_; }
    TDBGridOptions Options() const { return options_; }
    void SetOptions(TDBGridOptions options);
    const QFont &TitleFont() const { return titleFont_; }
    void SetTitleFont(const QFont &font);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value) { readOnly_ = value; }

    // Events the windows may handle.
    std::function<void()> OnDblClick;
    std::function<void(TColumn *)> OnTitleClick;
    std::function<void(TColumn *)> OnCellClick;
    std::function<void()> OnColEnter;
    std::function<void(QKeyEvent *)> OnKeyDown;
    // Asks whether to delete the current record; a message box unless a
    // test replaces it.
    static std::function<bool(const QString &)> ConfirmHook;

    // Layout, in the viewport's coordinates.
    int RowHeight() const { return rowHeight_; }
    int TitleHeight() const { return titleHeight_; }
    int DataTop() const { return (options_ & dgTitles) ? titleHeight_ : 0; }
    int IndicatorWidth() const { return (options_ & dgIndicator) ? kIndicatorWidth : 0; }
    // Data rows that fit; the cursor buffers this many.
    int DataRowCount() const { return dataRows_; }
    // Columns shown, as indexes into Columns, in order.
    const std::vector<int> &ShownColumns() const { return shownColumns_; }
    // The cell of a column (an index into Columns) in a shown data row, or
    // in the title row when `row` is -1; empty for a hidden column.
    QRect CellRect(int column, int row) const;
    // The column index at a viewport x, -1 for the indicator or no column.
    int ColumnAt(int x) const;
    // The shown data row at a viewport y, -1 for the title or below the rows.
    int RowAt(int y) const;
    int TotalWidth() const;

    // The current cell: the cursor's row among the rows shown, and a column.
    int CurrentRow() const;
    int SelectedIndex() const { return selected_; }
    void SetSelectedIndex(int column);
    TColumn *SelectedColumn() const;
    TField *SelectedField() const;
    // The text a cell shows; empty outside the rows held.
    QString CellText(int column, int row) const;

    bool EditorShown() const;
    TInplaceEdit *InplaceEditor() const { return editor_; }
    void ShowEditor();
    void HideEditor();
    // Writes text typed in the in-place editor to the field.
    void UpdateData();

    // Called by the in-place editor.
    bool CanEditModify();
    void EditorTextChanged();
    void EditorFocusLost();
    bool HandleKey(QKeyEvent *event);

    // Called by the data link.
    void LinkActive();
    void LinkEditing();
    void LinkRecordChanged(TField *field);
    void LinkRowsRefilled();
    void LinkScrolled(int distance);
    void LinkLayoutChanged();
    void LinkWriteData();
    void LinkFocusField(TField *field);

    // Rebuilds the layout: fields, columns, row heights, rows that fit.
    void LayoutChanged();

protected:
    bool event(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent *event) override;

private:
    friend class TGridPainter;
    friend class TGridInput;
    bool CursorHoldsRows() const;
    bool CanChangeRows() const;
    bool AcceptsEditing() const;
    void MoveCursor(int distance);
    void CancelOnExit();
    void UpdateScrollBars();
    void VerticalAction(int action);
    void ThumbReleased();
    void MakeColumnVisible(int column);
    void PlaceEditor();
    void InvalidateRow(int row);

    TGridDataLink link_;
    TDBGridColumns columns_;
    TDBGridOptions options_ = kDefaultOptions;
    QFont titleFont_;
    bool readOnly_ = false;
    TInplaceEdit *editor_ = nullptr;
    bool editorShown_ = false;

    std::vector<int> shownColumns_;
    std::vector<int> columnX_; // left edge of each shown column, without scrolling
    int rowHeight_ = 17;
    int titleHeight_ = 17;
    int dataRows_ = 1;
    int selected_ = -1;
    int paintedCurrent_ = -1; // the shown row painted as current
    int hOffset_ = 0;
    bool inLayout_ = false;
    bool layoutPending_ = false;
    bool settingScrollBar_ = false;
    std::unique_ptr<TGridInput> input_;
};
