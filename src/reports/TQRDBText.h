#pragma once

#include "reports/TQRPrintable.h"

class TRecordCursor;

// An element that prints the text of the field DataField of its DataSet in
// the cursor's current row.
//
// Prepare looks the field up once per run (letter case ignored) and keeps
// its position; a field that is not found, a closed cursor, a cursor without
// a row and a value that cannot be read all print as empty text. The text is
// the field's display text: the value as text, empty for null (for memo
// fields the whole text).
class TQRDBText : public TQRPrintable {
public:
    explicit TQRDBText(QString name, TRecordCursor *dataSet = nullptr,
                       QString dataField = QString());

    TRecordCursor *DataSet() const { return dataSet_; }
    void SetDataSet(TRecordCursor *dataSet);
    const QString &DataField() const { return dataField_; }
    void SetDataField(const QString &field);

    void Prepare() override;
    QString Text() const override;

private:
    TRecordCursor *dataSet_;
    QString dataField_;
    // The field's position in the cursor's field list; -1 when not found.
    int fieldIndex_ = -1;
};
