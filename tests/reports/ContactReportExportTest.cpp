// Exporting the contact report: the formats the report form offers, the
// export run that produces the report again into a format, and the files
// written for a sample contact through the preview's Save.
#include "PreviewDriver.h"
#include "ReportTestSupport.h"
#include "ReportWithRows.h"
#include "data/DBConnection.h"
#include "data/DatabaseErrors.h"
#include "reports/QRpt.h"
#include "reports/TQRAsciiExportFilter.h"
#include "reports/TQRBand.h"
#include "reports/TQRCSVFilter.h"
#include "reports/TQRCommaSeparatedFilter.h"
#include "reports/TQRDBText.h"
#include "reports/TQRExportFilterLibrary.h"
#include "reports/TQRHTMLDocumentFilter.h"
#include "reports/TQRLabel.h"
#include "reports/TQRProgressForm.h"
#include "reports/TQRReport.h"
#include "support/MemoryRowSource.h"
#include "support/TempDatabase.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

using namespace ReportTest;

namespace {

QByteArray ReadAll(const QString &fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

// The number of file types of a "description|pattern|..." filter.
int DialogTypes(const QString &filter) {
    return int(filter.split(QLatin1Char('|')).size() / 2);
}

QStringList FormatNames() {
    QStringList names;
    for (const TQRExportFilterLibraryEntry &entry : TQRExportFilterLibrary::Instance().Filters())
        names << entry.formatName;
    return names;
}

// Records every call an export run makes, and what the run looked like then.
class RecordingFilter : public TQRExportFilter {
public:
    explicit RecordingFilter(bool suppressesPageBreaks = false)
        : TQRExportFilter(QString()), suppresses_(suppressesPageBreaks) {}

    QString DescriptionText() const override { return QStringLiteral("Recording"); }
    QString FormatName() const override { return QStringLiteral("Recording"); }
    bool SuppressesPageBreaks() const override { return suppresses_; }
    void BeginExport(double width, double length, const TQRExportFont &font) override {
        TQRExportFilter::BeginExport(width, length, font);
        calls << QStringLiteral("BeginExport %1 %2").arg(width).arg(length);
        reportFont = font;
    }
    void FinishPage() override { calls << QStringLiteral("FinishPage"); }
    void EndExport() override {
        TQRExportFilter::EndExport();
        calls << QStringLiteral("EndExport");
    }
    void BeginPage() override {
        calls << QStringLiteral("BeginPage");
        if (onBeginPage)
            onBeginPage();
    }
    void PlaceText(double x, double y, const TQRExportFont &font, const QColor &background,
                   TAlignment alignment, const QString &text) override {
        calls << QStringLiteral("PlaceText");
        placed.append({text, x, y, alignment, font});
        backgrounds << background;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<TQRProgressForm *>(widget) && widget->isVisible())
                progressShown = true;
        }
    }

    QStringList calls;
    QList<TTextEntry> placed;
    QList<QColor> backgrounds;
    TQRExportFont reportFont;
    bool progressShown = false;
    std::function<void()> onBeginPage;

private:
    bool suppresses_;
};

class ContactReportExport : public ::testing::Test {
protected:
    void SetUp() override {
        MapReportFonts();
        ASSERT_TRUE(folder.isValid());
        connection.SetConnectionString(db.ConnectionString());
        connection.Open();
        savedSave = TQRStandardPreview::SaveDialog;
        savedOpen = TQRStandardPreview::OpenDialog;
    }
    void TearDown() override {
        TQRStandardPreview::SaveDialog = savedSave;
        TQRStandardPreview::OpenDialog = savedOpen;
        TQRCommaSeparatedFilter::SetSeparator(QLatin1Char(','));
    }

