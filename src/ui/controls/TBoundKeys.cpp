#include "ui/controls/TBoundKeys.h"

#include <QKeyEvent>
#include <QKeySequence>

QChar TBoundKeys::TypedChar(const QKeyEvent *event) {
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return QChar();
    const QString text = event->text();
    if (text.isEmpty())
        return QChar();
    const QChar c = text.front();
    if (c.unicode() < 32 || c.unicode() == 127)
        return QChar();
    return c;
}

bool TBoundKeys::IsTextCommand(const QKeyEvent *event) {
    const Qt::KeyboardModifiers mods =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    switch (event->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        return true;
    case Qt::Key_Insert:
        return mods == Qt::ShiftModifier;
    default:
        break;
    }
    static const QKeySequence::StandardKey commands[] = {
        QKeySequence::Undo,
        QKeySequence::Redo,
        QKeySequence::Cut,
        QKeySequence::Paste,
        QKeySequence::DeleteEndOfWord,
        QKeySequence::DeleteStartOfWord,
        QKeySequence::DeleteEndOfLine,
        QKeySequence::DeleteCompleteLine,
    };
    for (QKeySequence::StandardKey command : commands)
        if (event->matches(command))
            return true;
    return false;
}

bool TBoundKeys::IsEscape(const QKeyEvent *event) {
    return event->key() == Qt::Key_Escape;
}

bool TBoundKeys::IsEnter(const QKeyEvent *event) {
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}
