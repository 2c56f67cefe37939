#pragma once

#include <QObject>

// Placed on a report form: while it exists, the preview's save command
// offers HTML documents.
class TQRHTMLFilter : public QObject {
    Q_OBJECT
public:
    explicit TQRHTMLFilter(QObject *parent = nullptr);
    ~TQRHTMLFilter() override;
};
