#pragma once

#include <QLineEdit>
#include <functional>

// A plain single-line edit that reports released keys: OnKeyUp gets the
// edit, the virtual-key code of the released key (13 for either Enter key)
// and the Shift/Ctrl/Alt state at release. A key held down reports once, at
// its release. An exception from the handler goes to the error box.
class TEdit : public QLineEdit {
    Q_OBJECT

public:
    using KeyUpHandler = std::function<void(TEdit *sender, int key, Qt::KeyboardModifiers shift)>;

    explicit TEdit(QWidget *parent = nullptr);

    KeyUpHandler OnKeyUp;

    // The virtual-key code of a Qt key: letters as their capitals, digits as
    // themselves, Enter as 13 and so on; 0 for a key without one.
    static int VirtualKeyCode(int qtKey);

protected:
    void keyReleaseEvent(QKeyEvent *event) override;
};
