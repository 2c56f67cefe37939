#include "ui/main/CalendarRangeDialog.h"

#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>

CalendarRangeDialog::CalendarRangeDialog(const QDate &first, int days, QWidget *parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("dlgCalendarRange"));
    setWindowTitle(QStringLiteral("Export Call-Backs to Calendar"));
    // Wide enough for its title.
    setMinimumWidth(320);
    dateFirst = new QDateEdit(first, this);
    dateFirst->setObjectName(QStringLiteral("dateFirst"));
    dateFirst->setCalendarPopup(true);
    spnDays = new QSpinBox(this);
    spnDays->setObjectName(QStringLiteral("spnDays"));
    spnDays->setRange(1, kMostDays);
    spnDays->setValue(days);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *form = new QFormLayout(this);
    form->addRow(QStringLiteral("&From:"), dateFirst);
    form->addRow(QStringLiteral("&Days:"), spnDays);
    form->addRow(buttons);
}

QDate CalendarRangeDialog::First() const {
    return dateFirst->date();
}

int CalendarRangeDialog::Days() const {
    return spnDays->value();
}
