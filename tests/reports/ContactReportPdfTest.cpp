// The contact report of a sample contact printed into a PDF file, for a look
// with pdftotext -bbox or pdftoppm. Runs only when CORVANA_REPORT_PDF names
// the file to write:
//   CORVANA_REPORT_PDF=/tmp/contact.pdf corvana_reports_tests --gtest_filter='ContactReportPdf*'
#include "ReportTestSupport.h"
#include "data/DBConnection.h"
#include "reports/QRpt.h"
#include "reports/TQRReport.h"
#include "support/TempDatabase.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPdfWriter>
#include <gtest/gtest.h>

namespace {

TEST(ContactReportPdf, PrintsASampleContactIntoThePdfFileNamedByTheEnvironment) {
    const QString path = qEnvironmentVariable("CORVANA_REPORT_PDF");
    if (path.isEmpty())
        GTEST_SKIP() << "set CORVANA_REPORT_PDF to the PDF file to write";
    ReportTest::MapReportFonts();
    TempDatabase db;
    db.Exec("insert into Contacts (CompanyName, ContactPerson, CountryID, State, City, Address, "
            "PostCode, Phone, Fax, Mobile, Email, Url, StatusID) values ('Acme Tools', "
            "'Jane Doe', 1, 'Illinois', 'Springfield', '12 Main Street', '62701', "
            "'555-0101', '555-0102', '555-0103', 'info@acme.test', 'www.acme.test', 1)");
    const QString key = db.Scalar("select max(ContactID) from Contacts").toString();
    TDBConnection connection(QStringLiteral("connDB"));
    connection.SetConnectionString(db.ConnectionString());
    connection.Open();

    QPdfWriter writer(path);
    writer.setResolution(600);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
    TQRMDForm form;
    form.Report->ProducerSetup = [&writer](TQRPrinter &producer) {
        producer.SetOutputDevice(&writer);
    };
    ReportTest::PrinterInstalledScope printer(true);
    form.LoadContact(connection, key);
    form.Report->Print();

    const QFileInfo written(path);
    EXPECT_TRUE(written.exists());
    EXPECT_GT(written.size(), 1000);
}

} // namespace
