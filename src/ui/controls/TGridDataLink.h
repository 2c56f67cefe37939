#pragma once

#include "data/DataLink.h"

#include <vector>

class TDBGrid;

// The data link of a grid: passes the cursor's notifications to the grid,
// maps each column to its field's position in the cursor (-1 when the
// cursor has no field of that name) and remembers whether the in-place
// editor holds text not yet written to the field.
class TGridDataLink : public TDataLink {
public:
    explicit TGridDataLink(TDBGrid *grid) : grid_(grid) {}

    // The field position of each column, rebuilt with the grid's layout.
    const std::vector<int> &FieldMap() const { return fieldMap_; }
    void SetFieldMap(std::vector<int> map) { fieldMap_ = std::move(map); }

    bool Modified() const { return modified_; }
    void SetModified(bool value) { modified_ = value; }

protected:
    void ActiveFlagChanged() override;
    void EditingFlagChanged() override;
    void RowChanged(TField *field) override;
    void RowsRefilled() override;
    void WindowScrolled(int distance) override;
    void LayoutReset() override;
    void WriteData() override;
    void FocusField(TField *field) override;

private:
    TDBGrid *grid_;
    std::vector<int> fieldMap_;
    bool modified_ = false;
};
