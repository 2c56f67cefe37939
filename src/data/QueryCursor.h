#pragma once

#include "data/RecordCursor.h"
#include "data/SQLLines.h"

#include <QStringList>

// A cursor on the rows of an SQL query held in SQL(). Every change of the
// lines assigns the command text anew and is refused while the cursor is open
// ("<name>: Cannot perform this operation on an open dataset"). In the
// command text a colon followed by a name (outside quoted literals) marks a
// parameter and becomes '?'; two colons stand for one colon.
class TQueryCursor : public TRecordCursor {
public:
    explicit TQueryCursor(QString name = QString());

    TSQLLines &SQL() { return sql_; }
    const TSQLLines &SQL() const { return sql_; }
    // The text sent to the engine, parameters replaced.
    const QString &CommandText() const { return commandText_; }
    // Names of the parameters of the command text, in order.
    const QStringList &Parameters() const { return parameters_; }

    // Whether the next Open reads the rows once, front to back, without
    // keeping those passed (TRowSourceRequest::readOnce): for going through
    // a large result a single time. Off by default.
    bool ReadOnce() const { return readOnce_; }
    void SetReadOnce(bool value) { readOnce_ = value; }

    // Replaces parameter markers; the names found go to `parameters`.
    static QString ParseParameters(const QString &text, QStringList *parameters);

protected:
    TRowSourceRequest MakeRequest() const override;

private:
    void AssignCommandText();

    TSQLLines sql_;
    QString commandText_;
    QStringList parameters_;
    bool readOnce_ = false;
};
