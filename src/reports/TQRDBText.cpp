#include "reports/TQRDBText.h"

#include "data/Field.h"
#include "data/RecordCursor.h"

#include <exception>

TQRDBText::TQRDBText(QString name, TRecordCursor *dataSet, QString dataField)
    : TQRPrintable(std::move(name)), dataSet_(dataSet), dataField_(std::move(dataField)) {}

void TQRDBText::SetDataSet(TRecordCursor *dataSet) {
    dataSet_ = dataSet;
    fieldIndex_ = -1;
}

void TQRDBText::SetDataField(const QString &field) {
    dataField_ = field;
    fieldIndex_ = -1;
}

void TQRDBText::Prepare() {
    fieldIndex_ = -1;
    if (!dataSet_ || !dataSet_->Active())
        return;
    if (const TField *field = dataSet_->FindField(dataField_))
        fieldIndex_ = field->Index();
}

QString TQRDBText::Text() const {
    // The position kept by Prepare is only good while the cursor stays open
    // with the same fields.
    if (!dataSet_ || !dataSet_->Active() || fieldIndex_ < 0 ||
        fieldIndex_ >= dataSet_->FieldCount())
        return QString();
    try {
        return dataSet_->Fields(fieldIndex_)->TextValue();
    } catch (const std::exception &) {
        return QString();
    }
}
