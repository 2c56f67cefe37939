#include "ui/controls/TDBMemo.h"

#include "data/Field.h"
#include "ui/controls/TBoundKeys.h"
#include "ui/controls/TErrorBox.h"
#include "ui/controls/TFieldTraits.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>

namespace {

const QString kStoredBreak = QStringLiteral("\r\n");

// The stored text as the memo shows it: one line break character.
QString ShownText(QString stored) {
    return stored.replace(kStoredBreak, QStringLiteral("\n"));
}

QString StoredText(QString shown) {
    return shown.replace(QLatin1Char('\n'), kStoredBreak);
}

} // namespace

TDBMemo::TDBMemo(QWidget *parent) : QPlainTextEdit(parent), link_(this) {
    link_.OnDataChange = [this] { DataChange(); };
    link_.OnEditingChange = [this] { UpdateWritable(); };
    link_.OnUpdateData = [this] { UpdateData(); };
    // Enter breaks the line; Tab moves the focus on.
    setTabChangesFocus(true);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WordWrap);
    connect(document(), &QTextDocument::contentsChange, this, [this](int, int removed, int added) {
        if (!settingText_ && (removed || added))
            TextChanged();
    });
    UpdateWritable();
}

void TDBMemo::SetDataSource(TDataSource *source) {
    link_.SetDataSource(source);
}

void TDBMemo::SetDataField(const QString &name) {
    link_.SetFieldName(name);
}

void TDBMemo::SetReadOnly(bool value) {
    link_.SetReadOnly(value);
    UpdateWritable();
}

void TDBMemo::SetAutoDisplay(bool value) {
    if (autoDisplay_ == value)
        return;
    autoDisplay_ = value;
    if (value && link_.Field() && TFieldTraits::IsLargeObject(*link_.Field()))
        LoadMemo();
}

bool TDBMemo::ResetsOnFocus() const {
    return !link_.Field() || !TFieldTraits::IsLargeObject(*link_.Field());
}

void TDBMemo::SetShownText(const QString &text) {
    if (text == toPlainText())
        return;
    // Replacing the document reports several partial changes; they count
    // as the one change they are.
    settingText_ = true;
    try {
        setPlainText(text);
    } catch (...) {
        settingText_ = false;
        throw;
    }
    settingText_ = false;
    TextChanged();
}

void TDBMemo::LoadMemo() {
    const TField *field = link_.Field();
    if (!loaded_ && field && TFieldTraits::IsLargeObject(*field)) {
        SetShownText(ShownText(field->TextValue()));
        loaded_ = true;
    }
    UpdateWritable();
}

void TDBMemo::DataChange() {
    const TField *field = link_.Field();
    if (field && TFieldTraits::IsLargeObject(*field)) {
        if (autoDisplay_ || (link_.FieldEditing() && loaded_)) {
            loaded_ = false;
            LoadMemo();
        } else {
            SetShownText(QStringLiteral("(%1)").arg(field->DisplayTitle()));
            loaded_ = false;
        }
    } else if (field) {
        SetShownText(ShownText(field->TextValue()));
        loaded_ = true;
    } else {
        SetShownText(QString());
        loaded_ = false;
    }
    UpdateWritable();
    viewport()->update();
}

