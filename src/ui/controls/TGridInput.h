#pragma once

class QKeyEvent;
class QMouseEvent;
class QPoint;
class TDBGrid;

// What the keyboard and the mouse do in a data grid. Every move goes
// through the grid's cursor; nothing here keeps state but a title drag.
class TGridInput {
public:
    explicit TGridInput(TDBGrid &grid) : grid_(grid) {}

    // True when the key was taken.
    bool Key(QKeyEvent &event);
    void Press(QMouseEvent &event);
    void Move(QMouseEvent &event);
    void Release(QMouseEvent &event);

private:
    bool RowKey(QKeyEvent &event, bool ctrl);
    bool ColumnKey(QKeyEvent &event, bool ctrl);
    void Down();
    void Up();
    void Tab(bool forward);
    void Escape();
    void Enter();
    void Insert();
    void Delete();
    void StepColumn(int step);
    // The column whose right title edge is within reach of x, or -1.
    int ResizeEdgeAt(const QPoint &pos) const;

    TDBGrid &grid_;
    enum class Drag { None, Resize, Move };
    Drag drag_ = Drag::None;
    int dragColumn_ = -1;
    int dragStartX_ = 0;
    int dragStartWidth_ = 0;
    bool dragMoved_ = false;
};
