#include "sqlite/SqliteTableOrder.h"

#include "data/DatabaseErrors.h"
#include "sqlite/SqliteDialect.h"
#include "sqlite/SqliteTableInfo.h"

#include <QStringList>

SqliteTableOrder::SqliteTableOrder(sqlite3 *db, const SqliteTableInfo &table,
                                   const QString &indexName)
    : table_(SqliteDialect::QuoteIdentifier(table.Name())), rowid_(table.RowidName()) {
    const QString name = indexName.trimmed();
    if (name.isEmpty())
        return;
    const auto columns = table.IndexColumns(db, name);
    if (!columns) {
        if (!table.RowidAlias().isEmpty() &&
            name.compare(table.RowidAlias(), Qt::CaseInsensitive) == 0)
            return;
        throw EProviderError(QStringLiteral("The index '%1' cannot be found on table '%2'.")
                                 .arg(name, table.Name()));
    }
    for (const auto &column : *columns) {
        if (column.column.isEmpty())
            throw EProviderError(
                QStringLiteral("The index '%1' orders by an expression; a table cannot be "
                               "opened in its order.")
                    .arg(name));
        // The rowid alias is unique: the columns after it never decide.
        if (column.column.compare(table.RowidAlias(), Qt::CaseInsensitive) == 0) {
            rowidDescending_ = column.descending;
            break;
        }
        Term term;
        term.expression = SqliteDialect::QuoteIdentifier(column.column);
        if (!column.collation.isEmpty())
            term.expression +=
                QStringLiteral(" COLLATE ") + SqliteDialect::QuoteIdentifier(column.collation);
        term.descending = column.descending;
        terms_ << term;
    }
}

QString SqliteTableOrder::SelectList() const {
    QStringList list{rowid_};
    for (const Term &term : terms_)
        list << term.expression;
    return list.join(QLatin1String(", "));
}

QString SqliteTableOrder::OrderBy(bool reversed) const {
    QStringList list;
    for (const Term &term : terms_)
        list << term.expression +
                    (term.descending != reversed ? QLatin1String(" DESC") : QLatin1String(""));
    list << rowid_ + (rowidDescending_ != reversed ? QLatin1String(" DESC") : QLatin1String(""));
    return list.join(QLatin1String(", "));
}

QString SqliteTableOrder::EndSql(bool last) const {
    return QStringLiteral("SELECT %1 FROM %2 ORDER BY %3 LIMIT 1")
        .arg(SelectList(), table_, OrderBy(last));
}

QString SqliteTableOrder::StepSql(bool forward, const QVector<bool> &nullKeys,
                                  QVector<int> *binds) const {
    binds->clear();
    const int count = KeyCount();
    bool allAscending = !rowidDescending_;
    for (const Term &term : terms_)
        allAscending = allAscending && !term.descending;
    QString where;
    if (forward && allAscending && !nullKeys.contains(true)) {
        // A row value comparison the engine serves by one index seek. Rows
        // with a null key sort before any value, so none of them can follow.
        QStringList left;
        QStringList marks;
        for (int i = 0; i <= count; ++i) {
            left << (i < count ? terms_[i].expression : rowid_);
            marks << QStringLiteral("?");
            *binds << i;
        }
        where = QStringLiteral("(%1) > (%2)")
                    .arg(left.join(QLatin1String(", ")), marks.join(QLatin1String(", ")));
    } else {
        // Lexicographic: equal on the first k values, then beyond on value k.
        QStringList alternatives;
        for (int k = 0; k <= count; ++k) {
            QStringList parts;
            QVector<int> partBinds;
            for (int i = 0; i < k; ++i) {
                if (nullKeys.value(i)) {
                    parts << terms_[i].expression + QStringLiteral(" IS NULL");
                } else {
                    parts << terms_[i].expression + QStringLiteral(" = ?");
                    partBinds << i;
                }
            }
            if (k == count) {
                const bool greater = forward != rowidDescending_;
                parts << rowid_ + (greater ? QStringLiteral(" > ?") : QStringLiteral(" < ?"));
                partBinds << k;
            } else {
                const bool greater = forward != terms_[k].descending;
                const QString &expression = terms_[k].expression;
                if (nullKeys.value(k)) {
                    if (!greater)
                        continue; // nothing sorts before a null
                    parts << expression + QStringLiteral(" IS NOT NULL");
                } else if (greater) {
                    parts << expression + QStringLiteral(" > ?");
                    partBinds << k;
                } else {
                    parts << QStringLiteral("(%1 < ? OR %1 IS NULL)").arg(expression);
                    partBinds << k;
                }
            }
            alternatives << QStringLiteral("(%1)").arg(parts.join(QLatin1String(" AND ")));
            *binds << partBinds;
        }
        where = alternatives.join(QLatin1String(" OR "));
    }
    return QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY %4 LIMIT 1")
        .arg(SelectList(), table_, where, OrderBy(!forward));
}

QString SqliteTableOrder::KeysSql() const {
    QStringList list;
    for (const Term &term : terms_)
        list << term.expression;
    if (list.isEmpty())
        list << rowid_;
    return QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
        .arg(list.join(QLatin1String(", ")), table_, rowid_);
}

QString SqliteTableOrder::FindSql(const QString &column, bool findNull) const {
    return QStringLiteral("SELECT %1 FROM %2 WHERE %3 %4 ORDER BY %5 LIMIT 1")
        .arg(rowid_, table_, SqliteDialect::QuoteIdentifier(column),
             findNull ? QStringLiteral("IS NULL") : QStringLiteral("= ?"), OrderBy(false));
}