void TDBMemo::UpdateWritable() {
    const bool writable = link_.FieldEditing() && loaded_;
    if (writable == !isReadOnly())
        return;
    setReadOnly(!writable);
    // A memo that cannot be written still lets the keyboard move the caret
    // and select, so that a key that starts an edit lands where expected.
    if (!writable)
        setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

void TDBMemo::UpdateData() {
    link_.Field()->SetTextValue(StoredText(toPlainText()));
}

void TDBMemo::TextChanged() {
    if (loaded_)
        link_.Modified(true);
    loaded_ = true;
    Raise(OnChange);
}

void TDBMemo::Raise(const TNotifyEvent &event) {
    if (event)
        TErrorBox::Guard([&] { event(*this); });
}

void TDBMemo::keyPressEvent(QKeyEvent *event) {
    try {
        if (!loaded_) {
            if (TBoundKeys::IsEnter(event)) {
                LoadMemo();
                event->accept();
                return;
            }
            if (!event->text().isEmpty()) {
                event->accept();
                return;
            }
        } else {
            if (TBoundKeys::IsEscape(event)) {
                link_.Reset();
                QPlainTextEdit::keyPressEvent(event);
                return;
            }
            const QChar typed = TBoundKeys::TypedChar(event);
            if (!typed.isNull() && Field() && !TFieldTraits::IsValidChar(*Field(), typed)) {
                QApplication::beep();
                event->accept();
                return;
            }
            const bool ctrlJ =
                event->key() == Qt::Key_J && (event->modifiers() & Qt::ControlModifier);
            const bool changes = !typed.isNull() || TBoundKeys::IsTextCommand(event) ||
                                 TBoundKeys::IsEnter(event) || ctrlJ;
            if (changes && !EditRequest()) {
                event->accept();
                return;
            }
        }
    } catch (...) {
        event->accept();
        TErrorBox::ShowCurrent();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TDBMemo::inputMethodEvent(QInputMethodEvent *event) {
    const bool changes = !event->commitString().isEmpty() || !event->preeditString().isEmpty();
    try {
        if (changes && (!loaded_ || !EditRequest())) {
            event->accept();
            return;
        }
    } catch (...) {
        event->accept();
        TErrorBox::ShowCurrent();
        return;
    }
    QPlainTextEdit::inputMethodEvent(event);
}

void TDBMemo::mouseDoubleClickEvent(QMouseEvent *event) {
    if (!loaded_) {
        try {
            LoadMemo();
        } catch (...) {
            TErrorBox::ShowCurrent();
        }
        event->accept();
        return;
    }
    QPlainTextEdit::mouseDoubleClickEvent(event);
}

void TDBMemo::focusInEvent(QFocusEvent *event) {
    QPlainTextEdit::focusInEvent(event);
    if (focused_)
        return;
    focused_ = true;
    if (ResetsOnFocus()) {
        try {
            link_.Reset();
        } catch (...) {
            TErrorBox::ShowCurrent();
        }
    }
    Raise(OnEnter);
}

void TDBMemo::focusOutEvent(QFocusEvent *event) {
    const Qt::FocusReason reason = event->reason();
    if (!focused_ || reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason) {
        QPlainTextEdit::focusOutEvent(event);
        return;
    }
    try {
        link_.UpdateRecord();
    } catch (...) {
        QPlainTextEdit::focusOutEvent(event);
        setFocus(Qt::OtherFocusReason);
        TErrorBox::ShowCurrent();
        return;
    }
    QPlainTextEdit::focusOutEvent(event);
    focused_ = false;
    if (ResetsOnFocus()) {
        try {
            link_.Reset();
        } catch (...) {
            TErrorBox::ShowCurrent();
        }
    }
    Raise(OnExit);
}

void TDBMemo::contextMenuEvent(QContextMenuEvent *event) {
    QMenu *menu = CreateContextMenu();
    menu->exec(event->globalPos());
    delete menu;
}

QMenu *TDBMemo::CreateContextMenu() {
    auto *menu = new QMenu(this);
    const bool modifiable = link_.CanModify() && loaded_;
    const bool selected = textCursor().hasSelection();
    const bool clipboardText = !QGuiApplication::clipboard()->text().isEmpty();
    auto add = [&](const QString &name, const QString &caption, QKeySequence::StandardKey key,
                   bool enabled, bool changes, std::function<void()> command) {
        QAction *action = menu->addAction(caption + QLatin1Char('\t') +
                                          QKeySequence(key).toString(QKeySequence::NativeText));
        action->setObjectName(name);
        action->setEnabled(enabled);
        connect(action, &QAction::triggered, this, [this, command, changes] {
            try {
                if (!changes || (loaded_ && EditRequest()))
                    command();
            } catch (...) {
                TErrorBox::ShowCurrent();
            }
        });
    };
    add(QStringLiteral("edit-undo"), tr("&Undo"), QKeySequence::Undo,
        modifiable && document()->isUndoAvailable(), true, [this] { undo(); });
    add(QStringLiteral("edit-redo"), tr("&Redo"), QKeySequence::Redo,
        modifiable && document()->isRedoAvailable(), true, [this] { redo(); });
    menu->addSeparator();
    add(QStringLiteral("edit-cut"), tr("Cu&t"), QKeySequence::Cut, modifiable && selected, true,
        [this] { cut(); });
    add(QStringLiteral("edit-copy"), tr("&Copy"), QKeySequence::Copy, selected, false,
        [this] { copy(); });
    add(QStringLiteral("edit-paste"), tr("&Paste"), QKeySequence::Paste,
        modifiable && clipboardText, true, [this] { paste(); });
    add(QStringLiteral("edit-delete"), tr("Delete"), QKeySequence::Delete, modifiable && selected,
        true, [this] { textCursor().removeSelectedText(); });
    menu->addSeparator();
    add(QStringLiteral("select-all"), tr("Select All"), QKeySequence::SelectAll,
        !document()->isEmpty(), false, [this] { selectAll(); });
    return menu;
}
