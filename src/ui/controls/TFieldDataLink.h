#pragma once

#include "data/DataLink.h"

#include <QString>
#include <functional>

class QWidget;

// The data link of a control that shows and edits one field of the current
// row. The control supplies callbacks; the link keeps the field, the
// control's modified flag and its own editing flag.
//
// The field is found by name (any letter case) whenever the field name
// changes, the link turns active or inactive and on a layout change. A name
// the open cursor lacks raises "<control>: Field '<name>' not found" and
// leaves the link without a field.
//
// Editing (reported through OnEditingChange) is true exactly when the data
// link edits and the link can modify: not read-only, a field that is a data
// field, not ReadOnly, on a cursor whose rows can be changed.
class TFieldDataLink : public TDataLink {
public:
    explicit TFieldDataLink(QWidget *control = nullptr);

    QWidget *Control() const { return control_; }
    // Also looks the field up again when the active flag stays the same.
    void SetDataSource(TDataSource *source);

    const QString &FieldName() const { return fieldName_; }
    void SetFieldName(const QString &name);
    TField *Field() const { return field_; }

    bool CanModify() const;
    bool FieldEditing() const { return fieldEditing_; }
    bool Modified() const { return modified_; }
    // The control's text changed since it was loaded or written.
    void Modified(bool value) { modified_ = value; }
    bool Updating() const { return updating_; }

    // The control is about to change its text: asks the data source to
    // edit when the link can modify. True when the control may go ahead.
    bool EditRequest();
    // Reloads the control from the field and clears modified.
    void Reset();
    // Writes the control into the field (when modified), with the updating
    // flag set so that the control is not reloaded by its own write.
    void UpdateRecord();

    // Reload the control from the field.
    std::function<void()> OnDataChange;
    std::function<void()> OnEditingChange;
    // Write the control's text into Field().
    std::function<void()> OnUpdateData;
    std::function<void()> OnActiveChange;

protected:
    void ActiveFlagChanged() override;
    void EditingFlagChanged() override;
    void RowChanged(TField *field) override;
    void RowsRefilled() override;
    void WindowScrolled(int) override;
    void LayoutReset() override;
    void WriteData() override;
    void FocusField(TField *field) override;

private:
    void UpdateField();
    void SetField(TField *field);
    void UpdateEditing();
    void RecordChanged();
    void UpdateData();
    bool ControlCanFocus() const;

    QWidget *control_;
    QString fieldName_;
    TField *field_ = nullptr;
    bool modified_ = false;
    bool updating_ = false;
    bool fieldEditing_ = false;
};
