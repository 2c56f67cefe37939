#pragma once

#include "reports/TQRPrinter.h"

#include <array>

// Paper sizes a report page can ask for; Custom keeps the page's own width
// and length.
enum TQRPaperSize { Default, Letter, Legal, A3, A4, A5, Custom };

// The page of a report: paper, orientation, columns and the seven page
// values, all in tenths of a millimetre.
//
// Values, in their stored order: BottomMargin, Length, TopMargin, Width,
// LeftMargin, RightMargin, ColumnSpace. Width and Length are the page's
// extent across and down. Choosing a paper size other than Default or Custom
// sets Width and Length to that paper's (portrait; swapped for landscape).
class TQRPage {
public:
    enum TValueIndex {
        BottomMarginValue,
        LengthValue,
        TopMarginValue,
        WidthValue,
        LeftMarginValue,
        RightMarginValue,
        ColumnSpaceValue
    };
    static constexpr int ValueCount = 7;
    using TValues = std::array<double, ValueCount>;

    // A4 portrait, one column, 12.7 mm margins.
    TQRPage();

    TQRPaperSize PaperSize() const { return paperSize_; }
    void SetPaperSize(TQRPaperSize size);
    TQROrientation Orientation() const { return orientation_; }
    void SetOrientation(TQROrientation orientation);
    // At least 1.
    int Columns() const { return columns_; }
    void SetColumns(int columns);

    const TValues &Values() const { return values_; }
    void SetValues(const TValues &values) { values_ = values; }
    double Value(TValueIndex index) const { return values_[index]; }
    void SetValue(TValueIndex index, double value) { values_[index] = value; }

    double BottomMargin() const { return values_[BottomMarginValue]; }
    double Length() const { return values_[LengthValue]; }
    double TopMargin() const { return values_[TopMarginValue]; }
    double Width() const { return values_[WidthValue]; }
    double LeftMargin() const { return values_[LeftMarginValue]; }
    double RightMargin() const { return values_[RightMarginValue]; }
    double ColumnSpace() const { return values_[ColumnSpaceValue]; }

    // The printer's paper code of PaperSize (A4 is 9); 0 for Default (the
    // printer keeps its paper), 27 for Custom (the page's own extent).
    int PaperSizeCode() const;

private:
    TQRPaperSize paperSize_ = A4;
    TQROrientation orientation_ = poPortrait;
    int columns_ = 1;
    TValues values_;
};
