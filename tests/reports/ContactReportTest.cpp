// The contact report form printed from a real database into a recording
// device at 254 dpi (a device pixel is a tenth of a millimetre) with an
// unprintable margin, as a printer has.
#include "RecordingPageDevice.h"
#include "ReportTestSupport.h"
#include "data/DBConnection.h"
#include "data/DatabaseErrors.h"
#include "data/Field.h"
#include "data/TableCursor.h"
#include "reports/QRpt.h"
#include "reports/TQRDBText.h"
#include "reports/TQRLabel.h"
#include "reports/TQRProgressForm.h"
#include "reports/TQRReport.h"
#include "support/TempDatabase.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPageLayout>
#include <gtest/gtest.h>

using namespace ReportTest;

namespace {

// Where each element's top-left corner lands on the page, in millimetres.
struct Placement {
    const char *element;
    const char *text;
    double pageX;
    double pageY;
};

const Placement kPlacements[] = {
    {"QRLabel9", "Contact Details Report", 19.05, 14.82},
    {"QRLabel10", "Phone:", 19.05, 92.12},
    {"QRDBText9", "555-0101", 53.98, 92.39},
    {"QRLabel6", "Fax:", 19.05, 98.74},
    {"QRDBText6", "555-0102", 53.98, 99.00},
    {"QRLabel11", "Mobile:", 19.05, 104.82},
    {"QRDBText11", "555-0103", 53.98, 105.09},
    {"QRLabel12", "Email:", 112.45, 98.74},
    {"QRDBText12", "info@acme.test", 147.37, 99.00},
    {"QRLabel13", "Web SIte:", 112.45, 105.09},
    {"QRDBText13", "www.acme.test", 147.37, 105.35},
    {"QRLabel2", "Company Name:", 19.05, 35.50},
    {"QRDBText1", "Acme Tools", 53.98, 35.76},
    {"QRLabel15", "Contact Person:", 19.05, 42.38},
    {"QRDBText15", "Jane Doe", 53.98, 42.64},
    {"QRLabel1", "Country:", 19.05, 60.64},
    {"QRDBText2", "United States", 53.98, 60.90},
    {"QRLabel3", "City:", 19.05, 66.99},
    {"QRDBText3", "Springfield", 53.98, 67.25},
    {"QRLabel4", "Address:", 19.05, 73.34},
    {"QRDBText4", "12 Main Street", 53.98, 73.60},
    {"QRLabel7", "State/Area:", 111.65, 61.69},
    {"QRDBText7", "Illinois", 146.58, 61.96},
    {"QRLabel8", "Post Code:", 111.39, 68.04},
    {"QRDBText8", "62701", 146.31, 68.31},
    {"QRLabel5", "Company", 19.05, 28.62},
    {"QRLabel16", "Address", 19.05, 54.02},
    {"QRLabel17", "Phone and Email", 19.05, 84.98},
    {"QRLabel14", nullptr, 13.76, 278.79}, // the copyright notice
};

QStringList Captions() {
    QStringList captions;
    for (const Placement &placement : kPlacements) {
        if (QByteArray(placement.element).startsWith("QRLabel"))
            captions << (placement.text ? QString::fromUtf8(placement.text)
                                        : TQRMDForm::CopyrightNotice());
    }
    return captions;
}

class ContactReport : public ::testing::Test {
protected:
    void SetUp() override {
        MapReportFonts();
        connection.SetConnectionString(db.ConnectionString());
        connection.Open();
        // A printer cannot print the outer 4.23 mm and 3.17 mm of the sheet.
        device.setPageMargins(QMarginsF(4.23, 3.17, 4.23, 3.17), QPageLayout::Millimeter);
        form.Report->ProducerSetup = [this](TQRPrinter &producer) {
            producer.SetOutputDevice(&device);
        };
    }

    // Adds a contact from column names and SQL value expressions; returns its key.
    QString AddContact(const QString &columns, const QString &values) {
        db.Exec(QStringLiteral("insert into Contacts (%1) values (%2)").arg(columns, values));
        return db.Scalar(QStringLiteral("select max(ContactID) from Contacts")).toString();
    }

