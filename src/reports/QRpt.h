#pragma once

#include "data/QueryCursor.h"

#include <QString>
#include <QWidget>

class TDBConnection;
class TQRBand;
class TQRCSVFilter;
class TQRDBText;
class TQRHTMLFilter;
class TQRLabel;
class TQRReport;
class TQRTextFilter;

// The contact report form: a window that is never shown. It holds the
// one-page A4 report of one contact (title, the company, address and phone
// groups, and a footer line) and the query that reads that contact.
//
// Every stored position and height is a whole number of design pixels
// (96 per inch) in tenths of a millimetre.
class TQRMDForm : public QWidget {
    Q_OBJECT
public:
    explicit TQRMDForm(QWidget *parent = nullptr);
    ~TQRMDForm() override;

    // The footer line.
    static QString CopyrightNotice();
    // The first line of qryContact's statement; the second holds the key.
    static QString ContactStatement();

    // Loads one contact into qryContact: closes it, sets the statement to
    // ContactStatement() and the key (a whole number, else EDatabaseError
    // "qryContact: ..." and the query stays closed), gives it the connection
    // and opens it. Failures of the database propagate. A contact that is
    // not stored leaves the query empty, and the report then prints no page.
    // A contact without a country is read with an empty Country.
    void LoadContact(TDBConnection &connection, const QString &key);

    TQRReport *Report = nullptr;
    TQueryCursor qryContact{QStringLiteral("qryContact")};

    TQRBand *PageHeaderBand1 = nullptr;
    TQRBand *ColumnHeaderBand1 = nullptr;
    TQRBand *PageFooterBand1 = nullptr;

    TQRLabel *QRLabel9 = nullptr;
    TQRLabel *QRLabel10 = nullptr;
    TQRDBText *QRDBText9 = nullptr;
    TQRLabel *QRLabel6 = nullptr;
    TQRDBText *QRDBText6 = nullptr;
    TQRLabel *QRLabel11 = nullptr;
    TQRDBText *QRDBText11 = nullptr;
    TQRLabel *QRLabel12 = nullptr;
    TQRDBText *QRDBText12 = nullptr;
    TQRLabel *QRLabel13 = nullptr;
    TQRDBText *QRDBText13 = nullptr;
    TQRLabel *QRLabel2 = nullptr;
    TQRDBText *QRDBText1 = nullptr;
    TQRLabel *QRLabel15 = nullptr;
    TQRDBText *QRDBText15 = nullptr;
    TQRLabel *QRLabel1 = nullptr;
    TQRDBText *QRDBText2 = nullptr;
    TQRLabel *QRLabel3 = nullptr;
    TQRDBText *QRDBText3 = nullptr;
    TQRLabel *QRLabel4 = nullptr;
    TQRDBText *QRDBText4 = nullptr;
    TQRLabel *QRLabel7 = nullptr;
    TQRDBText *QRDBText7 = nullptr;
    TQRLabel *QRLabel8 = nullptr;
    TQRDBText *QRDBText8 = nullptr;
    TQRLabel *QRLabel5 = nullptr;
    TQRLabel *QRLabel16 = nullptr;
    TQRLabel *QRLabel17 = nullptr;
    TQRLabel *QRLabel14 = nullptr;

    TQRHTMLFilter *QRHTMLFilter1 = nullptr;
    TQRCSVFilter *QRCSVFilter1 = nullptr;
    TQRTextFilter *QRTextFilter1 = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void FormClose();
    void BuildReport();
    void BuildPageHeader();
    void BuildColumnHeader();
    void BuildPageFooter();
};
