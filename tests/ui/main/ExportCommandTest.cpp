#include "ui/main/ExportCommand.h"

#include "data/DBConnection.h"
#include "data/QueryCursor.h"
#include "support/TempDatabase.h"
#include "ui/controls/TErrorBox.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

const QByteArray kHeaderLine = "Country,CompanyName,ContactPerson,CountryID,State,City,Address,"
                               "PostCode,Phone,Fax,Mobile,Email,Url,StatusID,LastCallDate,"
                               "CallbackDate,\r\n";

QByteArray Read(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// The command on the main window's export query over a database with one
// contact; every box it would show is caught.
class ExportCommandTest : public ::testing::Test {
protected:
    ExportCommandTest() {
        db.Exec("insert into Contacts (CompanyName, CountryID) values ('Acme', 1)");
        conn.SetConnectionString(db.ConnectionString());
        query.SetConnection(&conn);
        query.SQL().Add("select ct.Name as Country, c.* from Contacts c");
        query.SQL().Add("left join Countries ct on ct.CountryID = c.CountryID");
        query.BeforeOpen = [this](TRecordCursor &) { ++opened; };
        ExportCommand::ShowHook = [this](const QString &caption, const QString &text) {
            ioBoxes << caption + "|" + text;
        };
        TErrorBox::ShowHook = [this](const QString &, const QString &text) { errorBox << text; };
    }
    ~ExportCommandTest() override {
        ExportCommand::ShowHook = nullptr;
        TErrorBox::ShowHook = nullptr;
    }
    QString PathOf(const QString &name) const { return out.path() + "/" + name; }
    void Choose(const QString &fileName) {
        command.SetChooser([fileName] { return fileName; });
    }

    TempDatabase db;
    TDBConnection conn{"connDB"};
    TQueryCursor query{"qryExportContacts"};
    QTemporaryDir out;
    QWidget window;
    ExportCommand command{query, &window};
    int opened = 0;
    QStringList ioBoxes;
    QStringList errorBox;
};

TEST_F(ExportCommandTest, TheSaveDialogIsTitledWithTheDefaultExtensionAndTheFourFilters) {
    ASSERT_TRUE(command.dlgSaveContacts);
    QFileDialog &dialog = *command.dlgSaveContacts;
    EXPECT_EQ(dialog.windowTitle(), "Save Contacts");
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog.defaultSuffix(), "CVS");
    EXPECT_EQ(dialog.nameFilters(),
              (QStringList{"Text Decoument (*.txt)", "Comma Separated Values (*.csv)",
                           "HTML (*.html)", "All Files (*.*)"}));
    EXPECT_EQ(dialog.parentWidget(), &window);
}

TEST_F(ExportCommandTest, CancellingTheDialogWritesNothingAndOpensNoQuery) {
    Choose(QString());
    command.ExportContacts();
    EXPECT_EQ(opened, 0);
    EXPECT_TRUE(QDir(out.path()).isEmpty());
    EXPECT_TRUE(ioBoxes.isEmpty());
}

TEST_F(ExportCommandTest, TheChosenFileGetsEveryContactAndNoBoxIsShown) {
    Choose(PathOf("contacts.csv"));
    command.ExportContacts();
    EXPECT_EQ(Read(PathOf("contacts.csv")), kHeaderLine + "United States,Acme,,1,,,,,,,,,,,,,\r\n");
    EXPECT_FALSE(query.Active());
    EXPECT_TRUE(ioBoxes.isEmpty());
}

TEST_F(ExportCommandTest, ANameTypedWithoutExtensionGetsCvsAndIsWrittenAsText) {
    // The real dialog, answered while it runs as the user would.
    QTimer::singleShot(0, [this] {
        command.dlgSaveContacts->setDirectory(out.path());
        command.dlgSaveContacts->selectFile("contacts");
        static_cast<QDialog *>(command.dlgSaveContacts.data())->accept();
    });
    command.ExportContacts();
    EXPECT_TRUE(ioBoxes.isEmpty());
    ASSERT_TRUE(QFileInfo::exists(PathOf("contacts.CVS")));
    EXPECT_TRUE(Read(PathOf("contacts.CVS")).startsWith(kHeaderLine));
}

TEST_F(ExportCommandTest, AFileThatCannotBeCreatedShowsTheFileIOErrorBox) {
    Choose(PathOf("no such folder/contacts.csv"));
    EXPECT_NO_THROW(command.ExportContacts());
    EXPECT_EQ(ioBoxes, QStringList{TErrorBox::ApplicationTitle() + "|File I/O error."});
    EXPECT_EQ(opened, 0);
    EXPECT_TRUE(errorBox.isEmpty());
}

TEST_F(ExportCommandTest, AFileThatCannotBeWrittenShowsTheFileIOErrorBox) {
    if (!QFileInfo::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full to fail the writes";
    Choose("/dev/full");
    EXPECT_NO_THROW(command.ExportContacts());
    EXPECT_EQ(ioBoxes, QStringList{TErrorBox::ApplicationTitle() + "|File I/O error."});
    EXPECT_FALSE(query.Active());
}

TEST_F(ExportCommandTest, AFailingQueryIsLeftToTheErrorBox) {
    query.SQL().Clear();
    query.SQL().Add("select * from NoSuchTable");
    Choose(PathOf("contacts.csv"));
    EXPECT_THROW(command.ExportContacts(), EError);
    // As the menu runs it: the engine's message in the standard error box.
    TErrorBox::Guard([this] { command.ExportContacts(); });
    ASSERT_EQ(errorBox.size(), 1);
    EXPECT_TRUE(errorBox[0].contains("NoSuchTable")) << errorBox[0].toStdString();
    EXPECT_TRUE(ioBoxes.isEmpty());
}

TEST_F(ExportCommandTest, TheDialogMayGoWithItsWindowFirst) {
    auto parent = std::make_unique<QWidget>();
    auto own = std::make_unique<ExportCommand>(query, parent.get());
    parent.reset();
    EXPECT_FALSE(own->dlgSaveContacts);
    own->SetChooser([] { return QString(); });
    own->ExportContacts();
    own.reset(); // no second deletion of the dialog
    EXPECT_EQ(opened, 0);
}

} // namespace
