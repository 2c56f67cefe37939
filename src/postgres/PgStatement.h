#pragma once

#include "data/DBStatement.h"
#include "postgres/PgDialect.h"
#include "postgres/PgResult.h"

#include <memory>

class PgConnection;

// A statement of the program's dialect on a server session. The whole
// result is read at the first Step, so the session is free for other
// statements while its rows are stepped through; a reader of very many
// rows reads them in batches (by key ranges) rather than in one statement.
class PgStatement : public TDBStatement {
public:
    PgStatement(std::shared_ptr<PgConnection> connection, PgStatementText text);
    void Bind(int position, const TValue &value) override;
    bool Step() override;
    TValue Column(int index) const override;
    void Reset() override;

private:
    std::shared_ptr<PgConnection> connection_;
    PgStatementText text_;
    QVector<TValue> bound_;
    PgResult result_;
    bool ran_ = false;
    int row_ = -1;
};