    QString AddContact(const QString &company = QStringLiteral("'Acme Tools'")) {
        db.Exec(QStringLiteral("insert into Contacts (CompanyName, ContactPerson, CountryID, "
                               "State, City, Address, PostCode, Phone, Fax, Mobile, Email, Url, "
                               "Note, StatusID) values (%1, 'Jane Doe', 1, 'Illinois', "
                               "'Springfield', '12 Main Street', '62701', '555-0101', "
                               "'555-0102', '555-0103', 'info@acme.test', 'www.acme.test', "
                               "'A note', 1)")
                    .arg(company));
        return db.Scalar(QStringLiteral("select max(ContactID) from Contacts")).toString();
    }

    QString Path(const QString &name) const { return folder.filePath(name); }

    // Exports the report of the contact into a new instance of the format.
    QByteArray Export(TQRExportFilterClass format, const QString &name) {
        form.LoadContact(connection, AddContact());
        const std::unique_ptr<TQRExportFilter> filter = format(Path(name));
        form.Report->ExportToFilter(*filter);
        return ReadAll(Path(name));
    }

    TempDatabase db;
    TDBConnection connection{QStringLiteral("connDB")};
    QTemporaryDir folder;
    TQRMDForm form;
    TQRStandardPreview::SaveFileDialog savedSave;
    TQRStandardPreview::FileDialog savedOpen;
};

// The grid of the sample contact's page: one column per distinct left edge
// (the footer's, the captions', the values', then the right-hand captions
// and values, whose edges differ by a few tenths of a millimetre), one line
// per distinct line top.
const char *const kCsv = "\"\",\"Contact Details Report\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n"
                         "\"\",\"Company\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n"
                         "\"\",\"Company Name:\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n"
                         "\"\",\"\",\"Acme Tools\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n"
                         "\"\",\"Contact Person:\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n"
                         "\"\",\"\",\"Jane Doe\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n"
                         "\"\",\"Address\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n"
                         "\"\",\"Country:\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n"
                         "\"\",\"\",\"United States\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n"
                         "\"\",\"\",\"\",\"\",\"State/Area:\",\"\",\"\",\"\",\"\"\r\n"
                         "\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"Illinois\",\"\"\r\n"
                         "\"\",\"City:\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n"
                         "\"\",\"\",\"Springfield\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n"
                         "\"\",\"\",\"\",\"Post Code:\",\"\",\"\",\"\",\"\",\"\"\r\n"
                         "\"\",\"\",\"\",\"\",\"\",\"\",\"62701\",\"\",\"\"\r\n"
                         "\"\",\"Address:\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n"
                         "\"\",\"\",\"12 Main Street\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n"
                         "\"\",\"Phone and Email\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n"
                         "\"\",\"Phone:\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n"
                         "\"\",\"\",\"555-0101\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n"
                         "\"\",\"Fax:\",\"\",\"\",\"\",\"Email:\",\"\",\"\",\"\"\r\n"
                         "\"\",\"\",\"555-0102\",\"\",\"\",\"\",\"\",\"\",\"info@acme.test\"\r\n"
                         "\"\",\"Mobile:\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n"
                         "\"\",\"\",\"555-0103\",\"\",\"\",\"Web SIte:\",\"\",\"\",\"\"\r\n"
                         "\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"www.acme.test\"\r\n"
                         "\"%1\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n";

// One HTML row of nine cells; `cells` gives the filled ones by column.
QString HtmlRow(const QMap<int, QString> &cells) {
    QString row = QStringLiteral("<TR>");
    for (int column = 1; column <= 9; ++column)
        row += QStringLiteral("<TD>") + cells.value(column) + QStringLiteral("</TD>");
    return row + QStringLiteral("</TR>\r\n");
}

QString Heading(const QString &text) {
    return QStringLiteral("<FONT  SIZE=+2>") + text + QStringLiteral("</FONT>");
}
QString Text12(const QString &text) {
    return QStringLiteral("<FONT  SIZE=+1>") + text + QStringLiteral("</FONT>");
}

