#pragma once

#include "data/DataLink.h"

#include <functional>

// The data link of a lookup control to its list cursor. The closed control
// reacts only to the active flag and to layout changes: moves among the list
// rows (its own key locates included) do not concern it. The drop-down list
// also repaints on every change of the rows it shows.
class TListSourceLink : public TDataLink {
public:
    std::function<void()> OnActiveChange;
    std::function<void()> OnLayoutChange;
    std::function<void()> OnRowsChange;

protected:
    void ActiveFlagChanged() override { Call(OnActiveChange); }
    void LayoutReset() override {
        Call(OnLayoutChange);
        Call(OnRowsChange);
    }
    void RowChanged(TField *) override { Call(OnRowsChange); }
    void RowsRefilled() override { Call(OnRowsChange); }
    void WindowScrolled(int) override { Call(OnRowsChange); }

private:
    static void Call(const std::function<void()> &f) {
        if (f)
            f();
    }
};
