#pragma once

#include "ui/controls/TFieldDataLink.h"

#include <QPlainTextEdit>
#include <functional>

class QMenu;
class TDataSource;

// A multi-line edit bound to one field of the current row of a data source,
// usually a memo field.
//
// A memo field's value is loaded into it on every reload while AutoDisplay
// is on; otherwise it shows "(<field title>)" until Enter or a double click
// loads it. It is writable only while loaded and while an edit request has
// put the cursor into edit state, and writes its whole text into the field
// when the focus leaves it or when the cursor asks its controls to write.
// Lines are stored separated by CR LF.
class TDBMemo : public QPlainTextEdit {
    Q_OBJECT

public:
    using TNotifyEvent = std::function<void(TDBMemo &)>;

    explicit TDBMemo(QWidget *parent = nullptr);

    TDataSource *DataSource() const { return link_.DataSource(); }
    void SetDataSource(TDataSource *source);
    const QString &DataField() const { return link_.FieldName(); }
    void SetDataField(const QString &name);
    TField *Field() const { return link_.Field(); }
    bool ReadOnly() const { return link_.ReadOnly(); }
    void SetReadOnly(bool value);
    bool AutoDisplay() const { return autoDisplay_; }
    void SetAutoDisplay(bool value);
    // The memo holds the field's current value.
    bool MemoLoaded() const { return loaded_; }
    // Loads a large-object field's value when it is not loaded yet.
    void LoadMemo();
    const TFieldDataLink &FieldLink() const { return link_; }

    // The memo's context menu; the caller owns it.
    QMenu *CreateContextMenu();

    TNotifyEvent OnChange;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void DataChange();
    void UpdateData();
    void TextChanged();
    void SetShownText(const QString &text);
    void UpdateWritable();
    bool EditRequest() { return link_.EditRequest(); }
    // A large-object field keeps its text when the focus comes or goes.
    bool ResetsOnFocus() const;
    void Raise(const TNotifyEvent &event);

    TFieldDataLink link_;
    bool autoDisplay_ = true;
    bool loaded_ = false;
    bool focused_ = false;
    bool settingText_ = false;
};
