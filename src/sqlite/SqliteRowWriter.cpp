#include "sqlite/SqliteRowWriter.h"

#include "data/DatabaseErrors.h"
#include "sqlite/SqliteDialect.h"
#include "sqlite/SqliteHandle.h"
#include "sqlite/SqliteStatement.h"

#include <QStringList>
#include <sqlite3.h>

SqliteRowWriter::SqliteRowWriter(SqliteHandle &handle, QString table)
    : handle_(handle), table_(std::move(table)) {}

namespace {

// The engine stops reading a text at a NUL character in several places (its
// length() among them, so a size check would count short), so such a text is
// refused before it reaches the file.
void RefuseNul(const SqliteRowWriter::Values &values) {
    for (const auto &value : values) {
        if (value.second.typeId() == QMetaType::QString &&
            value.second.toString().contains(QChar(0)))
            throw EProviderError(
                QStringLiteral("The value of '%1' contains a NUL character, which cannot be "
                               "stored; nothing was saved.")
                    .arg(value.first));
    }
}

// A text read with bytes that are not valid UTF-8 was decoded with
// replacement characters, so it can never equal the stored bytes; such an
// expectation is compared with the stored text decoded the same way.
bool ReadLossily(const TValue &value) {
    return value.typeId() == QMetaType::QString && value.toString().contains(QChar(0xFFFD));
}

} // namespace

qint64 SqliteRowWriter::Insert(const Values &values) {
    RefuseNul(values);
    QString sql = QStringLiteral("INSERT INTO %1").arg(SqliteDialect::QuoteIdentifier(table_));
    if (values.isEmpty()) {
        sql += QStringLiteral(" DEFAULT VALUES");
    } else {
        QStringList names;
        QStringList marks;
        for (const auto &value : values) {
            names << SqliteDialect::QuoteIdentifier(value.first);
            marks << QStringLiteral("?");
        }
        sql += QStringLiteral(" (%1) VALUES (%2)")
                   .arg(names.join(QLatin1String(", ")), marks.join(QLatin1String(", ")));
    }
    auto statement = handle_.Cached(sql);
    SqliteStatement::Scope scope(*statement);
    for (int i = 0; i < values.size(); ++i)
        statement->Bind(i + 1, values[i].second);
    statement->Run();
    return sqlite3_last_insert_rowid(handle_.Db());
}

void SqliteRowWriter::Update(const QString &keySql, const TValue &key, const Values &values,
                             const Values &expected) {
    if (values.isEmpty())
        return;
    RefuseNul(values);
    QStringList sets;
    for (const auto &value : values)
        sets << SqliteDialect::QuoteIdentifier(value.first) + QStringLiteral(" = ?");
    const QString sql = QStringLiteral("UPDATE %1 SET %2%3")
                            .arg(SqliteDialect::QuoteIdentifier(table_),
                                 sets.join(QLatin1String(", ")), WhereClause(keySql, expected));
    {
        auto statement = handle_.Cached(sql);
        SqliteStatement::Scope scope(*statement);
        int position = 1;
        for (const auto &value : values)
            statement->Bind(position++, value.second);
        BindWhere(*statement, position, key, expected);
        statement->Run();
    }
    if (sqlite3_changes(handle_.Db()) == 0)
        ThrowConflict(keySql, key, false);
}

void SqliteRowWriter::Delete(const QString &keySql, const TValue &key, const Values &expected) {
    const QString sql =
        QStringLiteral("DELETE FROM %1%2")
            .arg(SqliteDialect::QuoteIdentifier(table_), WhereClause(keySql, expected));
    {
        auto statement = handle_.Cached(sql);
        SqliteStatement::Scope scope(*statement);
        BindWhere(*statement, 1, key, expected);
        statement->Run();
    }
    if (sqlite3_changes(handle_.Db()) == 0)
        ThrowConflict(keySql, key, true);
}

QString SqliteRowWriter::WhereClause(const QString &keySql, const Values &expected) const {
    QString where = QStringLiteral(" WHERE %1 = ?").arg(keySql);
    for (const auto &value : expected) {
        const QString column = SqliteDialect::QuoteIdentifier(value.first);
        if (ReadLossily(value.second))
            where += QStringLiteral(" AND %1(%2) IS ?")
                         .arg(QLatin1String(SqliteHandle::kReadTextFunction), column);
        else
            where += QStringLiteral(" AND %1 IS ?").arg(column);
    }
    return where;
}

int SqliteRowWriter::BindWhere(SqliteStatement &statement, int position, const TValue &key,
                               const Values &expected) const {
    statement.Bind(position++, key);
    for (const auto &value : expected)
        statement.Bind(position++, value.second);
    return position;
}

void SqliteRowWriter::ThrowConflict(const QString &keySql, const TValue &key, bool deleting) {
    const QString sql = QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ?")
                            .arg(SqliteDialect::QuoteIdentifier(table_), keySql);
    bool exists = false;
    {
        auto statement = handle_.Cached(sql);
        SqliteStatement::Scope scope(*statement);
        statement->Bind(1, key);
        exists = statement->Step();
    }
    const QString outcome =
        deleting ? QStringLiteral("nothing was deleted.") : QStringLiteral("nothing was saved.");
    if (exists)
        throw EConflictError(
            QStringLiteral("The row was changed by another program since it was read; %1")
                .arg(outcome));
    throw EProviderError(
        QStringLiteral("The row was deleted by another program since it was read; %1")
            .arg(outcome));
}
