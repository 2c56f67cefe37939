#include "ui/controls/TGridDataLink.h"

#include "ui/controls/TDBGrid.h"

void TGridDataLink::ActiveFlagChanged() {
    modified_ = false;
    grid_->LinkActive();
}

void TGridDataLink::EditingFlagChanged() {
    grid_->LinkEditing();
}

void TGridDataLink::RowChanged(TField *field) {
    grid_->LinkRecordChanged(field);
}

void TGridDataLink::RowsRefilled() {
    grid_->LinkRowsRefilled();
}

void TGridDataLink::WindowScrolled(int distance) {
    grid_->LinkScrolled(distance);
}

void TGridDataLink::LayoutReset() {
    grid_->LinkLayoutChanged();
}

void TGridDataLink::WriteData() {
    grid_->LinkWriteData();
}

void TGridDataLink::FocusField(TField *field) {
    grid_->LinkFocusField(field);
}
