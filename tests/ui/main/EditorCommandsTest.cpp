#include "ui/main/EditorCommands.h"
#include "settings/GenFun.h"
#include "support/TempDatabase.h"
#include "support/TempSettings.h"
#include "ui/controls/TDBEdit.h"
#include "ui/controls/TDateTimePicker.h"
#include "ui/controls/TErrorBox.h"
#include "ui/main/ContactEditor.h"
#include "ui/main/frmMain.h"

#include <QPushButton>
#include <gtest/gtest.h>

namespace {

class EditorCommandsTest : public ::testing::Test {
protected:
    explicit EditorCommandsTest(int contacts = 3) : db(contacts) {
        GenFun::SetDefaultCountryID(7);
        TErrorBox::ShowHook = [this](const QString &, const QString &text) { shown << text; };
        window = std::make_unique<TfrmMain>(
            db.Folder(), [this](std::exception_ptr) { shown << "FormCreate failed"; });
        commands = window->commands.get();
        commands->SetOpener([this](const QUrl &url) { opened << url; });
    }
    ~EditorCommandsTest() override { TErrorBox::ShowHook = nullptr; }
    TField *F(const char *name) { return window->rsContacts.FieldNamed(name); }
    int Count() { return db.Scalar("select count(*) from Contacts").toInt(); }

