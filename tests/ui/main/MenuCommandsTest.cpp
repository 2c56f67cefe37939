#include "ReportHooks.h"
#include "support/TempDatabase.h"
#include "ui/main/ExportCommand.h"
#include "ui/main/frmMain.h"

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TfrmMain::TErrorReporter Ignore() {
    return [](std::exception_ptr) {};
}

TEST(MenuCommands, HelpOpensTheHelpPageBesideTheProgram) {
    TempDatabase db;
    TfrmMain window(db.Folder(), Ignore());
    QList<QUrl> opened;
    window.shellOpen = [&](const QUrl &url) { opened << url; };
    window.mniHelpContent->trigger();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(db.Folder() + "Corvana.html"));
}

TEST(MenuCommands, SaveContactsExportsEveryContactWithoutMovingTheEditor) {
    TempDatabase db(3);
    // A contact whose country is missing, and one without any.
    db.Exec("INSERT INTO Contacts (CompanyName, CountryID) VALUES ('Nowhere Ltd', 999)");
    db.Exec("INSERT INTO Contacts (CompanyName, CountryID) VALUES ('Null Ltd', NULL)");
    TfrmMain window(db.Folder(), Ignore());
    window.rsContacts.Last();
    const int editorAt = window.rsContacts.FieldNamed("ContactID")->IntegerValue();
    QTemporaryDir out;
    const QString file = out.filePath("contacts.csv");
    window.exportCommand->SetChooser([&] { return file; });
    window.mniSaveContacts->trigger();
    QFile written(file);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = written.readAll().split('\n');
    // Header, five contacts, and the empty piece after the last line end.
    ASSERT_EQ(lines.size(), 7);
    EXPECT_TRUE(lines[0].startsWith("Country,CompanyName,"));
    EXPECT_TRUE(lines[4].startsWith(",Nowhere Ltd,"));
    EXPECT_TRUE(lines[5].startsWith(",Null Ltd,"));
    EXPECT_EQ(window.rsContacts.FieldNamed("ContactID")->IntegerValue(), editorAt);
    EXPECT_FALSE(window.qryExportContacts.Active());
}

TEST(MenuCommands, PrintPrintsTheCurrentContactOnOnePage) {
    TempDatabase db(3);
    TfrmMain window(db.Folder(), Ignore());
    PrintToPdf pdf;
    window.rsContacts.Next();
    window.mniPrint->trigger();
    EXPECT_EQ(window.reportForms.size(), 1u);
    EXPECT_EQ(pdf.Pages(), 1);
}

TEST(MenuCommands, PrintWithoutAStoredContactDoesNothing) {
    TempDatabase db(0);
    TfrmMain window(db.Folder(), Ignore());
    PrintToPdf pdf;
    window.mniPrint->trigger(); // no contact at all
    EXPECT_TRUE(window.reportForms.empty());
    window.rsContacts.Insert(); // a new row has no key yet
    window.mniPrint->trigger();
    EXPECT_TRUE(window.reportForms.empty());
    EXPECT_EQ(window.rsContacts.State(), stInsert);
    EXPECT_EQ(pdf.Pages(), -1);
}

TEST(MenuCommands, PrintWithoutAnInstalledPrinterDoesNothing) {
    TempDatabase db(2);
    TfrmMain window(db.Folder(), Ignore());
    PrintToPdf pdf(false);
    window.mniPrint->trigger();
    EXPECT_EQ(pdf.Pages(), -1);
}

} // namespace
