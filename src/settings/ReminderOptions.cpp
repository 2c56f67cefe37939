#include "settings/ReminderOptions.h"

#include <QCheckBox>
#include <QLabel>
#include <QSpinBox>

ReminderOptions::ReminderOptions(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tabReminders"));
    chkRemind = new QCheckBox(QStringLiteral("&Remind me at each call-back time"), this);
    chkRemind->setObjectName(QStringLiteral("chkRemind"));
    chkRemind->setGeometry(16, 10, 290, 21);

    lblLead = new QLabel(QStringLiteral("&Minutes before the call-back:"), this);
    lblLead->setObjectName(QStringLiteral("lblLead"));
    lblLead->move(16, 42);
    lblLead->adjustSize();

    spnLead = new QSpinBox(this);
    spnLead->setObjectName(QStringLiteral("spnLead"));
    spnLead->setRange(0, ReminderSettings::kMaxLead);
    spnLead->setGeometry(200, 38, 65, 21);
    lblLead->setBuddy(spnLead);

    // The lead means nothing while reminders are off.
    connect(chkRemind, &QCheckBox::toggled, spnLead, &QWidget::setEnabled);
    connect(chkRemind, &QCheckBox::toggled, lblLead, &QWidget::setEnabled);
}

void ReminderOptions::Load() {
    const ReminderSettings stored = ReminderSettings::Read();
    chkRemind->setChecked(stored.on);
    spnLead->setValue(stored.leadMinutes);
    spnLead->setEnabled(stored.on);
    lblLead->setEnabled(stored.on);
}

ReminderSettings ReminderOptions::Shown() const {
    ReminderSettings shown;
    shown.on = chkRemind->isChecked();
    shown.leadMinutes = spnLead->value();
    return shown;
}

void ReminderOptions::Store() const {
    Shown().Write();
}