QString ExpectedHtml(const QString &company) {
    QString html = QStringLiteral("<TABLE WIDTH=100% CELLPADDING=2 BORDER=0></TABLE>"
                                  "<TABLE WIDTH=100% CELLPADDING=2 BORDER=0>");
    html += HtmlRow({{2, Heading(QStringLiteral("Contact Details Report"))}});
    html += HtmlRow({{2, Heading(QStringLiteral("Company"))}});
    html += HtmlRow({{2, Text12(QStringLiteral("Company Name:"))}});
    html += HtmlRow({{3, Text12(company)}});
    html += HtmlRow({{2, Text12(QStringLiteral("Contact Person:"))}});
    html += HtmlRow({{3, Text12(QStringLiteral("Jane Doe"))}});
    html += HtmlRow({{2, Heading(QStringLiteral("Address"))}});
    html += HtmlRow({{2, Text12(QStringLiteral("Country:"))}});
    html += HtmlRow({{3, Text12(QStringLiteral("United States"))}});
    html += HtmlRow({{5, Text12(QStringLiteral("State/Area:"))}});
    html += HtmlRow({{8, Text12(QStringLiteral("Illinois"))}});
    html += HtmlRow({{2, Text12(QStringLiteral("City:"))}});
    html += HtmlRow({{3, Text12(QStringLiteral("Springfield"))}});
    html += HtmlRow({{4, Text12(QStringLiteral("Post Code:"))}});
    html += HtmlRow({{7, Text12(QStringLiteral("62701"))}});
    html += HtmlRow({{2, Text12(QStringLiteral("Address:"))}});
    html += HtmlRow({{3, Text12(QStringLiteral("12 Main Street"))}});
    html += HtmlRow({{2, Heading(QStringLiteral("Phone and Email"))}});
    html += HtmlRow({{2, Text12(QStringLiteral("Phone:"))}});
    html += HtmlRow({{3, Text12(QStringLiteral("555-0101"))}});
    html += HtmlRow({{2, Text12(QStringLiteral("Fax:"))}, {6, Text12(QStringLiteral("Email:"))}});
    html += HtmlRow(
        {{3, Text12(QStringLiteral("555-0102"))}, {9, Text12(QStringLiteral("info@acme.test"))}});
    html += HtmlRow({{2, Text12(QStringLiteral("Mobile:"))}});
    html += HtmlRow(
        {{3, Text12(QStringLiteral("555-0103"))}, {6, Text12(QStringLiteral("Web SIte:"))}});
    html += HtmlRow({{9, Text12(QStringLiteral("www.acme.test"))}});
    // The footer is silver and two points smaller than the report's font.
    html += HtmlRow({{1, QStringLiteral("<FONT COLOR=\"#C0C0C0\" SIZE=-1>") +
                             TQRMDForm::CopyrightNotice() + QStringLiteral("</FONT>")}});
    return html + QStringLiteral("</TABLE>");
}

// Ten-point characters, 1.7 to the point size: captions begin at character
// 9, values at 26, the right-hand captions at 54 and their values at 71;
// empty lines of the page are left out.
const char *const kText = "        Contact Details Report\r\n"
                          "        Company\r\n"
                          "        Company Name:    Acme Tools\r\n"
                          "        Contact Person:  Jane Doe\r\n"
                          "        Address\r\n"
                          "        Country:         United States               State/Area:\r\n"
                          "                                                                      "
                          "Illinois\r\n"
                          "        City:            Springfield                 Post Code:       "
                          "62701\r\n"
                          "        Address:         12 Main Street\r\n"
                          "        Phone and Email\r\n"
                          "        Phone:           555-0101\r\n"
                          "        Fax:             555-0102                    Email:           "
                          "info@acme.test\r\n"
                          "        Mobile:          555-0103                    Web SIte:        "
                          "www.acme.test\r\n"
                          "      %1\r\n";

