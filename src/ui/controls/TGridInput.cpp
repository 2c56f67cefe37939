#include "ui/controls/TGridInput.h"

#include "data/RecordCursor.h"
#include "ui/controls/TColumn.h"
#include "ui/controls/TDBGrid.h"
#include "ui/controls/TErrorBox.h"
#include "ui/controls/TInplaceEdit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <algorithm>

namespace {
constexpr int kResizeReach = 3;

// Where a mouse event happened, in the viewport's coordinates. The scroll
// area hands the viewport's own events to the grid's handlers unchanged, in
// the viewport's coordinates, while one on the grid's frame comes in the
// grid's; the global position is the same for both.
QPoint ViewportPos(const TDBGrid &grid, const QMouseEvent &event) {
    return grid.viewport()->mapFromGlobal(event.globalPosition().toPoint());
}
} // namespace

bool TGridInput::Key(QKeyEvent &event) {
    TRecordCursor *cursor = grid_.Cursor();
    if (!cursor || !grid_.link_.Active())
        return false;
    const bool ctrl = event.modifiers() & Qt::ControlModifier;
    return RowKey(event, ctrl) || ColumnKey(event, ctrl);
}

bool TGridInput::RowKey(QKeyEvent &event, bool ctrl) {
    TRecordCursor &cursor = *grid_.Cursor();
    switch (event.key()) {
    case Qt::Key_Up:
        ctrl ? grid_.MoveCursor(-grid_.CurrentRow()) : Up();
        return true;
    case Qt::Key_Down:
        ctrl ? grid_.MoveCursor(grid_.link_.ShownRowCount() - 1 - grid_.CurrentRow()) : Down();
        return true;
    case Qt::Key_PageUp:
        grid_.MoveCursor(ctrl ? -grid_.CurrentRow() : -grid_.DataRowCount());
        return true;
    case Qt::Key_PageDown:
        grid_.MoveCursor(ctrl ? grid_.link_.ShownRowCount() - 1 - grid_.CurrentRow()
                              : grid_.DataRowCount());
        return true;
    case Qt::Key_Escape:
        Escape();
        return true;
    case Qt::Key_F2:
        grid_.ShowEditor();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Enter();
        return true;
    case Qt::Key_Insert:
        if (!ctrl)
            Insert();
        return !ctrl;
    case Qt::Key_Delete:
        if (ctrl)
            Delete();
        return ctrl;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (!(grid_.Options() & dgTabs))
            return false;
        Tab(event.key() == Qt::Key_Tab && !(event.modifiers() & Qt::ShiftModifier));
        return true;
    default:
        break;
    }
    (void)cursor;
    return false;
}

bool TGridInput::ColumnKey(QKeyEvent &event, bool ctrl) {
    const std::vector<int> &shown = grid_.ShownColumns();
    if (shown.empty())
        return false;
    switch (event.key()) {
    case Qt::Key_Home:
    case Qt::Key_End: {
        const bool home = event.key() == Qt::Key_Home;
        if (ctrl || shown.size() == 1) {
            grid_.HideEditor();
            home ? grid_.Cursor()->First() : grid_.Cursor()->Last();
        } else {
            grid_.SetSelectedIndex(home ? shown.front() : shown.back());
        }
        return true;
    }
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (grid_.EditorShown())
            return false; // the editor moves its caret
        if (ctrl)
            grid_.SetSelectedIndex(event.key() == Qt::Key_Left ? shown.front() : shown.back());
        else
            StepColumn(event.key() == Qt::Key_Left ? -1 : 1);
        return true;
    default:
        return false;
    }
}

void TGridInput::StepColumn(int step) {
    const std::vector<int> &shown = grid_.ShownColumns();
    const auto it = std::find(shown.begin(), shown.end(), grid_.SelectedIndex());
    const int at = it == shown.end() ? 0 : int(it - shown.begin());
    const int next = std::clamp(at + step, 0, int(shown.size()) - 1);
    grid_.SetSelectedIndex(shown[std::size_t(next)]);
}

void TGridInput::Up() {
    TRecordCursor &cursor = *grid_.Cursor();
    // A new row at the end that nobody typed in goes away again.
    if (cursor.State() == stInsert && !cursor.Modified() && !grid_.link_.Modified() &&
        cursor.Eof()) {
        cursor.Cancel();
        return;
    }
    grid_.MoveCursor(-1);
}

void TGridInput::Down() {
    TRecordCursor &cursor = *grid_.Cursor();
    if (cursor.State() == stInsert && !cursor.Modified() && !grid_.link_.Modified()) {
        if (!cursor.Eof())
            cursor.Cancel();
        return;
    }
    grid_.MoveCursor(1);
}

