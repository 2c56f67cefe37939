#include "ui/controls/TDBEdit.h"

#include "data/DataSource.h"
#include "data/RecordCursor.h"
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
#include <algorithm>
#include <functional>

namespace {
// The platform edit's own ceiling, used when no limit is set.
constexpr int kNoLimit = 32767;
} // namespace

TDBEdit::TDBEdit(QWidget *parent) : QLineEdit(parent), link_(this) {
    link_.OnDataChange = [this] { DataChange(); };
    link_.OnEditingChange = [this] { EditingChange(); };
    link_.OnUpdateData = [this] { UpdateData(); };
    link_.OnActiveChange = [this] { ResetMaxLength(); };
    connect(this, &QLineEdit::textChanged, this, [this] { TextChanged(); });
    // Nothing can be typed until an edit request succeeds.
    setReadOnly(true);
    ApplyMaxLength(0);
}

void TDBEdit::SetDataSource(TDataSource *source) {
    link_.SetDataSource(source);
}

void TDBEdit::SetDataField(const QString &name) {
    // The limit taken from the old field is dropped first, so that the new
    // field's size applies at the next reload.
    ResetMaxLength();
    link_.SetFieldName(name);
}

void TDBEdit::SetReadOnly(bool value) {
    link_.SetReadOnly(value);
    EditingChange();
}

void TDBEdit::SetMaxLength(int length) {
    maxLength_ = std::max(0, length);
    ApplyMaxLength(int(text().length()));
}

void TDBEdit::ApplyMaxLength(int textLength) {
    const int limit = std::max(maxLength_ > 0 ? maxLength_ : kNoLimit, textLength);
    // Setting the platform edit's limit sets its text anew, which would move
    // the caret and drop the selection; only a real change is passed on.
    if (limit != maxLength())
        setMaxLength(limit);
}

void TDBEdit::ResetMaxLength() {
    if (maxLength_ <= 0 || !DataSource() || !DataSource()->DataSet())
        return;
    const TField *field = DataSource()->DataSet()->FindField(DataField());
    if (field && TFieldTraits::IsSizedText(*field) && field->Size() == maxLength_)
        SetMaxLength(0);
}

void TDBEdit::ApplyAlignment() {
    // Numbers stand right-aligned while shown; the text being edited starts
    // at the left, as typing expects.
    const Qt::Alignment wanted = (focused_ ? Qt::AlignLeft : alignment_) | Qt::AlignVCenter;
    if (alignment() != wanted)
        setAlignment(wanted);
}

void TDBEdit::DataChange() {
    const TField *field = link_.Field();
    QString value;
    if (field) {
        const Qt::Alignment alignment = TFieldTraits::Alignment(*field);
        if (alignment != alignment_) {
            clear();
            alignment_ = alignment;
        }
        if (TFieldTraits::IsSizedText(*field) && maxLength_ == 0)
            maxLength_ = field->Size();
        // Edit text and display text are the same for the system's fields.
        value = field->TextValue();
    } else {
        alignment_ = Qt::AlignLeft;
    }
    ApplyAlignment();
    ApplyMaxLength(int(value.length()));
    // The same text is left alone so that the caret and selection stay
    // where the user put them when an edit request reloads the row.
    if (value != text())
        setText(value);
}

void TDBEdit::EditingChange() {
    setReadOnly(!link_.FieldEditing());
}

void TDBEdit::UpdateData() {
    link_.Field()->SetTextValue(text());
}

void TDBEdit::TextChanged() {
    link_.Modified(true);
    Raise(OnChange);
}

void TDBEdit::Raise(const TNotifyEvent &event) {
    if (event)
        TErrorBox::Guard([&] { event(*this); });
}

