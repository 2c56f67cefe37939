#pragma once

#include <QLineEdit>

class TDBGrid;

// The editor a grid opens over its current cell. It shows the field's text;
// a keystroke that would change the text first asks the grid whether the
// row may be edited and is dropped when not. Keys that move between rows
// and columns go to the grid.
class TInplaceEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TInplaceEdit(TDBGrid *grid);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool event(QEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    bool GoesToGrid(const QKeyEvent &event) const;
    TDBGrid *grid_;
};
