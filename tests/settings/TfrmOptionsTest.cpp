#include "settings/TfrmOptions.h"

#include "settings/GenFun.h"
#include "settings/ReminderOptions.h"
#include "support/TempDatabase.h"
#include "support/TempSettings.h"
#include "ui/controls/ErrorBoxCapture.h"

#include "data/DBConnection.h"
#include "data/DatabaseErrors.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QString kUnset = QStringLiteral("<unset>");

// The raw stored text of the default country, kUnset when none is stored.
QString StoredDefault() {
    return GenFun::ReadRegString(GenFun::kKey, GenFun::kDefaultCountry, kUnset);
}

QStringList Items(const QComboBox *combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

// The visible Options dialog of a modal run, or null.
TfrmOptions *ShownDialog() {
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *dialog = qobject_cast<TfrmOptions *>(widget);
        if (dialog && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

bool AnyOptionsDialogLeft() {
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (qobject_cast<TfrmOptions *>(widget))
            return true;
    return false;
}

// A database whose countries are listed by OrderNumber in an order that is
// neither alphabetical nor that of CountryID: Canada, Austria, Norway, Brazil.
class OptionsDialog : public ::testing::Test {
protected:
    void SetUp() override {
        SetCountries("(1, 'Norway', 30), (2, 'Canada', 10), (5, 'Austria', 20), (9, 'Brazil', 40)");
        connDB.SetConnectionString(db.ConnectionString());
    }

    // Replaces the countries; an empty `values` leaves none.
    void SetCountries(const char *values) {
        db.Exec("DELETE FROM Countries");
        if (*values)
            db.Exec(QStringLiteral("INSERT INTO Countries (CountryID, Name, OrderNumber) VALUES ") +
                    QLatin1String(values));
    }

    // A dialog opened as the main window opens it, shown without a modal
    // loop so that the test can click its buttons.
    std::unique_ptr<TfrmOptions> Open() {
        auto dialog = std::make_unique<TfrmOptions>();
        dialog->qryCountries.SetConnection(&connDB);
        dialog->qryCountries.Open();
        dialog->FormShow();
        dialog->show();
        return dialog;
    }

    static void Click(QPushButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

    static void Type(TfrmOptions &dialog, const QString &text) {
        QLineEdit *edit = dialog.cmbCountries->lineEdit();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }

    std::vector<QString> ErrorTexts() const {
        std::vector<QString> texts;
        for (const auto &shown : errors.shown)
            texts.push_back(shown.text);
        return texts;
    }

    TempSettings settings;
    TempDatabase db;
    TDBConnection connDB{QStringLiteral("connDB")};
    ErrorBoxCapture errors;
};

TEST_F(OptionsDialog, CaptionBorderAndControlsSitWhereTheyBelong) {
    auto dialog = Open();
    EXPECT_EQ(dialog->windowTitle(), "Options");
    EXPECT_EQ(dialog->size(), QSize(326, 213));
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize()); // the border is fixed
    EXPECT_EQ(dialog->PageControl1->geometry(), QRect(0, 0, 326, 185));
    ASSERT_EQ(dialog->PageControl1->count(), 3);
    EXPECT_EQ(dialog->PageControl1->tabText(0), "Defaults");
    EXPECT_EQ(dialog->PageControl1->tabText(1), "Reminders");
    EXPECT_EQ(dialog->PageControl1->tabText(2), "Database");
    EXPECT_EQ(dialog->PageControl1->widget(0), dialog->tabDefaults);
    EXPECT_EQ(dialog->Label1->text(), "Choose default Country:");
    EXPECT_EQ(dialog->Label1->pos(), QPoint(16, 8));
    EXPECT_EQ(dialog->cmbCountries->geometry(), QRect(16, 24, 177, 21));
    EXPECT_TRUE(dialog->cmbCountries->isEditable());
    EXPECT_TRUE(dialog->cmbCountries->isVisible());
    EXPECT_EQ(dialog->cmbCountryID->geometry(), QRect(8, 24, 49, 21));
    EXPECT_FALSE(dialog->cmbCountryID->isVisible());
    EXPECT_EQ(dialog->btnDefCountry->text(), "Set as Default");
    EXPECT_EQ(dialog->btnDefCountry->geometry(), QRect(200, 21, 109, 25));
    EXPECT_EQ(dialog->btnDefCountry->parentWidget(), dialog->tabDefaults);
    EXPECT_EQ(dialog->btnOK->text(), "OK");
    EXPECT_EQ(dialog->btnOK->geometry(), QRect(167, 187, 75, 25));
    EXPECT_EQ(dialog->btnCancel->text(), "Cancel");
    EXPECT_EQ(dialog->btnCancel->geometry(), QRect(248, 187, 75, 25));
}

TEST_F(OptionsDialog, RemindersAreOnWithoutLeadUntilOkStoresThePage) {
    // Nothing stored, or values no one could have stored: on, no lead.
    EXPECT_EQ(ReminderSettings::Read(), ReminderSettings{});
    GenFun::WriteRegString(GenFun::kKey, ReminderSettings::kOn, "yes");
    GenFun::WriteRegString(GenFun::kKey, ReminderSettings::kLeadMinutes, "-5");
    EXPECT_EQ(ReminderSettings::Read(), ReminderSettings{});
    GenFun::WriteRegString(GenFun::kKey, ReminderSettings::kLeadMinutes, "99999");
    EXPECT_EQ(ReminderSettings::Read().leadMinutes, 0);

    auto dialog = Open();
    ReminderOptions *page = dialog->tabReminders;
    dialog->PageControl1->setCurrentWidget(page);
    EXPECT_TRUE(page->chkRemind->isChecked());
    EXPECT_EQ(page->spnLead->value(), 0);
    // Off greys out the lead; Cancel keeps what was stored.
    QTest::mouseClick(page->chkRemind, Qt::LeftButton);
    EXPECT_FALSE(page->spnLead->isEnabled());
    Click(dialog->btnCancel);
    EXPECT_TRUE(ReminderSettings::Read().on);

    dialog = Open();
    page = dialog->tabReminders;
    dialog->PageControl1->setCurrentWidget(page);
    page->spnLead->selectAll();
    QTest::keyClicks(page->spnLead, "15");
    QTest::mouseClick(page->chkRemind, Qt::LeftButton);
    Click(dialog->btnOK);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(ReminderSettings::Read().on, false);
    EXPECT_EQ(ReminderSettings::Read().leadMinutes, 15);
    // The default country was stored by the same OK.
    EXPECT_EQ(StoredDefault(), "1");

    dialog = Open();
    EXPECT_FALSE(dialog->tabReminders->chkRemind->isChecked());
    EXPECT_EQ(dialog->tabReminders->spnLead->value(), 15);
    EXPECT_FALSE(dialog->tabReminders->spnLead->isEnabled());
}

TEST_F(OptionsDialog, ListsCountriesInOrderNumberOrderPairedWithTheirIds) {
    auto dialog = Open();
    EXPECT_EQ(Items(dialog->cmbCountries), QStringList({"Canada", "Austria", "Norway", "Brazil"}));
    EXPECT_EQ(Items(dialog->cmbCountryID), QStringList({"2", "5", "1", "9"}));
    EXPECT_TRUE(errors.shown.empty());
}

TEST_F(OptionsDialog, WithNoStoredValueCountryOneIsSelectedAndNothingIsStored) {
    auto dialog = Open();
    EXPECT_EQ(dialog->cmbCountries->currentText(), "Norway");
    EXPECT_EQ(dialog->SelectedIndex(), 2);
    EXPECT_EQ(StoredDefault(), kUnset);
}

TEST_F(OptionsDialog, WithoutTheDefaultCountryTheFirstInListOrderIsSelected) {
    SetCountries("(3, 'Norway', 30), (2, 'Canada', 10), (5, 'Austria', 20)");
    auto noStoredValue = Open();
    EXPECT_EQ(noStoredValue->cmbCountries->currentText(), "Canada");
    EXPECT_EQ(noStoredValue->SelectedIndex(), 0);

    GenFun::SetDefaultCountryID(77); // a country that has since gone
    auto goneCountry = Open();
    EXPECT_EQ(goneCountry->cmbCountries->currentText(), "Canada");
}

TEST_F(OptionsDialog, TheStoredDefaultIsSelectedFirstInTheMiddleAndLast) {
    const struct {
        int id;
        int position;
        const char *name;
    } cases[] = {{2, 0, "Canada"}, {5, 1, "Austria"}, {1, 2, "Norway"}, {9, 3, "Brazil"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        GenFun::SetDefaultCountryID(c.id);
        auto dialog = Open();
        EXPECT_EQ(dialog->cmbCountries->currentText(), c.name);
        EXPECT_EQ(dialog->SelectedIndex(), c.position);
    }
}

TEST_F(OptionsDialog, SetAsDefaultStoresAndTheDialogStaysOpenThenCancelKeepsIt) {
    auto dialog = Open();
    dialog->cmbCountries->setCurrentIndex(3);
    Click(dialog->btnDefCountry);
    EXPECT_EQ(StoredDefault(), "9");
    EXPECT_EQ(GenFun::GetDefaultCountryID(), 9);
    EXPECT_TRUE(dialog->isVisible());

    dialog->cmbCountries->setCurrentIndex(1); // chosen, but cancelled below
    Click(dialog->btnCancel);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(GenFun::GetDefaultCountryID(), 9);
    EXPECT_TRUE(errors.shown.empty());
}

TEST_F(OptionsDialog, OkStoresTheSelectedCountryAndCloses) {
    GenFun::SetDefaultCountryID(9);
    auto dialog = Open();
    dialog->cmbCountries->setCurrentIndex(1);
    Click(dialog->btnOK);
    EXPECT_EQ(StoredDefault(), "5");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(errors.shown.empty());
}

TEST_F(OptionsDialog, ClosingByTheCloseBoxStoresNothing) {
    auto dialog = Open();
    dialog->cmbCountries->setCurrentIndex(0);
    dialog->close();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(StoredDefault(), kUnset);
}

TEST_F(OptionsDialog, TypedNamesAreLookedUpByTheirExactText) {
    auto dialog = Open();
    // The combo box still has Norway as its current entry while the user
    // types another name: the typed name decides.
    Type(*dialog, "Brazil");
    EXPECT_EQ(dialog->cmbCountries->count(), 4);
    Click(dialog->btnDefCountry);
    EXPECT_EQ(StoredDefault(), "9");

    Type(*dialog, "Austria");
    Click(dialog->btnOK);
    EXPECT_EQ(StoredDefault(), "5");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(errors.shown.empty());
}

TEST_F(OptionsDialog, ATypedNameNotInTheListFailsAndStoresNothing) {
    GenFun::SetDefaultCountryID(2);
    auto dialog = Open();
    for (const char *typed : {"Atlantis", "brazil", "Braz", ""}) {
        SCOPED_TRACE(typed);
        errors.shown.clear();
        Type(*dialog, typed);
        if (!*typed)
            dialog->cmbCountries->setEditText(QString());
        EXPECT_EQ(dialog->SelectedIndex(), -1);
        Click(dialog->btnDefCountry);
        Click(dialog->btnOK);
        EXPECT_EQ(ErrorTexts(), std::vector<QString>(2, "List index out of bounds (-1)"));
        EXPECT_EQ(StoredDefault(), "2");
        EXPECT_TRUE(dialog->isVisible()); // OK failed, so the dialog stays open
    }
    // Typing never adds the text to the list, which would break the pairs.
    Type(*dialog, "Atlantis");
    QTest::keyClick(dialog->cmbCountries->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(dialog->cmbCountries->count(), 4);
}

TEST_F(OptionsDialog, AnEmptyListSelectsNothingAndSetAsDefaultFails) {
    SetCountries("");
    auto dialog = Open();
    EXPECT_EQ(dialog->cmbCountries->count(), 0);
    EXPECT_EQ(dialog->cmbCountryID->count(), 0);
    EXPECT_EQ(dialog->SelectedIndex(), -1);
    Click(dialog->btnDefCountry);
    Click(dialog->btnOK);
    EXPECT_EQ(ErrorTexts(), std::vector<QString>(2, "List index out of bounds (-1)"));
    EXPECT_EQ(StoredDefault(), kUnset);
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(OptionsDialog, AStoredDefaultThatIsNoIntegerMakesOpeningFail) {
    GenFun::WriteRegString(GenFun::kKey, GenFun::kDefaultCountry, "Norway");
    TfrmOptions direct;
    direct.qryCountries.SetConnection(&connDB);
    direct.qryCountries.Open();
    try {
        direct.FormShow();
        ADD_FAILURE() << "FormShow succeeded";
    } catch (const EError &error) {
        EXPECT_EQ(error.Message(), "'Norway' is not a valid integer value");
    }

    // Through the menu's way of opening it, the message reaches the error
    // box and no dialog is left behind (a shown one would block here).
    TfrmOptions::Execute(connDB, nullptr);
    EXPECT_EQ(ErrorTexts(), std::vector<QString>{"'Norway' is not a valid integer value."});
    EXPECT_EQ(StoredDefault(), "Norway");
}

TEST_F(OptionsDialog, ExecuteShowsAFreshModalDialogEachTime) {
    GenFun::SetDefaultCountryID(5);
    QStringList seenNames;
    QString seenSelection;
    QPointer<TfrmOptions> firstDialog;
    // Runs inside the dialog's modal loop: looks, chooses Canada, presses OK.
    QTimer::singleShot(0, [&] {
        TfrmOptions *dialog = ShownDialog();
        ASSERT_NE(dialog, nullptr);
        firstDialog = dialog;
        EXPECT_TRUE(dialog->isModal());
        seenNames = Items(dialog->cmbCountries);
        seenSelection = dialog->cmbCountries->currentText();
        dialog->cmbCountries->setCurrentIndex(0);
        Click(dialog->btnOK);
    });
    // Should the dialog not be found, the run must still end.
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (TfrmOptions *stuck = ShownDialog())
            stuck->reject();
    });
    guard.start(5000);
    TfrmOptions::Execute(connDB, nullptr);
    EXPECT_EQ(seenNames, QStringList({"Canada", "Austria", "Norway", "Brazil"}));
    EXPECT_EQ(seenSelection, "Austria");
    EXPECT_EQ(StoredDefault(), "2");
    EXPECT_TRUE(firstDialog.isNull()); // destroyed when it closed
    EXPECT_FALSE(AnyOptionsDialogLeft());

    // A second opening reads the countries afresh.
    db.Exec("INSERT INTO Countries (CountryID, Name, OrderNumber) VALUES (12, 'Denmark', 15)");
    QTimer::singleShot(0, [&] {
        TfrmOptions *dialog = ShownDialog();
        ASSERT_NE(dialog, nullptr);
        seenNames = Items(dialog->cmbCountries);
        seenSelection = dialog->cmbCountries->currentText();
        Click(dialog->btnCancel);
    });
    TfrmOptions::Execute(connDB, nullptr);
    EXPECT_EQ(seenNames, QStringList({"Canada", "Denmark", "Austria", "Norway", "Brazil"}));
    EXPECT_EQ(seenSelection, "Canada");
    EXPECT_EQ(StoredDefault(), "2");
    EXPECT_FALSE(AnyOptionsDialogLeft());
    EXPECT_TRUE(errors.shown.empty());
}

} // namespace
