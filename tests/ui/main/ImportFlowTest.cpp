// Importing as a user does it from the Tools menu: a pending edit is saved
// first, the mapping dialog counts again when a column's target changes,
// the editor and both lists show the new contacts, and the undo takes back
// exactly what the import did while keeping a later edit elsewhere.

#include "interchange/ContactImporter.h"
#include "support/TempDatabase.h"
#include "support/TempSettings.h"
#include "ui/controls/TDBEdit.h"
#include "ui/controls/TErrorBox.h"
#include "ui/main/ContactEditor.h"
#include "ui/main/EditorCommands.h"
#include "ui/main/ImportCommand.h"
#include "ui/main/ImportDialog.h"
#include "ui/main/InterchangeCommands.h"
#include "ui/main/VCardExportCommand.h"
#include "ui/main/frmMain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class ImportFlow : public ::testing::Test {
protected:
    ImportFlow() : db(5) {
        TErrorBox::ShowHook = [this](const QString &, const QString &text) { shown << text; };
        window = std::make_unique<TfrmMain>(db.Folder(),
                                            [this](std::exception_ptr) { shown << "failed"; });
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        command = window->interchange->importCommand.get();
        command->tell = [this](const QString &text) { shown << text; };
        command->ask = [this](const QString &) { return answerYes; };
    }
    ~ImportFlow() override { TErrorBox::ShowHook = nullptr; }

    QString WriteFile(const QByteArray &bytes) {
        const QString path = db.Folder() + QStringLiteral("import.csv");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    int Id() { return window->rsContacts.FieldNamed("ContactID")->IntegerValue(); }
    // The rows of a list, read to the end as a user scrolling it would.
    static int Rows(TQueryCursor &list) {
        int rows = 0;
        for (list.First(); !list.Eof(); list.Next())
            ++rows;
        return rows;
    }
    std::string Shown() const { return shown.join(" | ").toStdString(); }

    TempSettings settings;
    TempDatabase db;
    QStringList shown;
    bool answerYes = true;
    std::unique_ptr<TfrmMain> window;
    ImportCommand *command = nullptr;
};

