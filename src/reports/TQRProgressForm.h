#pragma once

#include <QDialog>
#include <QPointer>

class QLabel;
class QProgressBar;
class QPushButton;
class TQRPrinter;

// The small window that shows how far a printer or export run has come and
// lets the user cancel it. It is bound to the run's page producer, whose
// queued progress announcements it shows; Cancel sets the producer's
// cancelled flag, and the report stops at its next record.
class TQRProgressForm : public QDialog {
    Q_OBJECT
public:
    explicit TQRProgressForm(TQRPrinter *producer, QWidget *parent = nullptr);

    TQRPrinter *Producer() const { return producer_; }
    QProgressBar *Gauge() const { return gauge_; }
    QLabel *Info() const { return info_; }
    QPushButton *CancelButton() const { return cancelButton_; }

    // Shows a progress value that is a multiple of 5 and lets pending events
    // run; other values are ignored.
    void ProgressUpdate(int value);
    void CancelButtonClick();

private:
    QPointer<TQRPrinter> producer_;
    QProgressBar *gauge_;
    QLabel *info_;
    QPushButton *cancelButton_;
};