    QString AddFullContact(const QString &company = QStringLiteral("'Acme Tools'"),
                           const QString &city = QStringLiteral("'Springfield'"),
                           const QString &country = QStringLiteral("1")) {
        return AddContact(
            "CompanyName, ContactPerson, CountryID, State, City, Address, PostCode, Phone, "
            "Fax, Mobile, Email, Url, Note, StatusID",
            QStringLiteral("%1, 'Jane Doe', %2, 'Illinois', %3, '12 Main Street', '62701', "
                           "'555-0101', '555-0102', '555-0103', 'info@acme.test', "
                           "'www.acme.test', 'A note', 1")
                .arg(company, country, city));
    }

    // What the main window does for "Print ...".
    void PrintContact(const QString &key) {
        PrinterInstalledScope printer(true);
        form.LoadContact(connection, key);
        form.Report->Print();
    }

    const QList<Page> &Pages() const { return device.Engine().Pages(); }

    const TQRPrintable *Element(const QString &name) const {
        for (const auto &band : form.Report->Bands()) {
            for (const auto &element : band->Elements()) {
                if (element->Name() == name)
                    return element.get();
            }
        }
        return nullptr;
    }

    // A text's top-left corner on the paper, in tenths of a millimetre: the
    // drawn baseline less the font's ascent, plus the unprintable offset.
    QPointF PaperCorner(const Operation &text, const QFont &font) const {
        const QPoint origin = OriginOnPaper(device);
        const double ascent = QFontMetricsF(font, &device).ascent();
        return {text.point.x() + origin.x(), text.point.y() - ascent + origin.y()};
    }

