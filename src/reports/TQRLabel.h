#pragma once

#include "reports/TQRPrintable.h"

// An element that prints a fixed text, its Caption.
class TQRLabel : public TQRPrintable {
public:
    explicit TQRLabel(QString name, QString caption = QString());

    const QString &Caption() const { return caption_; }
    void SetCaption(const QString &caption) { caption_ = caption; }

    QString Text() const override { return caption_; }

private:
    QString caption_;
};
