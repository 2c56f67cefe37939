#pragma once

#include <QString>
#include <vector>

class QFrame;
class QLabel;
class QWidget;
class TDBEdit;
class TDBLookupComboBox;
class TDBMemo;
class TDataSource;

// The contact editor on the main window's editor panel: the field labels,
// the bound edits and the remarks memo, all following dsContacts.
class ContactEditor {
public:
    ContactEditor(QFrame *panel, TDataSource *dsContacts, TDataSource *dsCountries,
                  TDataSource *dsStatus);

    TDBEdit *txtCompany = nullptr;
    TDBEdit *txtContactPerson = nullptr;
    TDBLookupComboBox *cmbCountry = nullptr;
    TDBEdit *txtState = nullptr;
    TDBEdit *txtCity = nullptr;
    TDBEdit *txtAddress = nullptr;
    TDBEdit *txtPostCode = nullptr;
    TDBEdit *txtPhone = nullptr;
    TDBEdit *txtFax = nullptr;
    TDBEdit *txtMobile = nullptr;
    TDBEdit *txtEmail = nullptr;
    TDBEdit *txtUrl = nullptr;
    TDBLookupComboBox *cmbStatus = nullptr;
    TDBMemo *txtNotes = nullptr;
    std::vector<QLabel *> labels;

    // The bound controls in tab order, from Company to Remarks.
    std::vector<QWidget *> TabOrder() const;

private:
    void AddLabel(QFrame *panel, const QString &text, int left, int top, bool maroon = false);
};
