#include "settings/TfrmOptions.h"

#include "settings/DatabaseOptions.h"
#include "settings/GenFun.h"
#include "settings/ReminderOptions.h"

#include "data/DBConnection.h"
#include "data/DatabaseErrors.h"
#include "data/Field.h"
#include "ui/controls/TErrorBox.h"

#include <QComboBox>
#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QTabWidget>
#include <memory>

namespace {
constexpr int kClientWidth = 326;
constexpr int kClientHeight = 213;
constexpr int kPagesWidth = 326;
constexpr int kPagesHeight = 185;
// The tab pages keep these distances to the right and bottom edges.
constexpr int kPagesRightGap = kClientWidth - kPagesWidth;
constexpr int kPagesBottomGap = kClientHeight - kPagesHeight;
} // namespace

TfrmOptions::TfrmOptions(QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Options"));
    // A fixed dialog border: a title with the close box, no resizing.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientWidth, kClientHeight);
    // The controls are placed for this font; it is the dialog's own.
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    setFont(font);

    qryCountries.SetCursorType(ctStatic);
    qryCountries.SQL().Add(QStringLiteral("select * from Countries order by OrderNumber"));
    dsCountries.SetDataSet(&qryCountries);

    BuildControls();
}

TfrmOptions::~TfrmOptions() {
    dsCountries.SetDataSet(nullptr);
    qryCountries.Close();
}

void TfrmOptions::BuildControls() {
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(0, 0, kPagesWidth, kPagesHeight);
    tabDefaults = new QWidget;
    tabDefaults->setObjectName(QStringLiteral("tabDefaults"));
    PageControl1->addTab(tabDefaults, QStringLiteral("Defaults"));

    Label1 = new QLabel(QStringLiteral("Choose default Country:"), tabDefaults);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(16, 8);
    Label1->adjustSize();

    // The hidden list goes first so the visible one lies above it.
    cmbCountryID = new QComboBox(tabDefaults);
    cmbCountryID->setObjectName(QStringLiteral("cmbCountryID"));
    cmbCountryID->setGeometry(8, 24, 49, 21);
    cmbCountryID->setVisible(false);

    cmbCountries = new QComboBox(tabDefaults);
    cmbCountries->setObjectName(QStringLiteral("cmbCountries"));
    cmbCountries->setEditable(true);
    // Typed text is never added to the list, which would break the pairing
    // with cmbCountryID, and is never completed to a name behind the
    // user's back: what stands in the box is what is looked up.
    cmbCountries->setInsertPolicy(QComboBox::NoInsert);
    cmbCountries->setCompleter(nullptr);
    cmbCountries->setGeometry(16, 24, 177, 21);

    btnDefCountry = new QPushButton(QStringLiteral("Set as Default"), tabDefaults);
    btnDefCountry->setObjectName(QStringLiteral("btnDefCountry"));
    btnDefCountry->setGeometry(200, 21, 109, 25);

    tabReminders = new ReminderOptions;
    PageControl1->addTab(tabReminders, QStringLiteral("Reminders"));
    // Made inside the dialog, so that it places its controls for the
    // dialog's font.
    tabDatabase = new DatabaseOptions(PageControl1);
    PageControl1->addTab(tabDatabase, QStringLiteral("Database"));

    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(167, 187, 75, 25);

    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(248, 187, 75, 25);

    // A failing click shows its message and leaves the dialog as it was.
    connect(btnDefCountry, &QPushButton::clicked, this,
            [this] { TErrorBox::Guard([this] { btnDefCountryClick(); }); });
    connect(btnOK, &QPushButton::clicked, this,
            [this] { TErrorBox::Guard([this] { btnOKClick(); }); });
    connect(btnCancel, &QPushButton::clicked, this,
            [this] { TErrorBox::Guard([this] { btnCancelClick(); }); });
}

void TfrmOptions::resizeEvent(QResizeEvent *event) {
    QDialog::resizeEvent(event);
    if (PageControl1)
        PageControl1->setGeometry(0, 0, width() - kPagesRightGap, height() - kPagesBottomGap);
}

void TfrmOptions::Execute(TDBConnection &connection, QWidget *parent) {
    TErrorBox::Guard([&connection, parent] {
        auto dialog = std::make_unique<TfrmOptions>(parent);
        dialog->qryCountries.SetConnection(&connection);
        dialog->qryCountries.Open();
        dialog->ShowModal();
    });
}

bool TfrmOptions::ExecuteWithoutDatabase(QWidget *parent) {
    bool accepted = false;
    TErrorBox::Guard([parent, &accepted] {
        auto dialog = std::make_unique<TfrmOptions>(parent);
        dialog->withDatabase_ = false;
        dialog->tabDefaults->setEnabled(false);
        dialog->tabReminders->Load();
        dialog->tabDatabase->Load();
        dialog->PageControl1->setCurrentWidget(dialog->tabDatabase);
        accepted = dialog->exec() == QDialog::Accepted;
    });
    return accepted;
}

int TfrmOptions::ShowModal() {
    FormShow();
    return exec();
}

void TfrmOptions::FormShow() {
    const int defaultId = GenFun::GetDefaultCountryID();
    if (!qryCountries.Eof()) {
        TField *name = qryCountries.FieldNamed(QStringLiteral("Name"));
        TField *countryId = qryCountries.FieldNamed(QStringLiteral("CountryID"));
        while (!qryCountries.Eof()) {
            cmbCountries->addItem(name->TextValue());
            cmbCountryID->addItem(countryId->TextValue());
            qryCountries.Next();
        }
    }
    int selected = cmbCountries->count() > 0 ? 0 : -1;
    for (int i = 0; i < cmbCountryID->count(); ++i) {
        bool ok = false;
        if (cmbCountryID->itemText(i).toInt(&ok, 10) == defaultId && ok) {
            selected = i;
            break;
        }
    }
    cmbCountries->setCurrentIndex(selected);
    cmbCountryID->setCurrentIndex(selected);
    tabReminders->Load();
    tabDatabase->Load();
}

int TfrmOptions::SelectedIndex() const {
    const QString text = cmbCountries->currentText();
    const int current = cmbCountries->currentIndex();
    if (current >= 0 && cmbCountries->itemText(current) == text)
        return current;
    return cmbCountries->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void TfrmOptions::btnDefCountryClick() {
    const int index = SelectedIndex();
    if (index < 0 || index >= cmbCountryID->count())
        throw EError(QStringLiteral("List index out of bounds (%1)").arg(index));
    const QString text = cmbCountryID->itemText(index);
    bool ok = false;
    const int id = text.trimmed().toInt(&ok, 10);
    if (!ok)
        throw EError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    GenFun::SetDefaultCountryID(id);
}

void TfrmOptions::btnOKClick() {
    if (withDatabase_)
        btnDefCountryClick();
    tabReminders->Store();
    tabDatabase->Store();
    accept();
}

void TfrmOptions::btnCancelClick() {
    reject();
}
