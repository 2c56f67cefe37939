#include "ui/controls/TFieldDataLink.h"

#include "data/DataSource.h"
#include "data/DatabaseErrors.h"
#include "data/RecordCursor.h"

#include <QWidget>

TFieldDataLink::TFieldDataLink(QWidget *control) : control_(control) {}

void TFieldDataLink::SetDataSource(TDataSource *source) {
    if (source == DataSource())
        return;
    TDataLink::SetDataSource(source);
    UpdateField();
}

void TFieldDataLink::SetFieldName(const QString &name) {
    if (name == fieldName_)
        return;
    fieldName_ = name;
    UpdateField();
}

bool TFieldDataLink::CanModify() const {
    if (ReadOnly() || !field_ || field_->FieldKind() != fkData || field_->ReadOnly())
        return false;
    const TRecordCursor *cursor = field_->Cursor();
    return cursor && cursor->LockType() != ltReadOnly && cursor->RowSource() &&
           cursor->RowSource()->SupportsUpdating();
}

bool TFieldDataLink::EditRequest() {
    if (CanModify())
        Edit();
    // The data link's flags follow the state change synchronously, so the
    // own flag is current here.
    UpdateEditing();
    return fieldEditing_;
}

void TFieldDataLink::Reset() {
    RecordChanged();
}

void TFieldDataLink::UpdateRecord() {
    struct Updating {
        bool &flag;
        ~Updating() { flag = false; }
    } guard{updating_};
    updating_ = true;
    UpdateData();
}

void TFieldDataLink::UpdateData() {
    if (!modified_)
        return;
    if (field_ && OnUpdateData)
        OnUpdateData();
    // Cleared only after a successful write, so a refused text is written
    // again at the next attempt instead of being dropped silently.
    modified_ = false;
}

void TFieldDataLink::ActiveFlagChanged() {
    UpdateField();
    if (OnActiveChange)
        OnActiveChange();
}

void TFieldDataLink::EditingFlagChanged() {
    UpdateEditing();
}

void TFieldDataLink::RowChanged(TField *field) {
    if (updating_)
        return;
    if (field && field != field_)
        return;
    RecordChanged();
}

void TFieldDataLink::RowsRefilled() {
    RecordChanged();
}

void TFieldDataLink::WindowScrolled(int) {
    RecordChanged();
}

void TFieldDataLink::LayoutReset() {
    UpdateField();
}

void TFieldDataLink::WriteData() {
    UpdateData();
}

void TFieldDataLink::FocusField(TField *field) {
    if (!field || field != field_ || !ControlCanFocus())
        return;
    // The data source tells its links from the last attached to the first;
    // the first control of the field to hear the request takes the focus
    // and the others leave it alone.
    if (const TDataSource *source = DataSource()) {
        const auto &links = source->Links();
        for (auto it = links.rbegin(); it != links.rend() && *it != this; ++it) {
            const auto *other = dynamic_cast<const TFieldDataLink *>(*it);
            if (other && other->field_ == field && other->ControlCanFocus())
                return;
        }
    }
    control_->setFocus(Qt::OtherFocusReason);
}

bool TFieldDataLink::ControlCanFocus() const {
    return control_ && control_->isEnabled() && control_->isVisible() &&
           control_->focusPolicy() != Qt::NoFocus;
}

void TFieldDataLink::UpdateField() {
    TField *found = nullptr;
    if (Active() && !fieldName_.isEmpty()) {
        const TRecordCursor *cursor = DataSet();
        found = cursor ? cursor->FindField(fieldName_) : nullptr;
        if (!found) {
            SetField(nullptr);
            throw EDatabaseError(
                PrefixedMessage(control_ ? control_->objectName() : QString(),
                                QStringLiteral("Field '%1' not found").arg(fieldName_)));
        }
    }
    SetField(found);
}

void TFieldDataLink::SetField(TField *field) {
    if (field == field_)
        return;
    field_ = field;
    UpdateEditing();
    RecordChanged();
}

void TFieldDataLink::UpdateEditing() {
    const bool editing = Editing() && CanModify();
    if (editing == fieldEditing_)
        return;
    fieldEditing_ = editing;
    modified_ = false;
    if (OnEditingChange)
        OnEditingChange();
}

void TFieldDataLink::RecordChanged() {
    if (OnDataChange)
        OnDataChange();
    modified_ = false;
}
