#include "ui/controls/TGridPainter.h"

#include "data/RecordCursor.h"
#include "ui/controls/TColumn.h"
#include "ui/controls/TDBGrid.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

void TGridPainter::Paint(const QRect &area) {
    QPainter painter(grid_.viewport());
    painter.setClipRect(area);
    const QPalette &palette = grid_.palette();
    painter.fillRect(area, palette.color(QPalette::Base));
    const int shownRows = grid_.CursorHoldsRows() ? grid_.link_.ShownRowCount() : 0;
    // Scrolled columns never draw over the indicator.
    painter.save();
    painter.setClipRect(
        QRect(grid_.IndicatorWidth(), 0, grid_.viewport()->width(), grid_.viewport()->height()) &
        area);
    PaintRows(painter);
    PaintTitles(painter);
    GridLines(painter, std::max(1, shownRows));
    painter.restore();
    PaintIndicator(painter, shownRows);
}

void TGridPainter::RaisedCell(QPainter &painter, const QRect &cell) {
    const QPalette &palette = grid_.palette();
    painter.fillRect(cell, palette.color(QPalette::Button));
    painter.setPen(palette.color(QPalette::Light));
    painter.drawLine(cell.topLeft(), cell.topRight());
    painter.drawLine(cell.topLeft(), cell.bottomLeft());
    painter.setPen(palette.color(QPalette::Dark));
    painter.drawLine(cell.bottomLeft(), cell.bottomRight());
    painter.drawLine(cell.topRight(), cell.bottomRight());
}

void TGridPainter::PaintTitles(QPainter &painter) {
    if (!(grid_.Options() & dgTitles))
        return;
    painter.setFont(grid_.TitleFont());
    const QColor text = grid_.palette().color(
        grid_.isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText);
    for (int column : grid_.ShownColumns()) {
        const QRect cell = grid_.CellRect(column, -1);
        const QRect edged(cell.left(), cell.top(), cell.width() + 1, cell.height());
        RaisedCell(painter, edged);
        painter.setPen(text);
        painter.drawText(cell.adjusted(2, 2, -2, 0), Qt::AlignLeft | Qt::AlignTop,
                         grid_.Columns()[column]->TitleCaption());
    }
    // The title row right of the last column.
    const int end = grid_.TotalWidth() - grid_.hOffset_;
    if (end < grid_.viewport()->width())
        painter.fillRect(QRect(end, 0, grid_.viewport()->width() - end, grid_.TitleHeight()),
                         grid_.palette().color(QPalette::Base));
}

void TGridPainter::PaintRows(QPainter &painter) {
    painter.setFont(grid_.font());
    const QPalette &palette = grid_.palette();
    const bool focused = grid_.hasFocus() || grid_.EditorShown();
    const int current = grid_.CurrentRow();
    const int rows = grid_.CursorHoldsRows() ? grid_.link_.ShownRowCount() : 0;
    const QPalette::ColorGroup group = grid_.isEnabled() ? QPalette::Active : QPalette::Disabled;
    for (int row = 0; row < rows; ++row) {
        for (int column : grid_.ShownColumns()) {
            const QRect cell = grid_.CellRect(column, row);
            if (!cell.intersects(painter.clipBoundingRect().toRect()))
                continue;
            const bool selected = row == current && column == grid_.SelectedIndex() &&
                                  (focused || (grid_.Options() & dgAlwaysShowSelection));
            const bool highlight = selected && !grid_.EditorShown();
            painter.fillRect(cell, highlight ? palette.color(QPalette::Highlight)
                                             : palette.color(QPalette::Base));
            painter.setPen(highlight ? palette.color(group, QPalette::HighlightedText)
                                     : palette.color(group, QPalette::Text));
            const TColumn *col = grid_.Columns()[column];
            const QRect text = cell.adjusted(2, 2, -2, 0);
            painter.save();
            painter.setClipRect(cell, Qt::IntersectClip);
            painter.drawText(text, int(col->Alignment()) | Qt::AlignTop,
                             grid_.CellText(column, row));
            painter.restore();
            if (selected && grid_.hasFocus() && !grid_.EditorShown()) {
                QStyleOptionFocusRect option;
                option.initFrom(&grid_);
                option.rect = cell;
                option.backgroundColor = palette.color(QPalette::Highlight);
                grid_.style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, &grid_);
            }
        }
    }
}

void TGridPainter::GridLines(QPainter &painter, int rows) {
    painter.setPen(grid_.palette().color(QPalette::Mid));
    const int top = grid_.DataTop();
    const int bottom = top + rows * grid_.RowHeight() - 1;
    if (grid_.Options() & dgColLines) {
        for (int column : grid_.ShownColumns()) {
            const int x = grid_.CellRect(column, 0).right() + 1;
            painter.drawLine(x, top, x, bottom);
        }
    }
    if (grid_.Options() & dgRowLines) {
        const int right = grid_.TotalWidth() - grid_.hOffset_ - 1;
        for (int row = 1; row <= rows; ++row) {
            const int y = top + row * grid_.RowHeight() - 1;
            painter.drawLine(grid_.IndicatorWidth(), y, right, y);
        }
    }
}

void TGridPainter::PaintIndicator(QPainter &painter, int shownRows) {
    if (!(grid_.Options() & dgIndicator))
        return;
    const int width = TDBGrid::kIndicatorWidth;
    const int line = (grid_.Options() & dgRowLines) ? 1 : 0;
    if (grid_.Options() & dgTitles)
        RaisedCell(painter, QRect(0, 0, width, grid_.TitleHeight()));
    const int current = grid_.CurrentRow();
    for (int row = 0; row < std::max(1, shownRows); ++row) {
        const QRect cell(0, grid_.DataTop() + row * grid_.RowHeight(), width,
                         grid_.RowHeight() - line + line);
        RaisedCell(painter, cell);
        if (row != current)
            continue;
        Glyph glyph = Glyph::Arrow;
        if (const TRecordCursor *cursor = grid_.Cursor()) {
            if (cursor->State() == stEdit)
                glyph = Glyph::IBeam;
            else if (cursor->State() == stInsert)
                glyph = Glyph::Asterisk;
        }
        // Right-aligned in the cell, centred vertically.
        const QPoint at(cell.right() - 6, cell.top() + (cell.height() - 11) / 2);
        DrawGlyph(painter, at, glyph);
    }
}

void TGridPainter::DrawGlyph(QPainter &painter, const QPoint &at, Glyph glyph) {
    painter.save();
    painter.setPen(Qt::black);
    painter.setBrush(Qt::black);
    painter.translate(at);
    switch (glyph) {
    case Glyph::Arrow: {
        // A right-pointing triangle 4 wide, 7 high, centred in 6 by 11.
        for (int i = 0; i < 4; ++i)
            painter.drawLine(1 + i, 2 + i, 1 + i, 8 - i);
        break;
    }
    case Glyph::IBeam:
        painter.drawLine(1, 1, 4, 1);
        painter.drawLine(2, 2, 2, 8);
        painter.drawLine(3, 2, 3, 8);
        painter.drawLine(1, 9, 4, 9);
        break;
    case Glyph::Asterisk:
        painter.drawLine(2, 3, 2, 7);
        painter.drawLine(3, 3, 3, 7);
        painter.drawLine(0, 5, 5, 5);
        painter.drawLine(0, 3, 5, 7);
        painter.drawLine(0, 7, 5, 3);
        break;
    }
    painter.restore();
}
