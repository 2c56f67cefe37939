#include "reports/QRpt.h"

#include "data/DBConnection.h"
#include "data/DatabaseErrors.h"
#include "reports/TQRBand.h"
#include "reports/TQRCSVFilter.h"
#include "reports/TQRDBText.h"
#include "reports/TQRHTMLFilter.h"
#include "reports/TQRLabel.h"
#include "reports/TQRReport.h"
#include "reports/TQRTextFilter.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPalette>
#include <memory>

namespace {

// Design pixels (96 per inch) in tenths of a millimetre, exactly.
constexpr double Pixels(int pixels) {
    return pixels * 254.0 / 96.0;
}

constexpr int BandWidthPixels = 698;

QFont MakeFont(const QString &family, int points, bool bold, bool underline) {
    QFont font(family);
    font.setPointSize(points);
    font.setBold(bold);
    font.setUnderline(underline);
    return font;
}

QFont TitleFont() {
    return MakeFont(QStringLiteral("Times New Roman"), 14, true, true);
}
QFont CaptionFont() {
    return MakeFont(QStringLiteral("Arial"), 12, true, false);
}
QFont ValueFont() {
    return MakeFont(QStringLiteral("Arial"), 12, false, false);
}
QFont FooterFont() {
    return MakeFont(QStringLiteral("Arial"), 8, false, false);
}

QColor WindowTextColor() {
    return QApplication::palette().color(QPalette::WindowText);
}

// Places an element in its band: every element of this report sizes itself
// to its text and is opaque white, so a later one covers an earlier one's
// overflow. The stored width is not used (AutoSize).
template <class TElement>
TElement *Place(TQRBand *band, std::unique_ptr<TElement> element, int left, int top, int height,
                const QFont &font, const QColor &color) {
    element->SetSize({Pixels(height), Pixels(left), Pixels(top), 0});
    element->SetFont(font);
    element->SetFontColor(color);
    element->SetColor(Qt::white);
    element->SetAutoSize(true);
    element->SetTransparent(false);
    return band->Add(std::move(element));
}

TQRBand *MakeBand(TQRReport *report, const QString &name, TQRBandType type, int heightPixels) {
    TQRBand *band = report->AddBand(name, type);
    band->SetHeight(Pixels(heightPixels));
    band->SetWidth(Pixels(BandWidthPixels));
    band->SetColor(Qt::white);
    band->SetEnabled(true);
    return band;
}

} // namespace

TQRMDForm::TQRMDForm(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("QRMDForm"));
    qryContact.SetCursorLocation(clUseClient);
    qryContact.SetCursorType(ctStatic);
    qryContact.SetLockType(ltOptimistic);
    BuildReport();
    // While the form lives, the preview offers its three export formats.
    QRHTMLFilter1 = new TQRHTMLFilter(this);
    QRHTMLFilter1->setObjectName(QStringLiteral("QRHTMLFilter1"));
    QRCSVFilter1 = new TQRCSVFilter(this);
    QRCSVFilter1->setObjectName(QStringLiteral("QRCSVFilter1"));
    QRCSVFilter1->SetSeparator(QLatin1Char(','));
    QRTextFilter1 = new TQRTextFilter(this);
    QRTextFilter1->setObjectName(QStringLiteral("QRTextFilter1"));
}

TQRMDForm::~TQRMDForm() {
    // The report reads the query; it goes first.
    delete Report;
    Report = nullptr;
}

QString TQRMDForm::CopyrightNotice() {
    return QStringLiteral("Copyright \u00A9 2026 Brennart. All rights reserved.");
}

QString TQRMDForm::ContactStatement() {
    // A left join: a contact whose country is missing or null is still read
    // (with an empty Country), so the report always prints a stored contact.
    return QStringLiteral(" select c.*, ct.Name as Country from Contacts c "
                          " left join Countries ct on ct.CountryID = c.CountryID "
                          " where c.ContactID = ");
}

void TQRMDForm::LoadContact(TDBConnection &connection, const QString &key) {
    qryContact.Close();
    // The key goes into the statement's text, so only a whole number may.
    bool isNumber = false;
    const qint64 id = key.trimmed().toLongLong(&isNumber);
    if (!isNumber)
        throw EDatabaseError(PrefixedMessage(
            qryContact.Name(), QStringLiteral("'%1' is not a valid contact key").arg(key)));
    qryContact.SQL().Clear();
    qryContact.SQL().Add(ContactStatement());
    qryContact.SQL().Add(QString::number(id));
    qryContact.SetConnection(&connection);
    qryContact.Open();
}

void TQRMDForm::closeEvent(QCloseEvent *event) {
    FormClose();
    QWidget::closeEvent(event);
}

void TQRMDForm::FormClose() {
    qryContact.Close();
}

