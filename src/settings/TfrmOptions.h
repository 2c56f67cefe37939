#pragma once

#include "data/DataSource.h"
#include "data/QueryCursor.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class QTabWidget;
class TDBConnection;
class ReminderOptions;
class DatabaseOptions;

// The Options dialog: the user picks the country that new contacts receive
// from the countries of the database, and "Set as Default" or "OK" stores
// its CountryID through GenFun. A second page, "Reminders", sets the
// call-back reminders, and a third, "Database", which database the program
// opens at its next start; OK stores them too.
//
// The dialog reads the countries through its own query, qryCountries
// ("select * from Countries order by OrderNumber", static), which the caller
// connects and opens. cmbCountries holds the names in list order and the
// hidden cmbCountryID the CountryID of the same entry as text, so entry i of
// one belongs to entry i of the other.
class TfrmOptions : public QDialog {
    Q_OBJECT
public:
    explicit TfrmOptions(QWidget *parent = nullptr);
    ~TfrmOptions() override;

    // Opens a fresh dialog on `connection` and shows it modally: the query
    // is connected and opened, FormShow fills the lists, then the dialog
    // runs until it is closed; it is destroyed before this returns, so its
    // query never outlives the borrowed connection. A failure on the way
    // (the query, a stored default that is no integer) is shown in the
    // error box and the dialog is not shown. Never throws.
    static void Execute(TDBConnection &connection, QWidget *parent);
    // Opens a fresh dialog without a database, for when the program could
    // not open its own: it shows the Database page, the Defaults page is
    // disabled (its countries come from the database) and OK leaves the
    // default country as stored. True when closed with OK. A failure on the
    // way is shown in the error box (false). Never throws.
    static bool ExecuteWithoutDatabase(QWidget *parent);

    // FormShow, then the modal loop; returns the dialog's result. Failures
    // of FormShow propagate and the dialog is not shown.
    int ShowModal();

    // Reads the stored default (GenFun::GetDefaultCountryID, whose failure
    // propagates), adds every row from the query's current row to its end
    // to the two lists, and selects the entry of the default country, else
    // the first entry.
    void FormShow();
    // Stores the CountryID of the selected entry. With no entry selected it
    // fails with "List index out of bounds (-1)" and stores nothing.
    void btnDefCountryClick();
    // As btnDefCountryClick (unless the dialog is without a database), then
    // stores the Reminders and Database pages and closes the dialog
    // (accepted); when one of them fails the dialog stays open.
    void btnOKClick();
    // Closes the dialog without storing anything.
    void btnCancelClick();

    // The position of the selected entry of cmbCountries: the entry whose
    // text equals the text in the combo box (the current entry first, so a
    // repeated name resolves to the one the user picked), -1 when none does.
    int SelectedIndex() const;

    TQueryCursor qryCountries{QStringLiteral("qryCountries")};
    TDataSource dsCountries{QStringLiteral("dsCountries")};

    QTabWidget *PageControl1 = nullptr;
    QWidget *tabDefaults = nullptr;
    QLabel *Label1 = nullptr;
    QComboBox *cmbCountries = nullptr;
    QComboBox *cmbCountryID = nullptr;
    QPushButton *btnDefCountry = nullptr;
    ReminderOptions *tabReminders = nullptr;
    DatabaseOptions *tabDatabase = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void BuildControls();

    // False for a dialog opened by ExecuteWithoutDatabase.
    bool withDatabase_ = true;
};
