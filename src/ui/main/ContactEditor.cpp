#include "ui/main/ContactEditor.h"

#include "ui/controls/TDBEdit.h"
#include "ui/controls/TDBLookupComboBox.h"
#include "ui/controls/TDBMemo.h"
#include "ui/main/ProgramFonts.h"

#include <QFrame>
#include <QLabel>

ContactEditor::ContactEditor(QFrame *panel, TDataSource *dsContacts, TDataSource *dsCountries,
                             TDataSource *dsStatus) {
    const struct {
        const char *label;
        int labelLeft, labelTop;
    } labelTexts[] = {{"Company:", 30, 16},
                      {"Contact Preson:", 349, 18},
                      {"Country:", 43, 48},
                      {"State/Area:", 379, 48},
                      {"City:", 69, 72},
                      {"Address:", 37, 96},
                      {"Post Code:", 23, 121},
                      {"Phone:", 51, 160},
                      {"Fax:", 70, 184},
                      {"Mobile:", 48, 208},
                      {"Email:", 56, 232},
                      {"Web SIte:", 32, 256},
                      {"Contact Status:", 351, 74},
                      {"Last Contact:", 478, 101},
                      {"Remarks:", 353, 137}};
    for (const auto &l : labelTexts)
        AddLabel(panel, QString::fromLatin1(l.label), l.labelLeft, l.labelTop);
    AddLabel(panel, QStringLiteral("Call Back Date:"), 465, 125, true);

    auto edit = [&](const char *name, const char *field, int left, int top, int width) {
        auto *control = new TDBEdit(panel);
        control->setObjectName(QString::fromLatin1(name));
        control->setGeometry(left, top, width, 21);
        control->SetDataSource(dsContacts);
        control->SetDataField(QString::fromLatin1(field));
        return control;
    };
    txtCompany = edit("txtCompany", "CompanyName", 103, 15, 233);
    txtContactPerson = edit("txtContactPerson", "ContactPerson", 460, 15, 275);
    txtState = edit("txtState", "State", 460, 45, 275);
    txtCity = edit("txtCity", "City", 103, 71, 233);
    txtAddress = edit("txtAddress", "Address", 103, 95, 233);
    txtPostCode = edit("txtPostCode", "PostCode", 103, 119, 76);
    txtPhone = edit("txtPhone", "Phone", 103, 159, 233);
    txtFax = edit("txtFax", "Fax", 103, 183, 233);
    txtMobile = edit("txtMobile", "Mobile", 103, 207, 233);
    txtEmail = edit("txtEmail", "Email", 103, 231, 210);
    txtUrl = edit("txtUrl", "Url", 103, 255, 210);

    auto lookup = [&](const char *name, const char *field, TDataSource *list, QRect geometry) {
        auto *combo = new TDBLookupComboBox(panel);
        combo->setObjectName(QString::fromLatin1(name));
        combo->setGeometry(geometry);
        combo->SetDataSource(dsContacts);
        combo->SetDataField(QString::fromLatin1(field));
        combo->SetListSource(list);
        combo->SetKeyField(QString::fromLatin1(field));
        combo->SetListField(QStringLiteral("Name"));
        return combo;
    };
    cmbCountry = lookup("cmbCountry", "CountryID", dsCountries, QRect(103, 45, 235, 21));
    cmbStatus = lookup("cmbStatus", "StatusID", dsStatus, QRect(460, 70, 117, 21));

    txtNotes = new TDBMemo(panel);
    txtNotes->setObjectName(QStringLiteral("txtNotes"));
    txtNotes->setGeometry(352, 152, 387, 125);
    txtNotes->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtNotes->SetDataSource(dsContacts);
    txtNotes->SetDataField(QStringLiteral("Note"));

    for (QWidget *control : TabOrder())
        if (auto *bound = qobject_cast<TDBEdit *>(control))
            bound->Loaded();
    const std::vector<QWidget *> order = TabOrder();
    for (size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

std::vector<QWidget *> ContactEditor::TabOrder() const {
    return {txtCompany, txtContactPerson, cmbCountry, txtState, txtCity, txtAddress, txtPostCode,
            txtPhone,   txtFax,           txtMobile,  txtEmail, txtUrl,  cmbStatus,  txtNotes};
}

void ContactEditor::AddLabel(QFrame *panel, const QString &text, int left, int top, bool maroon) {
    auto *label = new QLabel(text, panel);
    label->setFont(ProgramFonts::LabelFont(15, true));
    // Fixed colours, not the desktop's text colour: the call-back date
    // stands out in maroon among black labels. On the button-face panel a
    // label would draw in the button text colour; it is told to use its
    // window text colour, which carries the label's own.
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, maroon ? QColor(0x80, 0, 0) : QColor(Qt::black));
    label->setPalette(palette);
    label->setForegroundRole(QPalette::WindowText);
    label->move(left, top);
    label->adjustSize();
    labels.push_back(label);
}