void TQRMDForm::BuildReport() {
    Report = new TQRReport(this);
    Report->setObjectName(QStringLiteral("Report"));
    Report->SetDataSet(&qryContact);
    TQRPage &page = Report->Page();
    page.SetOrientation(poPortrait);
    page.SetPaperSize(A4);
    page.SetColumns(1);
    page.SetValues({127, 2970, 127, 2100, 127, 127, 0});
    Report->SetUnits(Inches);
    TQROptions options;
    options.firstPageHeader = true;
    options.lastPageFooter = true;
    options.compression = false;
    Report->SetOptions(options);
    Report->SetPrintIfEmpty(true);
    Report->SetReportTitle(QString());
    Report->SetShowProgress(true);
    Report->SetZoom(100);
    Report->SetPrinterSettings(TQRReportPrinterSettings());
    Report->SetFont(MakeFont(QStringLiteral("Arial"), 10, false, false));
    Report->SetFontColor(WindowTextColor());

    BuildPageHeader();
    BuildColumnHeader();
    BuildPageFooter();
}

void TQRMDForm::BuildPageHeader() {
    PageHeaderBand1 = MakeBand(Report, QStringLiteral("PageHeaderBand1"), rbPageHeader, 38);
    QRLabel9 = Place(PageHeaderBand1,
                     std::make_unique<TQRLabel>(QStringLiteral("QRLabel9"),
                                                QStringLiteral("Contact Details Report")),
                     24, 8, 23, TitleFont(), WindowTextColor());
}

void TQRMDForm::BuildColumnHeader() {
    ColumnHeaderBand1 = MakeBand(Report, QStringLiteral("ColumnHeaderBand1"), rbColumnHeader, 606);
    TQRBand *band = ColumnHeaderBand1;
    const QColor text = WindowTextColor();
    const auto label = [&](const char *name, const char *caption, int left, int top, int height,
                           const QFont &font) {
        return Place(
            band,
            std::make_unique<TQRLabel>(QString::fromLatin1(name), QString::fromLatin1(caption)),
            left, top, height, font, text);
    };
    const auto value = [&](const char *name, const char *field, int left, int top) {
        return Place(band,
                     std::make_unique<TQRDBText>(QString::fromLatin1(name), &qryContact,
                                                 QString::fromLatin1(field)),
                     left, top, 19, ValueFont(), text);
    };
    // In drawing order: a later element covers what an earlier one's text
    // runs into.
    QRLabel10 = label("QRLabel10", "Phone:", 24, 262, 20, CaptionFont());
    QRDBText9 = value("QRDBText9", "Phone", 156, 263);
    QRLabel6 = label("QRLabel6", "Fax:", 24, 287, 20, CaptionFont());
    QRDBText6 = value("QRDBText6", "Fax", 156, 288);
    QRLabel11 = label("QRLabel11", "Mobile:", 24, 310, 20, CaptionFont());
    QRDBText11 = value("QRDBText11", "Mobile", 156, 311);
    QRLabel12 = label("QRLabel12", "Email:", 377, 287, 20, CaptionFont());
    QRDBText12 = value("QRDBText12", "Email", 509, 288);
    QRLabel13 = label("QRLabel13", "Web SIte:", 377, 311, 20, CaptionFont());
    QRDBText13 = value("QRDBText13", "Url", 509, 312);
    QRLabel2 = label("QRLabel2", "Company Name:", 24, 48, 20, CaptionFont());
    QRDBText1 = value("QRDBText1", "CompanyName", 156, 49);
    QRLabel15 = label("QRLabel15", "Contact Person:", 24, 74, 20, CaptionFont());
    QRDBText15 = value("QRDBText15", "ContactPerson", 156, 75);
    QRLabel1 = label("QRLabel1", "Country:", 24, 143, 20, CaptionFont());
    QRDBText2 = value("QRDBText2", "Country", 156, 144);
    QRLabel3 = label("QRLabel3", "City:", 24, 167, 20, CaptionFont());
    QRDBText3 = value("QRDBText3", "City", 156, 168);
    QRLabel4 = label("QRLabel4", "Address:", 24, 191, 20, CaptionFont());
    QRDBText4 = value("QRDBText4", "Address", 156, 192);
    QRLabel7 = label("QRLabel7", "State/Area:", 374, 147, 20, CaptionFont());
    QRDBText7 = value("QRDBText7", "State", 506, 148);
    QRLabel8 = label("QRLabel8", "Post Code:", 373, 171, 20, CaptionFont());
    QRDBText8 = value("QRDBText8", "PostCode", 505, 172);
    QRLabel5 = label("QRLabel5", "Company", 24, 22, 23, TitleFont());
    QRLabel16 = label("QRLabel16", "Address", 24, 118, 23, TitleFont());
    QRLabel17 = label("QRLabel17", "Phone and Email", 24, 235, 23, TitleFont());
}

void TQRMDForm::BuildPageFooter() {
    PageFooterBand1 = MakeBand(Report, QStringLiteral("PageFooterBand1"), rbPageFooter, 24);
    QRLabel14 = Place(PageFooterBand1,
                      std::make_unique<TQRLabel>(QStringLiteral("QRLabel14"), CopyrightNotice()), 4,
                      3, 17, FooterFont(), QColor(192, 192, 192));
}