TEST(ExportFormatLibrary, ListsFormatsInOrderAndRemovesTheFirstOfAName) {
    TQRExportFilterLibrary library;
    EXPECT_EQ(library.SaveDialogFilter(), "Folvane file(*.QRP)|*.QRP");
    library.RegisterFormat(&TQRHTMLDocumentFilter::Create);
    library.RegisterFormat(&TQRCommaSeparatedFilter::Create);
    library.RegisterFormat(&TQRHTMLDocumentFilter::Create);
    ASSERT_EQ(library.Filters().size(), 3);
    EXPECT_EQ(library.Filters()[0].formatName, "HTML document");
    EXPECT_EQ(library.Filters()[0].fileExtension, "HTM");
    EXPECT_EQ(library.SaveDialogFilter(),
              "Folvane file(*.QRP)|*.QRP|HTML document (*.HTM)|*.HTM|"
              "Comma Separated (*.CSV)|*.CSV|HTML document (*.HTM)|*.HTM");

    library.UnregisterFormat(&TQRHTMLDocumentFilter::Create);
    ASSERT_EQ(library.Filters().size(), 2);
    EXPECT_EQ(library.Filters()[0].formatName, "Comma Separated");
    EXPECT_EQ(library.Filters()[1].formatName, "HTML document");
    // A format that is not listed changes nothing.
    library.UnregisterFormat(&TQRAsciiExportFilter::Create);
    EXPECT_EQ(library.Filters().size(), 2);
    // The entry's class makes instances for a file.
    const std::unique_ptr<TQRExportFilter> made =
        library.Filters()[0].exportFilterClass(QStringLiteral("out.csv"));
    EXPECT_EQ(made->FileName(), "out.csv");
    EXPECT_EQ(made->FormatName(), "Comma Separated");
}

TEST_F(ContactReportExport, EveryReportFormOffersTheThreeFormatsWhileItLives) {
    // This fixture's form is the only one alive.
    EXPECT_EQ(TQRExportFilterLibrary::Instance().SaveDialogFilter(),
              "Folvane file(*.QRP)|*.QRP|HTML document (*.HTM)|*.HTM|"
              "Comma Separated (*.CSV)|*.CSV|Text file (*.TXT)|*.TXT");
    {
        TQRMDForm second;
        EXPECT_EQ(FormatNames(), QStringList({"HTML document", "Comma Separated", "Text file",
                                              "HTML document", "Comma Separated", "Text file"}));
        // One separator for the whole program.
        second.QRCSVFilter1->SetSeparator(QLatin1Char(';'));
        EXPECT_EQ(form.QRCSVFilter1->Separator(), QLatin1Char(';'));
        EXPECT_EQ(TQRCommaSeparatedFilter::Separator(), QLatin1Char(';'));
    }
    EXPECT_EQ(FormatNames(), QStringList({"HTML document", "Comma Separated", "Text file"}));
}

TEST_F(ContactReportExport, TheRunStartsTheFormatAndHandsItEveryLineOfTheOnePage) {
    form.LoadContact(connection, AddContact());
    RecordingFilter recording;
    form.Report->ExportToFilter(recording);

    QStringList expected = {"BeginExport 2100 2970", "FinishPage", "BeginPage"};
    for (int i = 0; i < 29; ++i)
        expected << "PlaceText";
    expected << "FinishPage"
             << "EndExport";
    EXPECT_EQ(recording.calls, expected);
    EXPECT_FALSE(recording.Active());
    EXPECT_EQ(recording.reportFont.font.family(), "Arial");
    EXPECT_EQ(recording.reportFont.font.pointSizeF(), 10);
    EXPECT_EQ(recording.reportFont.color, form.QRLabel10->FontColor());
    EXPECT_TRUE(recording.progressShown);

    ASSERT_EQ(recording.placed.size(), 29);
    // The title: the left margin plus its own left; the page header's top
    // plus its own.
    const TTextEntry &title = recording.placed[0];
    EXPECT_EQ(title.text, "Contact Details Report");
    EXPECT_DOUBLE_EQ(title.x, 127 + 24 * 254.0 / 96);
    EXPECT_DOUBLE_EQ(title.y, 127 + 8 * 254.0 / 96);
    EXPECT_EQ(title.font.font.pointSizeF(), 14);
    EXPECT_TRUE(title.font.font.underline());
    EXPECT_EQ(title.alignment, taLeftJustify);
    EXPECT_EQ(recording.backgrounds[0], QColor(Qt::white));
    // The company's value in the column header, which starts at 228.
    EXPECT_EQ(recording.placed[12].text, "Acme Tools");
    EXPECT_DOUBLE_EQ(recording.placed[12].x, 127 + 156 * 254.0 / 96);
    EXPECT_DOUBLE_EQ(recording.placed[12].y, 228 + 49 * 254.0 / 96);
    // The footer at 2780, in silver.
    const TTextEntry &footer = recording.placed.last();
    EXPECT_EQ(footer.text, TQRMDForm::CopyrightNotice());
    EXPECT_DOUBLE_EQ(footer.y, 2780 + 3 * 254.0 / 96);
    EXPECT_EQ(footer.font.color, QColor(192, 192, 192));
    // The report is free again, with no export target.
    EXPECT_FALSE(form.Report->Busy());
    EXPECT_EQ(form.Report->ExportFilter(), nullptr);
    EXPECT_EQ(form.Report->QRPrinter(), nullptr);
}

