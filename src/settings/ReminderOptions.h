#pragma once

#include "settings/ReminderSettings.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QSpinBox;

// The Options dialog's "Reminders" page: whether a call-back's time brings a
// desktop notification, and how many minutes before it.
class ReminderOptions : public QWidget {
    Q_OBJECT
public:
    explicit ReminderOptions(QWidget *parent = nullptr);

    // Shows the stored settings.
    void Load();
    // The settings as the page shows them.
    ReminderSettings Shown() const;
    // Stores what the page shows.
    void Store() const;

    QCheckBox *chkRemind = nullptr;
    QLabel *lblLead = nullptr;
    QSpinBox *spnLead = nullptr;
};
