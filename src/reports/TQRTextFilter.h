#pragma once

#include <QObject>

// Placed on a report form: while it exists, the preview's save command
// offers plain text files.
class TQRTextFilter : public QObject {
    Q_OBJECT
public:
    explicit TQRTextFilter(QObject *parent = nullptr);
    ~TQRTextFilter() override;
};