TEST_F(ContactReportExport, RightAlignedAndCentredTextIsAnchoredAtItsEdgeOrCentre) {
    form.LoadContact(connection, AddContact());
    form.QRDBText1->SetAlignment(taRightJustify);
    form.QRDBText15->SetAlignment(taCenter);
    RecordingFilter recording;
    form.Report->ExportToFilter(recording);
    ASSERT_EQ(recording.placed.size(), 29);
    const QStringList company = {QStringLiteral("Acme Tools")};
    const double width = TQRPrintable::AutoSizeWidth(form.QRDBText1->Font(), company, 100);
    EXPECT_EQ(recording.placed[12].alignment, taRightJustify);
    EXPECT_NEAR(recording.placed[12].x, 127 + 156 * 254.0 / 96 + width, 1e-9);
    const QStringList person = {QStringLiteral("Jane Doe")};
    const double half = TQRPrintable::AutoSizeWidth(form.QRDBText15->Font(), person, 100) / 2;
    EXPECT_EQ(recording.placed[14].alignment, taCenter);
    EXPECT_NEAR(recording.placed[14].x, 127 + 156 * 254.0 / 96 + half, 1e-9);
}

TEST_F(ContactReportExport, TheSampleContactExportsToTheExactFiles) {
    const QString notice = TQRMDForm::CopyrightNotice();
    EXPECT_EQ(Export(&TQRCommaSeparatedFilter::Create, QStringLiteral("contact.csv")),
              QString::fromLatin1(kCsv).arg(notice).toUtf8());
    EXPECT_EQ(Export(&TQRHTMLDocumentFilter::Create, QStringLiteral("contact.htm")),
              ExpectedHtml(QStringLiteral("Acme Tools")).toUtf8());
    EXPECT_EQ(Export(&TQRAsciiExportFilter::Create, QStringLiteral("contact.txt")),
              QString::fromLatin1(kText).arg(notice).toUtf8());
}

TEST_F(ContactReportExport, MarkupAndQuotesInTheDataStayText) {
    form.LoadContact(connection,
                     AddContact(QStringLiteral("'<b>\"Fish\" & Chips</b><script>x()</script>'")));
    const std::unique_ptr<TQRExportFilter> html =
        TQRHTMLDocumentFilter::Create(Path(QStringLiteral("unsafe.htm")));
    form.Report->ExportToFilter(*html);
    const QString escaped =
        QStringLiteral("&lt;b&gt;&quot;Fish&quot; &amp; Chips&lt;/b&gt;&lt;script&gt;x()"
                       "&lt;/script&gt;");
    EXPECT_EQ(ReadAll(Path(QStringLiteral("unsafe.htm"))), ExpectedHtml(escaped).toUtf8());

    const std::unique_ptr<TQRExportFilter> csv =
        TQRCommaSeparatedFilter::Create(Path(QStringLiteral("unsafe.csv")));
    form.Report->ExportToFilter(*csv);
    const QByteArray lines = ReadAll(Path(QStringLiteral("unsafe.csv")));
    EXPECT_TRUE(lines.contains(
        "\"\",\"\",\"<b>\"\"Fish\"\" & Chips</b><script>x()</script>\",\"\",\"\",\"\",\"\",\"\","
        "\"\"\r\n"))
        << lines.constData();
    EXPECT_EQ(lines.count("\r\n"), 26);
}

