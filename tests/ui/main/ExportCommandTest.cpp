#include "ui/main/ExportCommand.h"

#include "data/DBConnection.h"
#include "data/QueryCursor.h"
#include "support/ModalAnswer.h"
#include "support/TempDatabase.h"
#include "support/TempHome.h"
#include "ui/controls/TDialogFolder.h"
#include "ui/controls/TErrorBox.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
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

// Runs the command with its real dialog, answered by `answer` once it shows;
// false when no dialog came up or it stayed open after the answer.
bool RunAnswered(ExportCommand &command, const std::function<void(QFileDialog &)> &answer) {
    ModalAnswer<QFileDialog> answering(answer);
    command.ExportContacts();
    return answering.Answered() && !answering.LeftOpen();
}

TEST_F(ExportCommandTest, TheDialogOpensInTheDocumentsFolderThenWhereTheLastFileWent) {
    TempHome home;
    ASSERT_TRUE(home.IsValid());
    ASSERT_TRUE(home.MakeDocuments());
    TDialogFolder::Remember(QString());

    ShownFileDialog first, second, third;
    ASSERT_TRUE(RunAnswered(command, [&](QFileDialog &dialog) {
        first = ShownFileDialog::Of(dialog);
        TypeAndPressEnter(dialog, "contacts");
    }));
    EXPECT_EQ(first.title, "Save Contacts");
    EXPECT_EQ(first.folder, home.Documents());
    EXPECT_EQ(first.nameBox, "");
    EXPECT_TRUE(Read(home.Documents() + "/contacts.CVS").startsWith(kHeaderLine));

    // The box holds the previous file's name only, selected: typing a
    // whole path replaces it.
    ASSERT_TRUE(RunAnswered(command, [&](QFileDialog &dialog) {
        second = ShownFileDialog::Of(dialog);
        TypeAndPressEnter(dialog, PathOf("first"));
    }));
    EXPECT_EQ(second.folder, home.Documents());
    EXPECT_EQ(second.nameBox, "contacts.CVS");
    EXPECT_EQ(second.selectedName, "contacts.CVS");
    EXPECT_TRUE(Read(PathOf("first.CVS")).startsWith(kHeaderLine));

    // Now it opens where that file went; a plain name lands there.
    ASSERT_TRUE(RunAnswered(command, [&](QFileDialog &dialog) {
        third = ShownFileDialog::Of(dialog);
        TypeAndPressEnter(dialog, "second.html");
    }));
    EXPECT_EQ(third.folder, out.path());
    EXPECT_EQ(third.nameBox, "first.CVS");
    EXPECT_TRUE(Read(PathOf("second.html")).startsWith("<html>"));
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files), (QStringList{"first.CVS", "second.html"}));
    EXPECT_TRUE(ioBoxes.isEmpty());
    TDialogFolder::Remember(QString());
}

TEST_F(ExportCommandTest, TheRealFileIOErrorBoxCarriesTheApplicationTitle) {
    ExportCommand::ShowHook = nullptr;
    Choose(PathOf("no such folder/contacts.csv"));
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    ModalAnswer<QMessageBox> answer([&](QMessageBox &box) {
        title = box.windowTitle();
        text = box.text();
        icon = box.icon();
        buttons = box.standardButtons();
        box.button(QMessageBox::Ok)->click();
    });
    command.ExportContacts();
    ASSERT_TRUE(answer.Answered());
    EXPECT_FALSE(answer.LeftOpen());
    EXPECT_FALSE(title.isEmpty());
    EXPECT_EQ(title, TErrorBox::ApplicationTitle());
    EXPECT_EQ(text, "File I/O error.");
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
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