void TGridInput::Tab(bool forward) {
    const std::vector<int> &shown = grid_.ShownColumns();
    TDBGridColumns &columns = grid_.Columns();
    const bool anyStop =
        std::any_of(shown.begin(), shown.end(), [&](int c) { return columns[c]->IsTabStop(); });
    grid_.UpdateData();
    if (!anyStop) {
        const int moved = grid_.Cursor()->MoveBy(forward ? 1 : -1);
        // At either end Tab leaves the grid rather than trapping the user.
        if (moved == 0)
            grid_.focusNextPrevChild(forward);
        return;
    }
    const auto it = std::find(shown.begin(), shown.end(), grid_.SelectedIndex());
    int at = it == shown.end() ? 0 : int(it - shown.begin());
    const int n = int(shown.size());
    for (int step = 0; step < n; ++step) {
        at += forward ? 1 : -1;
        if (at >= n || at < 0) {
            const int moved = grid_.Cursor()->MoveBy(forward ? 1 : -1);
            if (moved == 0) {
                grid_.focusNextPrevChild(forward);
                return;
            }
            at = forward ? 0 : n - 1;
        }
        if (columns[shown[std::size_t(at)]]->IsTabStop()) {
            grid_.SetSelectedIndex(shown[std::size_t(at)]);
            return;
        }
    }
}

void TGridInput::Escape() {
    TRecordCursor &cursor = *grid_.Cursor();
    if (grid_.link_.Modified()) {
        grid_.link_.SetModified(false);
        grid_.PlaceEditor(); // reload the field's text
    } else {
        cursor.Cancel(); // nothing in stBrowse
    }
    grid_.HideEditor();
}

void TGridInput::Enter() {
    grid_.UpdateData();
    if (grid_.EditorShown())
        grid_.HideEditor();
    else
        grid_.ShowEditor();
}

void TGridInput::Insert() {
    if (grid_.AcceptsEditing())
        grid_.Cursor()->Insert();
}

void TGridInput::Delete() {
    TRecordCursor &cursor = *grid_.Cursor();
    if (!grid_.AcceptsEditing() || cursor.IsEmpty())
        return;
    const QString question = QStringLiteral("Delete record?");
    const bool yes =
        TDBGrid::ConfirmHook
            ? TDBGrid::ConfirmHook(question)
            : QMessageBox::question(&grid_, TErrorBox::ApplicationTitle(), question,
                                    QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
    if (yes)
        cursor.Delete();
}

int TGridInput::ResizeEdgeAt(const QPoint &pos) const {
    if (!(grid_.Options() & dgColumnResize) || !(grid_.Options() & dgTitles) ||
        pos.y() >= grid_.TitleHeight())
        return -1;
    for (int column : grid_.ShownColumns()) {
        const QRect cell = grid_.CellRect(column, -1);
        if (std::abs(pos.x() - (cell.right() + 1)) <= kResizeReach)
            return column;
    }
    return -1;
}

void TGridInput::Press(QMouseEvent &event) {
    if (event.button() != Qt::LeftButton)
        return;
    const QPoint pos = ViewportPos(grid_, event);
    if ((grid_.Options() & dgTitles) && pos.y() < grid_.TitleHeight()) {
        dragColumn_ = ResizeEdgeAt(pos);
        if (dragColumn_ >= 0) {
            drag_ = Drag::Resize;
            dragStartWidth_ = grid_.Columns()[dragColumn_]->Width();
        } else {
            dragColumn_ = grid_.ColumnAt(pos.x());
            drag_ = dragColumn_ >= 0 ? Drag::Move : Drag::None;
        }
        dragStartX_ = pos.x();
        dragMoved_ = false;
        return;
    }
    const int row = grid_.RowAt(pos.y());
    if (row < 0)
        return;
    if (grid_.focusPolicy() == Qt::NoFocus || !grid_.isEnabled())
        return;
    grid_.setFocus(Qt::MouseFocusReason);
    if (!grid_.hasFocus() && !grid_.isAncestorOf(QApplication::focusWidget()))
        return;
    const int column = grid_.ColumnAt(pos.x());
    const bool sameCell = row == grid_.CurrentRow() && column == grid_.SelectedIndex();
    grid_.UpdateData();
    grid_.HideEditor();
    if (!grid_.CursorHoldsRows() || row >= grid_.link_.ShownRowCount())
        return;
    grid_.MoveCursor(row - grid_.CurrentRow());
    if (column >= 0)
        grid_.SetSelectedIndex(column);
    if (column >= 0 && grid_.OnCellClick)
        grid_.OnCellClick(grid_.Columns()[column]);
    if (sameCell && column >= 0)
        grid_.ShowEditor();
}

void TGridInput::Move(QMouseEvent &event) {
    const QPoint pos = ViewportPos(grid_, event);
    if (drag_ == Drag::None) {
        grid_.viewport()->setCursor(ResizeEdgeAt(pos) >= 0 ? Qt::SplitHCursor : Qt::ArrowCursor);
        return;
    }
    if (std::abs(pos.x() - dragStartX_) > 2)
        dragMoved_ = true;
    if (drag_ == Drag::Resize && dragMoved_)
        grid_.Columns()[dragColumn_]->SetWidth(
            std::max(0, dragStartWidth_ + pos.x() - dragStartX_));
}

void TGridInput::Release(QMouseEvent &event) {
    const Drag drag = drag_;
    drag_ = Drag::None;
    if (event.button() != Qt::LeftButton || drag == Drag::None)
        return;
    const QPoint pos = ViewportPos(grid_, event);
    TDBGridColumns &columns = grid_.Columns();
    if (drag == Drag::Move) {
        const int target = grid_.ColumnAt(pos.x());
        if (dragMoved_ && target >= 0 && target != dragColumn_)
            columns.Move(dragColumn_, target);
        else if (!dragMoved_ && grid_.OnTitleClick)
            grid_.OnTitleClick(columns[dragColumn_]);
    }
}