    TempDatabase db;
    TDBConnection connection{QStringLiteral("connDB")};
    RecordingPageDevice device;
    TQRMDForm form;
};

TEST_F(ContactReport, AFoundContactPrintsOnePageWithEveryElementInPlace) {
    PrintContact(AddFullContact());

    ASSERT_EQ(Pages().size(), 1);
    const Page &page = Pages()[0];
    ASSERT_GT(OriginOnPaper(device).x(), 0);
    ASSERT_GT(OriginOnPaper(device).y(), 0);

    QStringList inDrawingOrder;
    for (const Placement &placement : kPlacements) {
        const QString text =
            placement.text ? QString::fromUtf8(placement.text) : TQRMDForm::CopyrightNotice();
        inDrawingOrder << text;
        SCOPED_TRACE(placement.element);
        const int index = IndexOfText(page, text);
        ASSERT_GE(index, 0) << text.toStdString();
        const TQRPrintable *element = Element(QString::fromLatin1(placement.element));
        ASSERT_NE(element, nullptr);
        const QPointF corner = PaperCorner(page[index], element->Font());
        EXPECT_NEAR(corner.x(), placement.pageX * 10, 1.5);
        EXPECT_NEAR(corner.y(), placement.pageY * 10, 1.5);
        EXPECT_EQ(page[index].fontPointSize, element->Font().pointSizeF());
        // Each text lies on its own white box, drawn just before it.
        const Operation &box = page[FillBefore(page, index)];
        EXPECT_EQ(box.brush, QColor(Qt::white));
        EXPECT_NEAR(box.rect.left() + OriginOnPaper(device).x(), placement.pageX * 10, 1.0);
        EXPECT_NEAR(box.rect.top() + OriginOnPaper(device).y(), placement.pageY * 10, 1.0);
        EXPECT_NEAR(box.rect.height(), element->Size().height, 1.0);
    }
    EXPECT_EQ(Texts(page), inDrawingOrder);
}

TEST_F(ContactReport, TheBandsStandAtTheirTopsWhateverThePrintersMargins) {
    PrintContact(AddFullContact());
    ASSERT_EQ(Pages().size(), 1);
    const QPoint origin = OriginOnPaper(device);
    QList<QRectF> bands;
    for (const Operation &operation : Pages()[0]) {
        if (operation.kind == Operation::Rect && operation.rect.width() > 1800)
            bands << operation.rect.translated(origin);
    }
    ASSERT_EQ(bands.size(), 3);
    EXPECT_EQ(bands[0].top(), 127);
    EXPECT_EQ(bands[0].bottom(), 228); // 127 + 100.54, rounded
    EXPECT_EQ(bands[1].top(), 228);
    EXPECT_EQ(bands[1].bottom(), 1831); // 228 + 1603.375, rounded
    EXPECT_EQ(bands[2].top(), 2780);    // 2779.5, to the even neighbour
    EXPECT_EQ(bands[2].bottom(), 2844); // 2843.5, to the even neighbour
    for (const QRectF &band : bands) {
        EXPECT_EQ(band.left(), 127);
        EXPECT_EQ(band.right(), 1974); // 127 + 1846.79
    }
    // The footer is silver on white.
    const Page &page = Pages()[0];
    const int footer = IndexOfText(page, TQRMDForm::CopyrightNotice());
    ASSERT_GE(footer, 0);
    EXPECT_EQ(form.QRLabel14->FontColor(), QColor(192, 192, 192));
}

TEST_F(ContactReport, NullValuesPrintTheCaptionsAndHeadingsOnly) {
    PrintContact(AddContact("CountryID", "NULL"));
    ASSERT_EQ(Pages().size(), 1);
    EXPECT_EQ(Texts(Pages()[0]), Captions());
}

TEST_F(ContactReport, AContactWithoutACountryRowPrintsWithAnEmptyCountry) {
    PrintContact(AddFullContact("'Lost Country Ltd'", "'Springfield'", "9999"));
    ASSERT_EQ(Pages().size(), 1);
    const QStringList texts = Texts(Pages()[0]);
    EXPECT_TRUE(texts.contains("Lost Country Ltd"));
    EXPECT_TRUE(texts.contains("Country:"));
    EXPECT_FALSE(texts.contains("United States"));
    EXPECT_EQ(texts.size(), Captions().size() + 11); // every value but the country
}

TEST_F(ContactReport, AValueWithACarriageReturnPrintsItsFirstLineOnly) {
    PrintContact(AddFullContact("'First line' || char(13) || char(10) || 'Second line'"));
    ASSERT_EQ(Pages().size(), 1);
    const Page &page = Pages()[0];
    const int first = IndexOfText(page, "First line");
    ASSERT_GE(first, 0);
    EXPECT_EQ(IndexOfText(page, "Second line"), -1);
    EXPECT_FALSE(Texts(page).join('|').contains("Second"));
    // The band did not grow: the footer stays where it was.
    EXPECT_NEAR(
        PaperCorner(page[IndexOfText(page, TQRMDForm::CopyrightNotice())], form.QRLabel14->Font())
            .y(),
        2787.9, 1.5);
}

TEST_F(ContactReport, ALongCompanyNameRunsPastTheRightMarginUnclipped) {
    const QString name = QString(QStringLiteral("Worldwide Widget Manufacturing ")).repeated(3) +
                         QStringLiteral("Inc");
    ASSERT_LE(name.size(), 100);
    PrintContact(AddFullContact("'" + name + "'"));
    ASSERT_EQ(Pages().size(), 1);
    const Page &page = Pages()[0];
    const int index = IndexOfText(page, name);
    ASSERT_GE(index, 0);
    const double right = PaperCorner(page[index], form.QRDBText1->Font()).x() +
                         QFontMetricsF(form.QRDBText1->Font(), &device).horizontalAdvance(name);
    EXPECT_GT(right, 2100 - 127);
    // Its box is as wide as the name: nothing of it is cut off.
    const Operation &box = page[FillBefore(page, index)];
    EXPECT_GT(box.rect.right() + OriginOnPaper(device).x(), 2100 - 127);
}

TEST_F(ContactReport, ALongCityIsCoveredByThePostCodeBoxDrawnAfterIt) {
    const QString city = QStringLiteral("Chargoggagoggmanchauggagoggchaubunagungamaugg");
    PrintContact(AddFullContact("'Acme Tools'", "'" + city + "'"));
    ASSERT_EQ(Pages().size(), 1);
    const Page &page = Pages()[0];
    const int cityText = IndexOfText(page, city);
    const int postCodeCaption = IndexOfText(page, "Post Code:");
    ASSERT_GE(cityText, 0);
    ASSERT_GE(postCodeCaption, 0);
    const int postCodeBox = FillBefore(page, postCodeCaption);
    EXPECT_LT(cityText, postCodeBox);

    const QFontMetricsF metrics(form.QRDBText3->Font(), &device);
    const QRectF cityExtent(page[cityText].point.x(), page[cityText].point.y() - metrics.ascent(),
                            metrics.horizontalAdvance(city), metrics.height());
    const QRectF box = page[postCodeBox].rect;
    EXPECT_EQ(page[postCodeBox].brush, QColor(Qt::white));
    EXPECT_GT(box.left(), cityExtent.left());
    EXPECT_TRUE(box.intersects(cityExtent));
}

TEST_F(ContactReport, UnsavedEditsDoNotAppearTheStoredRowIsPrinted) {
    const QString key = AddFullContact();
    TTableCursor rsContacts(QStringLiteral("rsContacts"));
    rsContacts.SetConnection(&connection);
    rsContacts.SetTableName(QStringLiteral("Contacts"));
    rsContacts.Open();
    ASSERT_TRUE(rsContacts.Locate(QStringLiteral("ContactID"), key.toLongLong()));
    rsContacts.Edit();
    rsContacts.FieldNamed(QStringLiteral("CompanyName"))->SetTextValue("Typed, not saved");

    PrintContact(key);
    ASSERT_EQ(Pages().size(), 1);
    const QStringList texts = Texts(Pages()[0]);
    EXPECT_TRUE(texts.contains("Acme Tools"));
    EXPECT_FALSE(texts.contains("Typed, not saved"));
    rsContacts.Cancel();
}

TEST_F(ContactReport, AKeyNotFoundPrintsNoPageAndStartsNoJob) {
    AddFullContact();
    form.Report->SetShowProgress(true);
    PrintContact("987654");
    EXPECT_TRUE(form.qryContact.Active());
    EXPECT_TRUE(form.qryContact.IsEmpty());
    EXPECT_EQ(device.Engine().BeginCount(), 0);
    EXPECT_EQ(device.NewPageCalls(), 0);
    // The progress window opened and closed again.
    for (QWidget *widget : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<TQRProgressForm *>(widget), nullptr);
}

TEST_F(ContactReport, WithoutAPrinterNothingHappensAtAll) {
    const QString key = AddFullContact();
    form.LoadContact(connection, key);
    int setups = 0;
    form.Report->ProducerSetup = [&](TQRPrinter &) { ++setups; };
    const int windows = QApplication::topLevelWidgets().size();
    PrinterInstalledScope noPrinter(false);
    form.Report->Print();
    EXPECT_EQ(setups, 0);
    EXPECT_EQ(device.Engine().BeginCount(), 0);
    EXPECT_EQ(QApplication::topLevelWidgets().size(), windows);
    EXPECT_EQ(form.Report->QRPrinter(), nullptr);
}

TEST_F(ContactReport, TheRunReportsAHundredPercentForItsOneRow) {
    form.LoadContact(connection, AddFullContact());
    TQRPrinter producer;
    producer.SetOutputDevice(&device);
    form.Report->Run(producer);
    EXPECT_EQ(producer.Progress(), 100);
    EXPECT_EQ(producer.PageCount(), 1);
    EXPECT_EQ(producer.Title(), QString());
}

TEST_F(ContactReport, LoadContactReadsOneContactByItsKey) {
    AddFullContact("'First'");
    const QString second = AddFullContact("'Second'");
    form.LoadContact(connection, second);
    ASSERT_EQ(form.qryContact.SQL().Count(), 2);
    EXPECT_EQ(form.qryContact.SQL()[0], TQRMDForm::ContactStatement());
    EXPECT_EQ(form.qryContact.SQL()[1], second);
    EXPECT_EQ(form.qryContact.Connection(), &connection);
    EXPECT_EQ(form.qryContact.FieldNamed("CompanyName")->TextValue(), "Second");
    EXPECT_EQ(form.qryContact.FieldNamed("Country")->TextValue(), "United States");
    form.qryContact.Next();
    EXPECT_TRUE(form.qryContact.Eof());

    // Loading again replaces the statement; the query is reopened.
    const QString first = QString::number(second.toLongLong() - 1);
    form.LoadContact(connection, first);
    EXPECT_EQ(form.qryContact.SQL()[1], first);
    EXPECT_EQ(form.qryContact.FieldNamed("CompanyName")->TextValue(), "First");
}

TEST_F(ContactReport, AKeyThatIsNotANumberNeverReachesTheStatement) {
    const QString key = AddFullContact();
    form.LoadContact(connection, key);
    try {
        form.LoadContact(connection, key + " or 1=1");
        FAIL() << "the key was accepted";
    } catch (const EDatabaseError &error) {
        EXPECT_TRUE(error.Message().startsWith("qryContact: ")) << error.what();
    }
    EXPECT_FALSE(form.qryContact.Active());
    EXPECT_THROW(form.LoadContact(connection, QString()), EDatabaseError);
}

TEST_F(ContactReport, ClosingTheFormClosesItsQuery) {
    form.LoadContact(connection, AddFullContact());
    ASSERT_TRUE(form.qryContact.Active());
    form.close();
    EXPECT_FALSE(form.qryContact.Active());
}

} // namespace