TEST_F(ContactReportExport, AFileThatCannotBeCreatedIsAnErrorAndTheReportStaysUsable) {
    form.LoadContact(connection, AddContact());
    const std::unique_ptr<TQRExportFilter> intoFolder =
        TQRCommaSeparatedFilter::Create(folder.path());
    try {
        form.Report->ExportToFilter(*intoFolder);
        FAIL() << "no error";
    } catch (const EError &error) {
        EXPECT_TRUE(error.Message().startsWith("Cannot create file")) << error.what();
    }
    EXPECT_FALSE(form.Report->Busy());
    EXPECT_EQ(form.Report->ExportFilter(), nullptr);

    const std::unique_ptr<TQRExportFilter> text =
        TQRAsciiExportFilter::Create(Path(QStringLiteral("after.txt")));
    form.Report->ExportToFilter(*text);
    EXPECT_TRUE(ReadAll(Path(QStringLiteral("after.txt"))).startsWith("        Contact Details"));
}

TEST_F(ContactReportExport, TheOpenPreviewSavesInTheChosenTypeAndKeepsItsPages) {
    form.LoadContact(connection, AddContact());
    {
        // A second form lists every format a second time: types 2 and 5
        // are both HTML.
        TQRMDForm second;
        QString offered;
        QStringList chosen = {QStringLiteral("three"), QStringLiteral("two"),
                              QStringLiteral("five"), QStringLiteral("four.txt"),
                              QStringLiteral("one")};
        const QList<int> types = {3, 2, 5, 4, 1};
        int call = 0;
        TQRStandardPreview::SaveDialog = [&](QWidget *, const QString &, const QString &filter,
                                             int &filterIndex) {
            offered = filter;
            filterIndex = types.value(call);
            return Path(chosen.value(call++));
        };
        bool keptPages = false;
        PreviewDriver driver([&](const QList<TQRStandardPreview *> &previews) {
            if (previews.size() != 1 || !previews[0]->Item(QStringLiteral("Print"))->isEnabled())
                return false;
            for (int i = 0; i < types.size(); ++i)
                previews[0]->Item(QStringLiteral("SaveReport"))->trigger();
            keptPages = previews[0]->QRPrinter()->PageCount() == 1 &&
                        previews[0]->QRPrinter()->Status() == mpFinished &&
                        previews[0]->QRPrinter()->ExportHandler != nullptr;
            previews[0]->close();
            return true;
        });
        form.Report->Preview();
        ASSERT_TRUE(driver.Done());
        EXPECT_EQ(DialogTypes(offered), 7);
        EXPECT_TRUE(keptPages);
    }
    const QByteArray csv = ReadAll(Path(QStringLiteral("three.CSV")));
    EXPECT_TRUE(csv.startsWith("\"\",\"Contact Details Report\",")) << csv.constData();
    const QByteArray html = ExpectedHtml(QStringLiteral("Acme Tools")).toUtf8();
    EXPECT_EQ(ReadAll(Path(QStringLiteral("two.HTM"))), html);
    EXPECT_EQ(ReadAll(Path(QStringLiteral("five.HTM"))), html);
    // A name with its own extension keeps it.
    EXPECT_TRUE(ReadAll(Path(QStringLiteral("four.txt"))).startsWith("        Contact"));
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("four.txt.csv"))));
    // The first type is the saved report file.
    EXPECT_GT(QFileInfo(Path(QStringLiteral("one.QRP"))).size(), 128);
}

