#include "reports/TQRLabel.h"

TQRLabel::TQRLabel(QString name, QString caption)
    : TQRPrintable(std::move(name)), caption_(std::move(caption)) {}
