// The contact report form as stored: page, settings, bands and elements.
#include "ReportTestSupport.h"
#include "reports/QRpt.h"
#include "reports/TQRBand.h"
#include "reports/TQRDBText.h"
#include "reports/TQRLabel.h"
#include "reports/TQRReport.h"

#include <QApplication>
#include <QPalette>
#include <cmath>
#include <gtest/gtest.h>

namespace {

struct StoredElement {
    const char *name;
    const char *shows; // caption of a label, field of a data text
    double left;
    double top;
    double height;
    char font; // 'T' title or heading, 'C' caption, 'V' value, 'F' footer
};

// Band by band, in drawing order, with the two-decimal values of the design.
const StoredElement kPageHeader[] = {
    {"QRLabel9", "Contact Details Report", 63.50, 21.17, 60.85, 'T'},
};
const StoredElement kColumnHeader[] = {
    {"QRLabel10", "Phone:", 63.50, 693.21, 52.92, 'C'},
    {"QRDBText9", "Phone", 412.75, 695.85, 50.27, 'V'},
    {"QRLabel6", "Fax:", 63.50, 759.35, 52.92, 'C'},
    {"QRDBText6", "Fax", 412.75, 762.00, 50.27, 'V'},
    {"QRLabel11", "Mobile:", 63.50, 820.21, 52.92, 'C'},
    {"QRDBText11", "Mobile", 412.75, 822.85, 50.27, 'V'},
    {"QRLabel12", "Email:", 997.48, 759.35, 52.92, 'C'},
    {"QRDBText12", "Email", 1346.73, 762.00, 50.27, 'V'},
    {"QRLabel13", "Web SIte:", 997.48, 822.85, 52.92, 'C'},
    {"QRDBText13", "Url", 1346.73, 825.50, 50.27, 'V'},
    {"QRLabel2", "Company Name:", 63.50, 127.00, 52.92, 'C'},
    {"QRDBText1", "CompanyName", 412.75, 129.65, 50.27, 'V'},
    {"QRLabel15", "Contact Person:", 63.50, 195.79, 52.92, 'C'},
    {"QRDBText15", "ContactPerson", 412.75, 198.44, 50.27, 'V'},
    {"QRLabel1", "Country:", 63.50, 378.35, 52.92, 'C'},
    {"QRDBText2", "Country", 412.75, 381.00, 50.27, 'V'},
    {"QRLabel3", "City:", 63.50, 441.85, 52.92, 'C'},
    {"QRDBText3", "City", 412.75, 444.50, 50.27, 'V'},
    {"QRLabel4", "Address:", 63.50, 505.35, 52.92, 'C'},
    {"QRDBText4", "Address", 412.75, 508.00, 50.27, 'V'},
    {"QRLabel7", "State/Area:", 989.54, 388.94, 52.92, 'C'},
    {"QRDBText7", "State", 1338.79, 391.58, 50.27, 'V'},
    {"QRLabel8", "Post Code:", 986.90, 452.44, 52.92, 'C'},
    {"QRDBText8", "PostCode", 1336.15, 455.08, 50.27, 'V'},
    {"QRLabel5", "Company", 63.50, 58.21, 60.85, 'T'},
    {"QRLabel16", "Address", 63.50, 312.21, 60.85, 'T'},
    {"QRLabel17", "Phone and Email", 63.50, 621.77, 60.85, 'T'},
};
const StoredElement kPageFooter[] = {
    {"QRLabel14", nullptr, 10.58, 7.94, 44.98, 'F'},
};

// A stored value is a whole number of design pixels (96 per inch) in tenths
// of a millimetre, exactly.
bool IsWholeDesignPixels(double value) {
    const double pixels = value * 96.0 / 254.0;
    return std::abs(pixels - std::round(pixels)) < 1e-9 &&
           value == std::round(pixels) * 254.0 / 96.0;
}

double TwoDecimals(double value) {
    return std::round(value * 100) / 100;
}

void ExpectFont(const QFont &font, char role) {
    switch (role) {
    case 'T':
        EXPECT_EQ(font.family(), "Times New Roman");
        EXPECT_EQ(font.pointSize(), 14);
        EXPECT_TRUE(font.bold());
        EXPECT_TRUE(font.underline());
        break;
    case 'C':
    case 'V':
        EXPECT_EQ(font.family(), "Arial");
        EXPECT_EQ(font.pointSize(), 12);
        EXPECT_EQ(font.bold(), role == 'C');
        EXPECT_FALSE(font.underline());
        break;
    default:
        EXPECT_EQ(font.family(), "Arial");
        EXPECT_EQ(font.pointSize(), 8);
        EXPECT_FALSE(font.bold());
        EXPECT_FALSE(font.underline());
    }
}

template <size_t N>
void ExpectElements(const TQRMDForm &form, const TQRBand *band, const StoredElement (&stored)[N]) {
    ASSERT_EQ(band->Elements().size(), N);
    const QColor windowText = QApplication::palette().color(QPalette::WindowText);
    for (size_t i = 0; i < N; ++i) {
        const TQRPrintable *element = band->Elements()[i].get();
        SCOPED_TRACE(stored[i].name);
        EXPECT_EQ(element->Name(), stored[i].name);
        EXPECT_DOUBLE_EQ(TwoDecimals(element->Size().left), stored[i].left);
        EXPECT_DOUBLE_EQ(TwoDecimals(element->Size().top), stored[i].top);
        EXPECT_DOUBLE_EQ(TwoDecimals(element->Size().height), stored[i].height);
        EXPECT_TRUE(IsWholeDesignPixels(element->Size().left));
        EXPECT_TRUE(IsWholeDesignPixels(element->Size().top));
        EXPECT_TRUE(IsWholeDesignPixels(element->Size().height));
        EXPECT_TRUE(element->AutoSize());
        EXPECT_FALSE(element->Transparent());
        EXPECT_TRUE(element->Enabled());
        EXPECT_EQ(element->Color(), QColor(Qt::white));
        ExpectFont(element->Font(), stored[i].font);
        EXPECT_EQ(element->FontColor(), stored[i].font == 'F' ? QColor(192, 192, 192) : windowText);
        if (auto *label = dynamic_cast<const TQRLabel *>(element)) {
            EXPECT_EQ(label->Caption(), stored[i].shows ? QString::fromUtf8(stored[i].shows)
                                                        : TQRMDForm::CopyrightNotice());
        } else {
            auto *text = dynamic_cast<const TQRDBText *>(element);
            ASSERT_NE(text, nullptr);
            EXPECT_EQ(text->DataField(), stored[i].shows);
            EXPECT_EQ(text->DataSet(), &form.qryContact);
        }
    }
}

TEST(ContactReportForm, TheReportHasTheStoredPageAndSettings) {
    TQRMDForm form;
    const TQRReport &report = *form.Report;
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(report.DataSet(), &form.qryContact);
    EXPECT_EQ(report.Page().PaperSize(), A4);
    EXPECT_EQ(report.Page().PaperSizeCode(), 9);
    EXPECT_EQ(report.Page().Orientation(), poPortrait);
    EXPECT_EQ(report.Page().Columns(), 1);
    EXPECT_EQ(report.Page().Values(), (TQRPage::TValues{127, 2970, 127, 2100, 127, 127, 0}));
    EXPECT_EQ(report.Units(), Inches);
    EXPECT_TRUE(report.Options().firstPageHeader);
    EXPECT_TRUE(report.Options().lastPageFooter);
    EXPECT_FALSE(report.Options().compression);
    EXPECT_TRUE(report.PrintIfEmpty());
    EXPECT_TRUE(report.ReportTitle().isEmpty());
    EXPECT_TRUE(report.ShowProgress());
    EXPECT_EQ(report.Zoom(), 100);
    EXPECT_EQ(report.PrinterSettings().copies, 1);
    EXPECT_FALSE(report.PrinterSettings().duplex);
    EXPECT_EQ(report.PrinterSettings().firstPage, 0);
    EXPECT_EQ(report.PrinterSettings().lastPage, 0);
    EXPECT_EQ(report.PrinterSettings().outputBin, 0);
    EXPECT_EQ(report.PrinterSettings().printerIndex, -1);
    EXPECT_EQ(report.Font().family(), "Arial");
    EXPECT_EQ(report.Font().pointSize(), 10);
    EXPECT_EQ(report.Functions().value("PAGENUMBER"), "0");
    EXPECT_EQ(report.Functions().value("COLUMNNUMBER"), "0");
    EXPECT_EQ(report.Functions().value("REPORTTITLE"), "''");
    EXPECT_EQ(form.qryContact.CursorType(), ctStatic);
    EXPECT_EQ(form.qryContact.CursorLocation(), clUseClient);
    EXPECT_EQ(form.qryContact.LockType(), ltOptimistic);
    EXPECT_FALSE(form.qryContact.Active());
}

TEST(ContactReportForm, ThreeWhiteBandsOfTheStoredSizes) {
    TQRMDForm form;
    const auto &bands = form.Report->Bands();
    ASSERT_EQ(bands.size(), 3u);
    EXPECT_EQ(bands[0].get(), form.PageHeaderBand1);
    EXPECT_EQ(bands[1].get(), form.ColumnHeaderBand1);
    EXPECT_EQ(bands[2].get(), form.PageFooterBand1);
    EXPECT_EQ(form.PageHeaderBand1->BandType(), rbPageHeader);
    EXPECT_EQ(form.ColumnHeaderBand1->BandType(), rbColumnHeader);
    EXPECT_EQ(form.PageFooterBand1->BandType(), rbPageFooter);
    EXPECT_DOUBLE_EQ(form.PageHeaderBand1->Height(), 100.54166666666667);
    EXPECT_DOUBLE_EQ(form.ColumnHeaderBand1->Height(), 1603.375);
    EXPECT_DOUBLE_EQ(form.PageFooterBand1->Height(), 63.5);
    for (const auto &band : bands) {
        EXPECT_DOUBLE_EQ(band->Width(), 1846.7916666666667);
        EXPECT_TRUE(band->Enabled());
        EXPECT_EQ(band->Color(), QColor(Qt::white));
    }
    // The band kinds keep their fixed order.
    EXPECT_EQ(int(rbTitle), 0);
    EXPECT_EQ(int(rbColumnHeader), 8);
    EXPECT_EQ(int(rbChild), 10);
}

TEST(ContactReportForm, TwentyNineElementsWithTheStoredValuesInDrawingOrder) {
    TQRMDForm form;
    ExpectElements(form, form.PageHeaderBand1, kPageHeader);
    ExpectElements(form, form.ColumnHeaderBand1, kColumnHeader);
    ExpectElements(form, form.PageFooterBand1, kPageFooter);
    EXPECT_EQ(form.QRDBText8->DataField(), "PostCode");
    EXPECT_EQ(form.QRLabel14->Caption(), "Copyright \u00A9 2026 Brennart. All rights reserved.");
}

} // namespace
