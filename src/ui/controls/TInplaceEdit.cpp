#include "ui/controls/TInplaceEdit.h"

#include "ui/controls/TDBGrid.h"
#include "ui/controls/TErrorBox.h"

#include <QKeyEvent>

TInplaceEdit::TInplaceEdit(TDBGrid *grid) : QLineEdit(grid->viewport()), grid_(grid) {
    setObjectName(QStringLiteral("InplaceEdit"));
    setFrame(false);
    // Every change must pass through the key handling, which asks the grid.
    setContextMenuPolicy(Qt::NoContextMenu);
    setAcceptDrops(false);
    hide();
    connect(this, &QLineEdit::textEdited, this, [this] { grid_->EditorTextChanged(); });
}

bool TInplaceEdit::GoesToGrid(const QKeyEvent &event) const {
    const bool ctrl = event.modifiers() & Qt::ControlModifier;
    switch (event.key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F2:
    case Qt::Key_Insert:
        return true;
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Delete:
        return ctrl;
    default:
        return false;
    }
}

bool TInplaceEdit::event(QEvent *event) {
    // Tab moves between cells, not out of the grid.
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            keyPressEvent(key);
            return true;
        }
    }
    return QLineEdit::event(event);
}

void TInplaceEdit::keyPressEvent(QKeyEvent *event) {
    if (GoesToGrid(*event)) {
        TErrorBox::Guard([&] { grid_->HandleKey(event); });
        return;
    }
    const bool changes = !event->text().isEmpty() || event->key() == Qt::Key_Backspace ||
                         event->key() == Qt::Key_Delete || event->matches(QKeySequence::Paste) ||
                         event->matches(QKeySequence::Cut) || event->matches(QKeySequence::Undo) ||
                         event->matches(QKeySequence::Redo);
    const bool copyOnly =
        event->matches(QKeySequence::Copy) || event->matches(QKeySequence::SelectAll);
    if (changes && !copyOnly) {
        bool allowed = false;
        TErrorBox::Guard([&] { allowed = grid_->CanEditModify(); });
        if (!allowed)
            return;
    }
    QLineEdit::keyPressEvent(event);
}

void TInplaceEdit::inputMethodEvent(QInputMethodEvent *event) {
    bool allowed = false;
    TErrorBox::Guard([&] { allowed = grid_->CanEditModify(); });
    if (allowed)
        QLineEdit::inputMethodEvent(event);
}

void TInplaceEdit::focusOutEvent(QFocusEvent *event) {
    QLineEdit::focusOutEvent(event);
    grid_->EditorFocusLost();
}