TEST_F(ContactReportExport, AfterALoadTheExportTypesWriteNothing) {
    form.LoadContact(connection, AddContact());
    const QString saved = Path(QStringLiteral("saved.qrp"));
    int type = 1;
    QString target = saved;
    TQRStandardPreview::SaveDialog = [&](QWidget *, const QString &, const QString &,
                                         int &filterIndex) {
        filterIndex = type;
        return target;
    };
    TQRStandardPreview::OpenDialog = [&](QWidget *, const QString &, const QString &) {
        return saved;
    };
    PreviewDriver driver([&](const QList<TQRStandardPreview *> &previews) {
        if (previews.size() != 1 || !previews[0]->Item(QStringLiteral("Print"))->isEnabled())
            return false;
        TQRStandardPreview *preview = previews[0];
        preview->Item(QStringLiteral("SaveReport"))->trigger();
        preview->Item(QStringLiteral("LoadReport"))->trigger();
        type = 2;
        target = Path(QStringLiteral("after-load.htm"));
        preview->Item(QStringLiteral("SaveReport"))->trigger();
        preview->close();
        return true;
    });
    form.Report->Preview();
    ASSERT_TRUE(driver.Done());
    EXPECT_TRUE(QFileInfo::exists(saved));
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("after-load.htm"))));
}

TEST(ExportRun, PagesBreakForTheFormatUnlessItSuppressesBreaks) {
    MapReportFonts();
    ReportWithRows data(12);
    RecordingFilter paged;
    data.report.ExportToFilter(paged);
    EXPECT_EQ(paged.calls.count("BeginPage"), 3);
    EXPECT_EQ(paged.calls.count("FinishPage"), 4);
    ASSERT_EQ(paged.placed.size(), 12);
    // Row 6 opens the second page at the top margin.
    EXPECT_EQ(paged.placed[5].text, "Row 6");
    EXPECT_DOUBLE_EQ(paged.placed[5].y, 127);
    EXPECT_FALSE(paged.progressShown);

    RecordingFilter oneSheet(true);
    data.report.ExportToFilter(oneSheet);
    EXPECT_EQ(oneSheet.calls.count("BeginPage"), 1);
    EXPECT_EQ(oneSheet.calls.count("FinishPage"), 2);
    ASSERT_EQ(oneSheet.placed.size(), 12);
    // Every row below the one before, far past the paper's length.
    EXPECT_DOUBLE_EQ(oneSheet.placed[11].y, 127 + 11 * 500);
}

TEST(ExportRun, CancellingStopsAtTheNextRowAndStillClosesTheOutput) {
    MapReportFonts();
    ReportWithRows data(12);
    RecordingFilter cancelled;
    cancelled.onBeginPage = [&] {
        // The progress window's Cancel, while the second page starts.
        if (cancelled.calls.count("BeginPage") == 2)
            data.report.QRPrinter()->SetCancelled(true);
    };
    data.report.ExportToFilter(cancelled);
    EXPECT_EQ(cancelled.placed.size(), 6);
    ASSERT_GE(cancelled.calls.size(), 2);
    EXPECT_EQ(cancelled.calls.mid(cancelled.calls.size() - 2),
              QStringList({"FinishPage", "EndExport"}));
    EXPECT_FALSE(data.report.Busy());
}

TEST(ExportRun, AnExportWhileTheReportIsProducingIsRefused) {
    MapReportFonts();
    ReportWithRows data(3);
    RecordingFilter inner;
    bool refused = false;
    RecordingFilter outer;
    outer.onBeginPage = [&] {
        try {
            data.report.ExportToFilter(inner);
        } catch (const EQRError &) {
            refused = true;
        }
    };
    data.report.ExportToFilter(outer);
    EXPECT_TRUE(refused);
    EXPECT_TRUE(inner.calls.isEmpty());
    EXPECT_EQ(outer.placed.size(), 3);
}

} // namespace