    TempSettings settings;
    TempDatabase db;
    QStringList shown;
    QList<QUrl> opened;
    std::unique_ptr<TfrmMain> window;
    EditorCommands *commands = nullptr;
};

class EmptyEditor : public EditorCommandsTest {
protected:
    EmptyEditor() : EditorCommandsTest(0) {}
};

TEST_F(EditorCommandsTest, NextPastTheLastContactStartsANewOneWithTheDefaults) {
    // Stepping onto the last contact and past it.
    commands->btnNext->click();
    commands->btnNext->click();
    EXPECT_EQ(F("ContactID")->IntegerValue(), 3);
    commands->btnNext->click();
    EXPECT_EQ(window->rsContacts.State(), stInsert) << shown.join("; ").toStdString();
    EXPECT_EQ(F("CountryID")->IntegerValue(), 7);
    EXPECT_EQ(F("StatusID")->IntegerValue(), 1);
    const double today = DateTimeValue::FromDate(QDate::currentDate());
    EXPECT_EQ(DateTimeValue::DayOf(F("CallbackDate")->DateTimeValue()), today);
    EXPECT_EQ(DateTimeValue::DayOf(F("LastCallDate")->DateTimeValue()), today);
    EXPECT_EQ(DateTimeValue::DayOf(commands->dateCallback->Date()), today);
    // Delete does nothing here: the row source stands after its last row.
    commands->btnDelete->click();
    EXPECT_EQ(window->rsContacts.State(), stInsert);
    EXPECT_EQ(Count(), 3);
    // Going back stores the new contact with only its defaults.
    commands->btnPrev->click();
    EXPECT_EQ(Count(), 4);
    EXPECT_EQ(db.Scalar("select CountryID from Contacts where ContactID = 4").toInt(), 7);
    EXPECT_TRUE(shown.isEmpty()) << shown.join("; ").toStdString();
}

TEST_F(EditorCommandsTest, AfterLastTheSourceStandsOnTheLastRowSoDeleteDiscardsTheNewOne) {
    commands->btnLast->click();
    commands->btnNext->click(); // Eof already: no move, a new contact begins
    EXPECT_EQ(window->rsContacts.State(), stInsert);
    commands->btnDelete->click();
    EXPECT_EQ(window->rsContacts.State(), stBrowse);
    EXPECT_EQ(Count(), 3);
}

TEST_F(EditorCommandsTest, DeleteDiscardsANewContactOrRemovesAStoredOne) {
    commands->btnNew->click();
    EXPECT_EQ(window->rsContacts.State(), stInsert);
    commands->btnDelete->click();
    EXPECT_EQ(window->rsContacts.State(), stBrowse);
    EXPECT_EQ(Count(), 3);
    EXPECT_EQ(F("ContactID")->IntegerValue(), 1);
    commands->btnDelete->click();
    EXPECT_EQ(Count(), 2);
    EXPECT_EQ(F("ContactID")->IntegerValue(), 2);
    EXPECT_EQ(window->editor->txtCompany->text(), F("CompanyName")->TextValue());
}

TEST_F(EditorCommandsTest, SaveWithoutAChangeCancelsAndCancelDropsANewContact) {
    const QString before =
        db.Scalar("select CompanyName from Contacts where ContactID = 1").toString();
    window->rsContacts.Edit();
    commands->btnSave->click();
    EXPECT_EQ(window->rsContacts.State(), stBrowse);
    EXPECT_EQ(db.Scalar("select CompanyName from Contacts where ContactID = 1").toString(), before);
    commands->btnNew->click();
    commands->btnCancel->click();
    EXPECT_EQ(Count(), 3);
    EXPECT_EQ(F("ContactID")->IntegerValue(), 1);
    // Save on a new contact stores it even with nothing typed.
    commands->btnNew->click();
    commands->btnSave->click();
    EXPECT_EQ(Count(), 4);
}

TEST_F(EditorCommandsTest, ACallbackDateChosenWhileTypingANewContactStoresItAtOnce) {
    commands->btnNew->click();
    F("CompanyName")->SetTextValue("Fresh Co");
    const double day = DateTimeValue::FromDate(QDate(2027, 3, 4));
    commands->dateCallback->SetDate(day);
    commands->timeCallback->SetTime(day + 0.75);
    commands->dateCallbackChange();
    EXPECT_EQ(window->rsContacts.State(), stBrowse);
    EXPECT_EQ(Count(), 4);
    EXPECT_DOUBLE_EQ(
        db.Scalar("select CallbackDate from Contacts where CompanyName = 'Fresh Co'").toDouble(),
        day + 0.75);
}

TEST_F(EditorCommandsTest, PickersFollowTheRowAndShowTheEpochForNull) {
    db.Exec("update Contacts set CallbackDate = null, LastCallDate = 46364.5 where ContactID = 2");
    commands->btnNext->click();
    EXPECT_EQ(F("ContactID")->IntegerValue(), 2);
    EXPECT_EQ(DateTimeValue::DayOf(commands->dateCallback->Date()), 0.0);
    EXPECT_EQ(DateTimeValue::ToTime(commands->timeCallback->Time()), QTime(0, 0));
    EXPECT_DOUBLE_EQ(commands->dateLastCall->Date(), 46364.5);
    EXPECT_DOUBLE_EQ(commands->timeLastCall->Time(), 46364.5);
    // Refreshing the pickers never writes the row back.
    EXPECT_EQ(window->rsContacts.State(), stBrowse);
}

TEST_F(EditorCommandsTest, MailAndWebAddressesGoToTheDesktop) {
    window->rsContacts.Edit();
    F("Email")->SetTextValue("anna@example.com");
    F("Url")->SetTextValue("www.example.com");
    commands->btnMail->click();
    commands->btnBrowse->click();
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[0].toString(), "mailto:anna@example.com");
    EXPECT_EQ(opened[1].toString(), "http://www.example.com");
}

TEST_F(EmptyEditor, DeleteOnAnEmptyTableDoesNothingAndAPickerCreatesAContact) {
    commands->btnDelete->click();
    EXPECT_TRUE(shown.isEmpty()) << shown.join("; ").toStdString();
    commands->dateLastCall->SetDate(DateTimeValue::FromDate(QDate(2026, 1, 2)));
    commands->dateLastCallChange();
    EXPECT_EQ(Count(), 1);
    EXPECT_EQ(db.Scalar("select StatusID from Contacts").toInt(), 1);
}

TEST_F(EditorCommandsTest, AStoredDefaultCountryThatIsNoNumberIsReported) {
    GenFun::WriteRegString(GenFun::kKey, GenFun::kDefaultCountry, "abc");
    commands->btnNew->click();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0], "'abc' is not a valid integer value.");
}

} // namespace
