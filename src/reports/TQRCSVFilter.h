#pragma once

#include <QChar>
#include <QObject>

// Placed on a report form: while it exists, the preview's save command
// offers comma-separated text. The separator is one value for the whole
// program: setting it here sets it for every comma-separated export.
class TQRCSVFilter : public QObject {
    Q_OBJECT
public:
    explicit TQRCSVFilter(QObject *parent = nullptr);
    ~TQRCSVFilter() override;

    QChar Separator() const;
    void SetSeparator(QChar separator);
};
