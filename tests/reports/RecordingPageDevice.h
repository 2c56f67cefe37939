#pragma once

#include "RecordingPaintEngine.h"

#include <QPdfWriter>

// A paged device for report tests: it has the page size, margins and
// resolution of a PDF writer, but its painter records what is drawn (see
// RecordingPaintEngine) instead of writing a file. New pages can be made to
// fail, as a printer's can.
class RecordingPageDevice : public QPdfWriter {
public:
    // A4 portrait without margins at the given resolution.
    explicit RecordingPageDevice(int dpi = 254);

    const RecordingPaintEngine &Engine() const { return engine_; }
    RecordingPaintEngine &Engine() { return engine_; }
    int NewPageCalls() const { return newPageCalls_; }
    void SetFailNewPage(bool fail) { failNewPage_ = fail; }

    bool newPage() override;

protected:
    QPaintEngine *paintEngine() const override;

private:
    mutable RecordingPaintEngine engine_;
    int newPageCalls_ = 0;
    bool failNewPage_ = false;
};