TEST_F(ImportFlow, MapCountImportThenUndoKeepsTheUsersOtherEdit) {
    const QString storedEmail = db.ContactText("Email", 2);
    db.Exec(QStringLiteral("UPDATE Contacts SET Fax = NULL WHERE ContactID = 2"));
    const QString path =
        WriteFile("Org,First Name,Last Name,E-mail Address,Business Fax,Country\r\n"
                  "Fenwick Ltd,Ada,Byron,ada@fenwick.example,020 1111,Aland Islands\r\n"
                  "\"Quill, Ink & Co\",Bo,Lind,bo@quill.example,,\xc3\x85land Islands\r\n"
                  "Zephyr,Cy,Moss,cy@zephyr.example,,Atlantis\r\n"
                  "Dup,,,\"  " +
                  storedEmail.toUpper().toUtf8() + "\",+44 (20) 7946-0000,\r\n");
    const qint64 countriesOfAland =
        db.Scalar(QStringLiteral("SELECT CountryID FROM Countries WHERE Name = 'Aland Islands'"))
            .toLongLong();
    const qint64 callbacksBefore = Rows(window->qryCallBack);

    // An edit not saved yet is saved before the import reads anything.
    window->rsContacts.Locate(QStringLiteral("ContactID"), 2);
    window->editor->txtCity->setFocus();
    QTest::keyClick(window->editor->txtCity, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(window->editor->txtCity, "Harrogate");

    QStringList counts;
    command->chooser = [&] { return path; };
    command->runDialog = [&](ImportDialog &dialog) {
        counts << dialog.CountLabel()->text();
        // The unknown header is skipped until the user maps it.
        EXPECT_EQ(dialog.TargetBox(0)->currentText(), "(skip)");
        EXPECT_EQ(dialog.TargetBox(3)->currentText(),
                  CsvContactMapping::TargetName(CsvContactMapping::Email));
        dialog.TargetBox(0)->setCurrentIndex(
            dialog.TargetBox(0)->findData(int(CsvContactMapping::CompanyName)));
        counts << dialog.CountLabel()->text();
        EXPECT_TRUE(dialog.Choices()->button(ContactImporter::SkipDuplicates)->isChecked());
        dialog.Choices()->button(ContactImporter::FillEmptyFields)->click();
        return int(QDialog::Accepted);
    };
    window->interchange->mniImportContacts->trigger();

    EXPECT_EQ(db.ContactText("City", 2), "Harrogate");
    ASSERT_EQ(counts.size(), 2);
    EXPECT_EQ(counts[1], "4 contacts in the file: 3 new, 1 likely duplicates of stored contacts.");
    ASSERT_EQ(shown, QStringList{"Import finished: 3 contacts added, 1 contact completed."})
        << Shown();
    EXPECT_EQ(db.ContactCount(), 8);
    // The editor stands on the first contact added; the lists hold the new ones.
    EXPECT_EQ(Id(), 6);
    EXPECT_EQ(window->editor->txtCompany->text(), "Fenwick Ltd");
    EXPECT_EQ(window->editor->txtContactPerson->text(), "Ada Byron");
    EXPECT_EQ(Rows(window->qryCallBack), callbacksBefore + 3);
    EXPECT_EQ(Rows(window->qrySearch), 8);
    EXPECT_EQ(db.ContactText("CompanyName", 7), "Quill, Ink & Co");
    EXPECT_EQ(db.Scalar(QStringLiteral("SELECT CountryID FROM Contacts WHERE ContactID = 7"))
                  .toLongLong(),
              countriesOfAland);
    EXPECT_EQ(db.ContactText("Note", 8), "Country: Atlantis");
    EXPECT_EQ(db.ContactText("Fax", 2), "+44 (20) 7946-0000");

    // The user edits a new contact; then takes the import back.
    window->rsContacts.Locate(QStringLiteral("ContactID"), 3);
    window->editor->txtCity->setFocus();
    QTest::keyClick(window->editor->txtCity, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(window->editor->txtCity, "Ripon");
    shown.clear();
    answerYes = false;
    window->interchange->mniUndoImport->trigger();
    EXPECT_EQ(db.ContactCount(), 8);
    answerYes = true;
    window->interchange->mniUndoImport->trigger();
    EXPECT_EQ(shown,
              QStringList{"The last import was undone: 3 contacts removed, 1 field restored."})
        << Shown();
    EXPECT_EQ(db.ContactCount(), 5);
    EXPECT_EQ(db.ContactText("Fax", 2), "");
    EXPECT_EQ(db.ContactText("City", 3), "Ripon");
    EXPECT_EQ(db.ContactText("City", 2), "Harrogate");
    EXPECT_EQ(Id(), 3);
    EXPECT_EQ(Rows(window->qrySearch), 5);

    shown.clear();
    window->interchange->mniUndoImport->trigger();
    EXPECT_EQ(shown, QStringList{"There is no import to undo."});
}

TEST_F(ImportFlow, AMalformedFileStoresNothingAndNamesTheLine) {
    const QString path =
        WriteFile("Company,E-mail Address\nOne,one@x.example\n\"Two,two@x.example\n");
    command->chooser = [&] { return path; };
    bool dialogShown = false;
    command->runDialog = [&](ImportDialog &dialog) {
        dialogShown = true;
        EXPECT_FALSE(dialog.findChild<QPushButton *>(QStringLiteral("btnImport"))->isEnabled());
        return int(QDialog::Rejected);
    };
    window->interchange->mniImportContacts->trigger();
    EXPECT_TRUE(dialogShown);
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_TRUE(shown.front().startsWith("Line 3:")) << Shown();
    EXPECT_EQ(db.ContactCount(), 5);
}

TEST_F(ImportFlow, AFileInTheWindowsCodePageSaysSoAndReadsItsLetters) {
    const QString path = WriteFile("Company,City\r\nCaf\xe9 Noir,K\xf6ln\r\n");
    command->chooser = [&] { return path; };
    bool noted = false;
    command->runDialog = [&](ImportDialog &dialog) {
        noted = !dialog.EncodingLabel()->isHidden();
        return int(QDialog::Accepted);
    };
    window->interchange->mniImportContacts->trigger();
    EXPECT_TRUE(noted);
    EXPECT_EQ(db.ContactText("CompanyName", 6), QStringLiteral("Caf\u00e9 Noir"));
    EXPECT_EQ(db.ContactText("City", 6), QStringLiteral("K\u00f6ln"));
}

TEST_F(ImportFlow, ExportTheCurrentContactWithItsPendingEditThenAll) {
    VCardExportCommand *exporter = window->interchange->exportCommand.get();
    const QString file = db.Folder() + QStringLiteral("out.vcf");
    std::optional<bool> scope = true;
    bool offeredCurrent = false;
    exporter->chooseScope = [&](bool canChooseCurrent) {
        offeredCurrent = canChooseCurrent;
        return scope;
    };
    exporter->chooseFile = [&] { return file; };
    exporter->tell = [this](const QString &text) { shown << text; };
    window->rsContacts.Locate(QStringLiteral("ContactID"), 3);
    window->editor->txtCity->setFocus();
    QTest::keyClick(window->editor->txtCity, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(window->editor->txtCity, "Whitby; North");
    window->interchange->mniExportVCards->trigger();
    EXPECT_TRUE(offeredCurrent);
    ASSERT_EQ(shown, QStringList{"1 contact written to " + file + "."}) << Shown();
    QFile written(file);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray card = written.readAll();
    EXPECT_EQ(card.count("BEGIN:VCARD"), 1);
    EXPECT_TRUE(card.contains(";Whitby\\; North;")) << card.constData();
    EXPECT_TRUE(card.contains("ORG:" + db.ContactText("CompanyName", 3).toUtf8()));
    written.close();

    shown.clear();
    scope = false;
    window->interchange->mniExportVCards->trigger();
    ASSERT_EQ(shown, QStringList{"5 contacts written to " + file + "."}) << Shown();
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll().count("END:VCARD"), 5);
}

} // namespace
