#pragma once

#include <QChar>

class QKeyEvent;

// How the bound controls classify a key before the platform edit acts on it.
class TBoundKeys {
public:
    // The character a key types (code 32 and above, not DEL, without Ctrl
    // or Alt), or a null character.
    static QChar TypedChar(const QKeyEvent *event);
    // Backspace, Delete, Shift+Insert and the undo, redo, cut, paste and
    // word or line deletion shortcuts: keys that change the text without
    // typing a character.
    static bool IsTextCommand(const QKeyEvent *event);
    static bool IsEscape(const QKeyEvent *event);
    static bool IsEnter(const QKeyEvent *event);
};
