#pragma once

#include "ui/controls/TFieldDataLink.h"

#include <QLineEdit>
#include <functional>

class QMenu;
class TDataSource;

// A single-line edit bound to one field of the current row of a data source.
//
// It shows the field's text and follows every change of the row. It refuses
// typing until an edit request puts the cursor into edit state, and writes
// its text into the field only when the focus leaves it or when the cursor
// asks its controls to write before posting. Escape returns the text to the
// field's value.
class TDBEdit : public QLineEdit {
    Q_OBJECT

public:
    using TNotifyEvent = std::function<void(TDBEdit &)>;

    explicit TDBEdit(QWidget *parent = nullptr);

    TDataSource *DataSource() const { return link_.DataSource(); }
    void SetDataSource(TDataSource *source);
    const QString &DataField() const { return link_.FieldName(); }
    void SetDataField(const QString &name);
    TField *Field() const { return link_.Field(); }
    bool ReadOnly() const { return link_.ReadOnly(); }
    void SetReadOnly(bool value);
    // Characters the edit takes; 0 for no limit.
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int length);
    const TFieldDataLink &FieldLink() const { return link_; }

    // The window calls this once its controls are set up.
    void Loaded() { ResetMaxLength(); }

    // The edit's context menu; the caller owns it.
    QMenu *CreateContextMenu();

    TNotifyEvent OnChange;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void DataChange();
    void EditingChange();
    void UpdateData();
    void TextChanged();
    bool EditRequest() { return link_.EditRequest(); }
    // A limit that never cuts a stored text longer than the field's size:
    // such a text is shown whole and can only be shortened.
    void ApplyMaxLength(int textLength);
    void ApplyAlignment();
    void ResetMaxLength();
    void Raise(const TNotifyEvent &event);

    TFieldDataLink link_;
    Qt::Alignment alignment_ = Qt::AlignLeft;
    int maxLength_ = 0;
    bool focused_ = false;
};
