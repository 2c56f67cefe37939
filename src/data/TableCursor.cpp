#include "data/TableCursor.h"

TTableCursor::TTableCursor(QString name) : TRecordCursor(std::move(name)) {}

void TTableCursor::SetTableName(const QString &name) {
    CheckInactive();
    tableName_ = name;
}

void TTableCursor::SetIndexName(const QString &name) {
    CheckInactive();
    indexName_ = name;
}

TRowSourceRequest TTableCursor::MakeRequest() const {
    if (tableName_.isEmpty())
        RaiseError(QStringLiteral("Missing TableName property"));
    TRowSourceRequest request;
    request.isTable = true;
    request.command = tableName_;
    request.indexName = indexName_;
    request.location = CursorLocation();
    request.cursorType = CursorType();
    request.lockType = LockType();
    return request;
}
