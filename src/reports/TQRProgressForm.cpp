#include "reports/TQRProgressForm.h"

#include "reports/TQRPrinter.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

TQRProgressForm::TQRProgressForm(TQRPrinter *producer, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint),
      producer_(producer), gauge_(new QProgressBar(this)), info_(new QLabel(this)),
      cancelButton_(new QPushButton(QStringLiteral("Cancel"), this)) {
    setObjectName(QStringLiteral("QRProgressForm"));
    setWindowTitle(QStringLiteral("Printing progress"));
    setFixedSize(149, 97);
    setModal(false);

    gauge_->setObjectName(QStringLiteral("Gauge"));
    gauge_->setGeometry(16, 18, 114, 16);
    gauge_->setRange(0, 100);
    gauge_->setValue(0);
    gauge_->setTextVisible(false);

    info_->setObjectName(QStringLiteral("Info"));
    info_->setAlignment(Qt::AlignCenter);
    info_->setGeometry(0, 44, 145, info_->sizeHint().height());

    cancelButton_->setObjectName(QStringLiteral("CancelButton"));
    cancelButton_->setGeometry(36, 60, 75, 25);
    connect(cancelButton_, &QPushButton::clicked, this, &TQRProgressForm::CancelButtonClick);

    if (producer)
        connect(producer, &TQRPrinter::ProgressChanged, this, &TQRProgressForm::ProgressUpdate);

    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TQRProgressForm::ProgressUpdate(int value) {
    if (value % 5 != 0)
        return;
    gauge_->setValue(value);
    info_->setText(QString::number(value) + QStringLiteral("% ") + QStringLiteral(" Completed"));
    // The window repaints, and the user's Cancel gets through, while the
    // run goes on.
    QCoreApplication::processEvents();
}

void TQRProgressForm::CancelButtonClick() {
    if (producer_)
        producer_->SetCancelled(true);
}
