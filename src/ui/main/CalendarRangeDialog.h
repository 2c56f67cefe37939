#pragma once

#include <QDialog>

class QDateEdit;
class QSpinBox;

// Asks for the days whose call-backs go into a calendar file: the first day
// and how many days from it.
class CalendarRangeDialog : public QDialog {
    Q_OBJECT
public:
    CalendarRangeDialog(const QDate &first, int days, QWidget *parent = nullptr);

    QDate First() const;
    int Days() const;

    QDateEdit *dateFirst = nullptr;
    QSpinBox *spnDays = nullptr;

    static constexpr int kMostDays = 366;
};
