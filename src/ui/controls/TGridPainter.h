#pragma once

#include <QRect>

class QPainter;
class TDBGrid;

// Draws a data grid: the title row and indicator column on the button face
// with raised edges, the cells of the rows the cursor buffers, the current
// row's indicator glyph, and the current cell in the highlight colours
// while the grid has the focus.
class TGridPainter {
public:
    explicit TGridPainter(TDBGrid &grid) : grid_(grid) {}
    void Paint(const QRect &area);

    enum class Glyph { Arrow, IBeam, Asterisk };
    // Draws a 6 by 11 indicator glyph with its top-left corner at `at`.
    static void DrawGlyph(QPainter &painter, const QPoint &at, Glyph glyph);

private:
    void PaintTitles(QPainter &painter);
    void PaintRows(QPainter &painter);
    void PaintIndicator(QPainter &painter, int shownRows);
    void RaisedCell(QPainter &painter, const QRect &cell);
    void GridLines(QPainter &painter, int rows);

    TDBGrid &grid_;
};
