#include "postgres/PgTableOrder.h"

#include "data/DatabaseErrors.h"
#include "postgres/PgRowWriter.h"
#include "postgres/PgTableInfo.h"

#include <QMap>

namespace {

QString Direction(bool descending, bool nullsFirst) {
    return QLatin1String(descending ? " DESC" : " ASC") +
           QLatin1String(nullsFirst ? " NULLS FIRST" : " NULLS LAST");
}

} // namespace

PgTableOrder::PgTableOrder(PgConnection &connection, const PgTableInfo &table,
                           const QString &indexName)
    : table_(PgRowWriter::Quote(table.Name())), key_(PgRowWriter::Quote(table.Key())) {
    const QString name = indexName.trimmed();
    if (name.isEmpty())
        return;
    const auto columns = table.IndexColumns(connection, name);
    if (!columns) {
        if (name.compare(table.Key(), Qt::CaseInsensitive) == 0)
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
        // The key is unique: the columns after it never decide.
        if (column.column == table.Key()) {
            keyDescending_ = column.descending;
            break;
        }
        Term term;
        term.column = column.column;
        term.expression = PgRowWriter::Quote(column.column);
        if (!column.collation.isEmpty())
            term.expression += QStringLiteral(" COLLATE ") + column.collation;
        term.descending = column.descending;
        term.nullsFirst = column.nullsFirst;
        terms_ << term;
    }
}

QStringList PgTableOrder::TermColumns() const {
    QStringList columns;
    for (const Term &term : terms_)
        columns << term.column;
    return columns;
}

QString PgTableOrder::SelectList(const QStringList &extra) const {
    QStringList list{key_ + QStringLiteral(" AS c0")};
    for (int i = 0; i < terms_.size(); ++i)
        list << QStringLiteral("%1 AS c%2").arg(terms_[i].expression).arg(i + 1);
    for (int i = 0; i < extra.size(); ++i)
        list << QStringLiteral("%1 AS x%2").arg(extra[i]).arg(i);
    return list.join(QLatin1String(", "));
}

QString PgTableOrder::OrderBy(bool reversed) const {
    QStringList list;
    for (const Term &term : terms_)
        list << term.expression +
                    Direction(term.descending != reversed, term.nullsFirst != reversed);
    list << key_ + QLatin1String(keyDescending_ != reversed ? " DESC" : " ASC");
    return list.join(QLatin1String(", "));
}

QString PgTableOrder::Select(const QString &where, bool reversed, int limit,
                             const QStringList &extra) const {
    return QStringLiteral("SELECT %1 FROM %2%3 ORDER BY %4 LIMIT %5")
        .arg(SelectList(extra), table_,
             where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where, OrderBy(reversed))
        .arg(limit);
}

QString PgTableOrder::EndSql(bool last, int limit, const QStringList &extra,
                             const QString &filter) const {
    return Select(filter.isEmpty() ? QString() : QStringLiteral("(%1)").arg(filter), last, limit,
                  extra);
}

QString PgTableOrder::StepSql(bool forward, const QVector<bool> &nullKeys, QVector<int> *binds,
                              int limit, const QStringList &extra, const QString &filter) const {
    binds->clear();
    // Each order value is one parameter, numbered when first used; a null
    // one is tested with IS NULL and takes none (an untyped null parameter
    // that nothing uses would be refused).
    QMap<int, int> numbers;
    auto parameter = [&](int position) {
        if (!numbers.contains(position)) {
            binds->append(position);
            numbers.insert(position, int(binds->size()));
        }
        return QStringLiteral("$%1").arg(numbers.value(position));
    };
    // The rows beyond a place, as disjoint ranges in the order of the
    // traversal, nearest first: equal on the first k values and beyond it on
    // value k, from k = the key down to the first index column. Beyond a
    // value are the greater (or smaller) values, then the nulls where the
    // traversal meets nulls after the values.
    QStringList ranges;
    const int count = KeyCount();
    for (int k = count; k >= 0; --k) {
        QStringList prefix;
        for (int i = 0; i < k; ++i)
            prefix << (nullKeys.value(i)
                           ? terms_[i].expression + QStringLiteral(" IS NULL")
                           : terms_[i].expression + QStringLiteral(" = ") + parameter(i));
        auto range = [&](const QString &condition) {
            ranges << (QStringList(prefix) << condition).join(QLatin1String(" AND "));
        };
        if (k == count) {
            range(key_ + QLatin1String(forward != keyDescending_ ? " > " : " < ") +
                  parameter(count));
            continue;
        }
        const Term &term = terms_[k];
        const bool greater = forward != term.descending;
        const bool nullsEarly = forward == term.nullsFirst;
        if (nullKeys.value(k)) {
            if (nullsEarly)
                range(term.expression + QStringLiteral(" IS NOT NULL"));
            continue;
        }
        range(term.expression + QLatin1String(greater ? " > " : " < ") + parameter(k));
        if (!nullsEarly)
            range(term.expression + QStringLiteral(" IS NULL"));
    }
    const QString filtered = filter.isEmpty() ? QString() : QStringLiteral(" AND (%1)").arg(filter);
    if (ranges.size() == 1)
        return Select(ranges.first() + filtered, !forward, limit, extra);
    // One seek per range, each limited; the ranges' own order puts the
    // nearest rows first.
    QStringList parts;
    for (int i = 0; i < ranges.size(); ++i)
        parts << QStringLiteral("(SELECT %1 AS o, %2)")
                     .arg(i)
                     .arg(Select(ranges[i] + filtered, !forward, limit, extra)
                              .mid(int(qstrlen("SELECT "))));
    const bool reversed = !forward;
    QStringList outer{QStringLiteral("c0")};
    QStringList order{QStringLiteral("o")};
    for (int i = 0; i < terms_.size(); ++i) {
        outer << QStringLiteral("c%1").arg(i + 1);
        order << QStringLiteral("c%1").arg(i + 1) +
                     Direction(terms_[i].descending != reversed, terms_[i].nullsFirst != reversed);
    }
    order << QStringLiteral("c0") + QLatin1String(keyDescending_ != reversed ? " DESC" : " ASC");
    for (int i = 0; i < extra.size(); ++i)
        outer << QStringLiteral("x%1").arg(i);
    return QStringLiteral("SELECT %1 FROM (%2) AS s ORDER BY %3 LIMIT %4")
        .arg(outer.join(QLatin1String(", ")), parts.join(QLatin1String(" UNION ALL ")),
             order.join(QLatin1String(", ")))
        .arg(limit);
}

QString PgTableOrder::KeysSql() const {
    QStringList list;
    for (const Term &term : terms_)
        list << term.expression;
    if (list.isEmpty())
        list << key_;
    return QStringLiteral("SELECT %1 FROM %2 WHERE %3 = $1")
        .arg(list.join(QLatin1String(", ")), table_, key_);
}
