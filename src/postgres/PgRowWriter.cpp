#include "postgres/PgRowWriter.h"

#include "data/DatabaseErrors.h"
#include "postgres/PgConnection.h"

namespace {

bool IsText(int code) {
    using namespace ColumnType;
    return code == VarWChar || code == LongVarWChar || code == WideString || code == VarChar ||
           code == LongVarChar || code == Char || code == WideChar;
}

// Characters as the server counts them: code points, a surrogate pair
// being one.
qsizetype CharacterCount(const QString &text) {
    qsizetype count = text.size();
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i].isHighSurrogate() && text[i + 1].isLowSurrogate()) {
            --count;
            ++i;
        }
    }
    return count;
}

} // namespace

PgRowWriter::PgRowWriter(PgConnection &connection, const PgTableColumns::Table &table)
    : connection_(connection), table_(table) {}

QString PgRowWriter::Quote(const QString &name) {
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void PgRowWriter::RefuseNul(const Values &values) const {
    for (const auto &value : values) {
        if (value.second.typeId() == QMetaType::QString &&
            value.second.toString().contains(QChar(0)))
            throw EProviderError(
                QStringLiteral("The value of '%1' contains a NUL character, which cannot be "
                               "stored; nothing was saved.")
                    .arg(value.first));
    }
}

QString PgRowWriter::TooLong(const Values &values) const {
    for (const auto &value : values) {
        if (ValueIsNull(value.second) || value.second.typeId() == QMetaType::QByteArray)
            continue;
        for (const PgTableColumns::Column &column : table_.columns) {
            if (column.name == value.first && column.info.size > 0 &&
                CharacterCount(value.second.toString()) > column.info.size)
                return QStringLiteral("The value for field '%1' is too long: at most %2 "
                                      "characters.")
                    .arg(column.name)
                    .arg(column.info.size);
        }
    }
    return QString();
}

// A number given for a text column is sent as its text, as the file engine
// stores it: the server has no comparison of a text with a number.
TValue PgRowWriter::ForColumn(const QString &column, const TValue &value) const {
    if (ValueIsNull(value) || value.typeId() == QMetaType::QString ||
        value.typeId() == QMetaType::QByteArray)
        return value;
    for (const PgTableColumns::Column &stored : table_.columns) {
        if (stored.name == column)
            return IsText(stored.info.typeCode) ? TValue(value.toString()) : value;
    }
    return value;
}

QString PgRowWriter::Returning(const QStringList &returning) const {
    if (returning.isEmpty())
        return QString();
    QStringList names;
    for (const QString &name : returning)
        names << Quote(name);
    return QStringLiteral(" RETURNING ") + names.join(QLatin1String(", "));
}

QVector<TValue> PgRowWriter::Insert(const Values &values, const QStringList &returning) {
    RefuseNul(values);
    if (const QString tooLong = TooLong(values); !tooLong.isEmpty())
        throw EProviderError(tooLong);
    QString sql = QStringLiteral("INSERT INTO %1").arg(Quote(table_.name));
    QVector<TValue> params;
    if (values.isEmpty()) {
        sql += QStringLiteral(" DEFAULT VALUES");
    } else {
        QStringList names;
        QStringList marks;
        for (const auto &value : values) {
            names << Quote(value.first);
            params << ForColumn(value.first, value.second);
            marks << QStringLiteral("$%1").arg(params.size());
        }
        sql += QStringLiteral(" (%1) VALUES (%2)")
                   .arg(names.join(QLatin1String(", ")), marks.join(QLatin1String(", ")));
    }
    // New keys come from a counter that every session draws from; under
    // the write lock a write transaction's new rows get consecutive keys,
    // which the import's undo relies on (it removes its range of keys).
    Transaction transaction(connection_);
    connection_.TakeWriteLock();
    const PgResult result = connection_.Exec(sql + Returning(returning), params);
    transaction.Commit();
    QVector<TValue> row;
    for (int i = 0; i < returning.size() && result.Rows() == 1; ++i)
        row << result.Value(0, i);
    return row;
}

QVector<TValue> PgRowWriter::Update(const QString &keyColumn, const TValue &key,
                                    const Values &values, const Values &expected,
                                    const QStringList &returning) {
    if (values.isEmpty())
        return {};
    RefuseNul(values);
    if (const QString tooLong = TooLong(values); !tooLong.isEmpty()) {
        // Nothing is written. A row changed or deleted meanwhile is reported
        // as such first, as the file engine checks sizes only on the row it
        // writes.
        QVector<TValue> params;
        const QString sql = QStringLiteral("SELECT 1 FROM %1%2")
                                .arg(Quote(table_.name), WhereClause(keyColumn, expected, params));
        const PgResult matching = connection_.Exec(sql, QVector<TValue>{key} + params);
        if (matching.Rows() == 0)
            ThrowConflict(keyColumn, key, false);
        throw EProviderError(tooLong);
    }
    QVector<TValue> params;
    QStringList sets;
    for (const auto &value : values) {
        params << ForColumn(value.first, value.second);
        sets << QStringLiteral("%1 = $%2").arg(Quote(value.first)).arg(params.size() + 1);
    }
    const QString sql = QStringLiteral("UPDATE %1 SET %2%3%4")
                            .arg(Quote(table_.name), sets.join(QLatin1String(", ")),
                                 WhereClause(keyColumn, expected, params), Returning(returning));
    const PgResult result = connection_.Exec(sql, QVector<TValue>{key} + params);
    if (result.AffectedRows() == 0)
        ThrowConflict(keyColumn, key, false);
    QVector<TValue> row;
    for (int i = 0; i < returning.size() && result.Rows() == 1; ++i)
        row << result.Value(0, i);
    return row;
}

void PgRowWriter::Delete(const QString &keyColumn, const TValue &key, const Values &expected) {
    QVector<TValue> params;
    const QString sql = QStringLiteral("DELETE FROM %1%2")
                            .arg(Quote(table_.name), WhereClause(keyColumn, expected, params));
    const PgResult result = connection_.Exec(sql, QVector<TValue>{key} + params);
    if (result.AffectedRows() == 0)
        ThrowConflict(keyColumn, key, true);
}

// The key is always $1; the expected values take the numbers after those
// already in `params` (which the caller puts after the key).
QString PgRowWriter::WhereClause(const QString &keyColumn, const Values &expected,
                                 QVector<TValue> &params) const {
    QString where = QStringLiteral(" WHERE %1 = $1").arg(Quote(keyColumn));
    for (const auto &value : expected) {
        params << ForColumn(value.first, value.second);
        where += QStringLiteral(" AND %1 IS NOT DISTINCT FROM $%2")
                     .arg(Quote(value.first))
                     .arg(params.size() + 1);
    }
    return where;
}

void PgRowWriter::ThrowConflict(const QString &keyColumn, const TValue &key, bool deleting) {
    const PgResult exists = connection_.Exec(
        QStringLiteral("SELECT 1 FROM %1 WHERE %2 = $1").arg(Quote(table_.name), Quote(keyColumn)),
        {key});
    const QString outcome =
        deleting ? QStringLiteral("nothing was deleted.") : QStringLiteral("nothing was saved.");
    if (exists.Rows() > 0)
        throw EConflictError(
            QStringLiteral("The row was changed by another program since it was read; %1")
                .arg(outcome));
    throw EProviderError(
        QStringLiteral("The row was deleted by another program since it was read; %1")
            .arg(outcome));
}

PgRowWriter::Transaction::Transaction(PgConnection &connection) : connection_(connection) {
    if (connection_.InTransaction())
        return;
    connection_.Exec(QStringLiteral("BEGIN"));
    own_ = true;
}

PgRowWriter::Transaction::~Transaction() {
    if (!own_ || !connection_.InTransaction())
        return;
    try {
        connection_.Exec(QStringLiteral("ROLLBACK"));
    } catch (...) {
        // A session that cannot roll back has lost its transaction anyway.
    }
}

void PgRowWriter::Transaction::Commit() {
    if (!own_)
        return;
    own_ = false;
    connection_.Exec(QStringLiteral("COMMIT"));
}
