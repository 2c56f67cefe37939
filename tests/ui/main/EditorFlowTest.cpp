// The editor as a user chains it: type, save, delete; pick a call-back date,
// move on, delete; save against another program's change, then save again.

#include "settings/GenFun.h"
#include "support/TempDatabase.h"
#include "support/TempSettings.h"
#include "ui/controls/TDBEdit.h"
#include "ui/controls/TDateTimePicker.h"
#include "ui/controls/TErrorBox.h"
#include "ui/main/ContactEditor.h"
#include "ui/main/EditorCommands.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QDateTimeEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class EditorFlow : public ::testing::Test {
protected:
    EditorFlow() : db(5) {
        TErrorBox::ShowHook = [this](const QString &, const QString &text) { shown << text; };
        window = std::make_unique<TfrmMain>(
            db.Folder(), [this](std::exception_ptr) { shown << "FormCreate failed"; });
        editor = window->editor.get();
        commands = window->commands.get();
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    ~EditorFlow() override { TErrorBox::ShowHook = nullptr; }

    // Replaces an edit's text by typing, as a user does.
    void Type(QWidget *edit, const QString &text) {
        edit->setFocus();
        QApplication::processEvents();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, text);
    }
    int Id() { return window->rsContacts.FieldNamed("ContactID")->IntegerValue(); }
    QString Stored(const char *column, int id) { return db.ContactText(column, id); }
    int Count() { return db.ContactCount(); }
    std::string Shown() const { return shown.join(" | ").toStdString(); }

    TempSettings settings;
    TempDatabase db;
    QStringList shown;
    std::unique_ptr<TfrmMain> window;
    ContactEditor *editor = nullptr;
    EditorCommands *commands = nullptr;
};

TEST_F(EditorFlow, EditSaveThenDeleteAndEditAgainSaveMoveDelete) {
    Type(editor->txtPhone, "555 0199");
    commands->btnSave->click();
    EXPECT_EQ(Stored("Phone", 1), "555 0199");
    commands->btnDelete->click();
    EXPECT_TRUE(shown.isEmpty()) << Shown();
    EXPECT_EQ(Count(), 4);
    EXPECT_EQ(Id(), 2);
    EXPECT_EQ(editor->txtCompany->text(), Stored("CompanyName", 2));
    // Once more with a move between the save and the delete.
    Type(editor->txtCity, "Leeds");
    commands->btnSave->click();
    commands->btnNext->click();
    EXPECT_EQ(Id(), 3);
    commands->btnDelete->click();
    EXPECT_TRUE(shown.isEmpty()) << Shown();
    EXPECT_EQ(Count(), 3);
    EXPECT_EQ(Stored("City", 2), "Leeds");
    EXPECT_EQ(Id(), 4);
}

TEST_F(EditorFlow, ACallbackPickedOnOneContactThenDeleteAnother) {
    const QString before = Stored("CallbackDate", 1);
    QDateTimeEdit *picker = commands->dateCallback->Editor();
    picker->setFocus();
    QApplication::processEvents();
    QTest::keyClick(picker, Qt::Key_Up); // the user steps the date
    EXPECT_NE(Stored("CallbackDate", 1), before);
    EXPECT_EQ(window->rsContacts.State(), stBrowse);
    commands->btnNext->click();
    EXPECT_EQ(Id(), 2);
    commands->btnDelete->click();
    EXPECT_TRUE(shown.isEmpty()) << Shown();
    EXPECT_EQ(Count(), 4);
    EXPECT_EQ(db.Scalar("select count(*) from Contacts where ContactID = 2").toInt(), 0);
}

TEST_F(EditorFlow, ASaveRefusedForAnotherProgramsChangeThenSavedAgain) {
    Type(editor->txtPhone, "mine");
    db.Exec("update Contacts set Phone = 'theirs', Fax = 'their fax' where ContactID = 1");
    commands->btnSave->click();
    ASSERT_EQ(shown.size(), 1) << Shown();
    EXPECT_TRUE(shown[0].contains("changed by another program")) << Shown();
    EXPECT_EQ(Stored("Phone", 1), "theirs");
    // The user's text stays; what they did not touch shows what is stored.
    EXPECT_EQ(editor->txtPhone->text(), "mine");
    EXPECT_EQ(editor->txtFax->text(), "their fax");
    commands->btnSave->click();
    EXPECT_EQ(shown.size(), 1) << Shown();
    EXPECT_EQ(Stored("Phone", 1), "mine");
    EXPECT_EQ(Stored("Fax", 1), "their fax");
    EXPECT_EQ(window->rsContacts.State(), stBrowse);
    // A change by the other program to another field alone is no conflict.
    Type(editor->txtCity, "Mine City");
    db.Exec("update Contacts set Mobile = 'their mobile' where ContactID = 1");
    commands->btnSave->click();
    EXPECT_EQ(shown.size(), 1) << Shown();
    EXPECT_EQ(Stored("City", 1) + "/" + Stored("Mobile", 1), "Mine City/their mobile");
    EXPECT_EQ(editor->txtMobile->text(), "their mobile");
}

} // namespace
