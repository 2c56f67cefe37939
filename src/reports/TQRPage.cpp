#include "reports/TQRPage.h"

#include <algorithm>
#include <utility>

namespace {

struct PaperInfo {
    int code;
    double width; // tenths of a millimetre, portrait
    double length;
};

PaperInfo InfoOf(TQRPaperSize size) {
    switch (size) {
    case Letter:
        return {1, 2159, 2794};
    case Legal:
        return {5, 2159, 3556};
    case A3:
        return {8, 2970, 4200};
    case A4:
        return {9, 2100, 2970};
    case A5:
        return {11, 1480, 2100};
    case Custom:
        return {27, 0, 0};
    case Default:
        break;
    }
    return {0, 0, 0};
}

} // namespace

TQRPage::TQRPage() : values_{127, 2970, 127, 2100, 127, 127, 0} {}

void TQRPage::SetPaperSize(TQRPaperSize size) {
    paperSize_ = size;
    const PaperInfo info = InfoOf(size);
    if (info.width <= 0)
        return;
    const bool landscape = orientation_ == poLandscape;
    values_[WidthValue] = landscape ? info.length : info.width;
    values_[LengthValue] = landscape ? info.width : info.length;
}

void TQRPage::SetOrientation(TQROrientation orientation) {
    // The page turns: what ran across now runs down.
    if (orientation != orientation_)
        std::swap(values_[WidthValue], values_[LengthValue]);
    orientation_ = orientation;
}

void TQRPage::SetColumns(int columns) {
    columns_ = std::max(1, columns);
}

int TQRPage::PaperSizeCode() const {
    return InfoOf(paperSize_).code;
}
