#pragma once

#include "data/RecordCursor.h"

// A cursor on all rows of one table, in the order of the index IndexName.
// TableName and IndexName cannot change while the cursor is open.
class TTableCursor : public TRecordCursor {
public:
    explicit TTableCursor(QString name = QString());

    const QString &TableName() const { return tableName_; }
    void SetTableName(const QString &name);
    const QString &IndexName() const { return indexName_; }
    void SetIndexName(const QString &name);

protected:
    TRowSourceRequest MakeRequest() const override;

private:
    QString tableName_;
    QString indexName_;
};
