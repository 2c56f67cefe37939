#pragma once

#include <QUrl>
#include <functional>

class ContactEditor;
class QPushButton;
class QWidget;
class TDataSource;
class TDateTimePicker;
class TField;
class TTableCursor;

// The editor panel's commands and date pickers: New, Save, Cancel, Delete,
// the four navigation buttons, the mail and web buttons, and the last-call
// and call-back pickers that follow the current contact and post a change
// at once.
class EditorCommands {
public:
    // Hands an address to the desktop, which opens it with the program the
    // user chose for it. Tests replace it.
    using TOpener = std::function<void(const QUrl &)>;

    EditorCommands(QWidget *panel, ContactEditor &editor, TTableCursor &rsContacts,
                   TDataSource &dsContacts, TOpener opener = TOpener());

    void SetOpener(TOpener opener) { opener_ = std::move(opener); }
    // Runs the cursor's Delete (the function it is given) on behalf of
    // Delete, so that a copy of the row can be kept in the same step.
    using TDeleter = std::function<void(const std::function<void()> &erase)>;
    void SetDeleter(TDeleter deleter) { deleter_ = std::move(deleter); }

    QPushButton *btnNew = nullptr;
    QPushButton *btnFirst = nullptr;
    QPushButton *btnPrev = nullptr;
    QPushButton *btnNext = nullptr;
    QPushButton *btnLast = nullptr;
    QPushButton *btnSave = nullptr;
    QPushButton *btnCancel = nullptr;
    QPushButton *btnDelete = nullptr;
    QPushButton *btnMail = nullptr;
    QPushButton *btnBrowse = nullptr;
    TDateTimePicker *dateLastCall = nullptr;
    TDateTimePicker *timeLastCall = nullptr;
    TDateTimePicker *dateCallback = nullptr;
    TDateTimePicker *timeCallback = nullptr;

    void btnNewClick();
    void rsContactsAfterInsert();
    void btnSaveClick();
    void btnCancelClick();
    void btnDeleteClick();
    void btnFirstClick();
    void btnPrevClick();
    void btnNextClick();
    void btnLastClick();
    void dsContactsDataChange(TField *field);
    void dateLastCallChange();
    void dateCallbackChange();
    void btnMailClick();
    void btnBrowseClick();

private:
    void BuildButtons(QWidget *panel);
    void BuildPickers(QWidget *panel);
    // Writes the date of one picker and the time of day of the other into
    // a field and posts the row.
    void PostPickers(const TDateTimePicker *date, const TDateTimePicker *time, const char *field);

    ContactEditor &editor_;
    TTableCursor &rsContacts_;
    TOpener opener_;
    TDeleter deleter_;
};