void TDBEdit::keyPressEvent(QKeyEvent *event) {
    try {
        if (TBoundKeys::IsEscape(event)) {
            link_.Reset();
            selectAll();
            event->accept();
            return;
        }
        const QChar typed = TBoundKeys::TypedChar(event);
        if (!typed.isNull() && Field() && !TFieldTraits::IsValidChar(*Field(), typed)) {
            QApplication::beep();
            event->accept();
            return;
        }
        if ((!typed.isNull() || TBoundKeys::IsTextCommand(event)) && !EditRequest()) {
            event->accept();
            return;
        }
    } catch (...) {
        event->accept();
        TErrorBox::ShowCurrent();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TDBEdit::inputMethodEvent(QInputMethodEvent *event) {
    const bool changes = !event->commitString().isEmpty() || !event->preeditString().isEmpty();
    try {
        if (changes && !EditRequest()) {
            event->accept();
            return;
        }
    } catch (...) {
        event->accept();
        TErrorBox::ShowCurrent();
        return;
    }
    QLineEdit::inputMethodEvent(event);
}

void TDBEdit::focusInEvent(QFocusEvent *event) {
    QLineEdit::focusInEvent(event);
    // The focus coming back from a popup or another window is no entering.
    if (focused_)
        return;
    focused_ = true;
    try {
        link_.Reset();
    } catch (...) {
        TErrorBox::ShowCurrent();
    }
    ApplyAlignment();
    Raise(OnEnter);
}

void TDBEdit::focusOutEvent(QFocusEvent *event) {
    const Qt::FocusReason reason = event->reason();
    if (!focused_ || reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason) {
        QLineEdit::focusOutEvent(event);
        return;
    }
    try {
        link_.UpdateRecord();
    } catch (...) {
        // The text stays as typed and the focus comes back, so the user
        // can correct it; the control the focus was going to never enters.
        QLineEdit::focusOutEvent(event);
        selectAll();
        setFocus(Qt::OtherFocusReason);
        TErrorBox::ShowCurrent();
        return;
    }
    QLineEdit::focusOutEvent(event);
    focused_ = false;
    try {
        link_.Reset();
    } catch (...) {
        TErrorBox::ShowCurrent();
    }
    ApplyAlignment();
    Raise(OnExit);
}

void TDBEdit::contextMenuEvent(QContextMenuEvent *event) {
    QMenu *menu = CreateContextMenu();
    menu->exec(event->globalPos());
    delete menu;
}

QMenu *TDBEdit::CreateContextMenu() {
    auto *menu = new QMenu(this);
    const bool modifiable = link_.CanModify();
    const bool selected = hasSelectedText() && echoMode() == QLineEdit::Normal;
    const bool clipboardText = !QGuiApplication::clipboard()->text().isEmpty();
    // Every command that changes the text asks for the edit first and does
    // nothing when the row may not be edited.
    auto add = [&](const QString &name, const QString &caption, QKeySequence::StandardKey key,
                   bool enabled, bool changes, std::function<void()> command) {
        QAction *action = menu->addAction(caption + QLatin1Char('\t') +
                                          QKeySequence(key).toString(QKeySequence::NativeText));
        action->setObjectName(name);
        action->setEnabled(enabled);
        connect(action, &QAction::triggered, this, [this, command, changes] {
            try {
                if (!changes || EditRequest())
                    command();
            } catch (...) {
                TErrorBox::ShowCurrent();
            }
        });
    };
    add(QStringLiteral("edit-undo"), tr("&Undo"), QKeySequence::Undo,
        modifiable && isUndoAvailable(), true, [this] { undo(); });
    add(QStringLiteral("edit-redo"), tr("&Redo"), QKeySequence::Redo,
        modifiable && isRedoAvailable(), true, [this] { redo(); });
    menu->addSeparator();
    add(QStringLiteral("edit-cut"), tr("Cu&t"), QKeySequence::Cut, modifiable && selected, true,
        [this] { cut(); });
    add(QStringLiteral("edit-copy"), tr("&Copy"), QKeySequence::Copy, selected, false,
        [this] { copy(); });
    add(QStringLiteral("edit-paste"), tr("&Paste"), QKeySequence::Paste,
        modifiable && clipboardText, true, [this] { paste(); });
    add(QStringLiteral("edit-delete"), tr("Delete"), QKeySequence::Delete,
        modifiable && hasSelectedText(), true, [this] { del(); });
    menu->addSeparator();
    add(QStringLiteral("select-all"), tr("Select All"), QKeySequence::SelectAll, !text().isEmpty(),
        false, [this] { selectAll(); });
    return menu;
}
