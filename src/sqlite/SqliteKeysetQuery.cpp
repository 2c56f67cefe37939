#include "sqlite/SqliteKeysetQuery.h"

#include <QRegularExpression>
#include <QStringList>
#include <memory>

#include <sqlite3.h>

namespace {

using Statement = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)>;

// The table's column names in order and its integer primary key (the row
// id's other name), empty when it has none.
bool TableColumns(sqlite3 *db, const QString &table, QStringList *names, QString *rowidAlias) {
    const QByteArray sql = QStringLiteral("PRAGMA table_info(\"%1\")")
                               .arg(QString(table).replace('"', "\"\""))
                               .toUtf8();
    sqlite3_stmt *raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &raw, nullptr) != SQLITE_OK)
        return false;
    Statement statement(raw, sqlite3_finalize);
    int keys = 0;
    while (sqlite3_step(raw) == SQLITE_ROW) {
        const QString name =
            QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(raw, 1)));
        const QString type =
            QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(raw, 2)));
        *names << name;
        if (sqlite3_column_int(raw, 5) > 0) {
            ++keys;
            if (type.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0)
                *rowidAlias = name;
        }
    }
    if (keys != 1)
        rowidAlias->clear();
    return !names->isEmpty();
}

} // namespace

std::optional<SqliteQueryRows::Keyset>
SqliteKeysetQuery::For(sqlite3 *db, const QString &sql, const QVector<QString> &originTables,
                       const QVector<QString> &originColumns) {
    if (originTables.isEmpty() || originTables.size() != originColumns.size())
        return std::nullopt;
    const QString table = originTables.front();
    for (const QString &origin : originTables)
        if (origin.isEmpty() || origin.compare(table, Qt::CaseInsensitive) != 0)
            return std::nullopt;
    QStringList names;
    QString alias;
    if (!TableColumns(db, table, &names, &alias) || alias.isEmpty() ||
        names.size() != originColumns.size())
        return std::nullopt;
    SqliteQueryRows::Keyset keyset;
    for (int i = 0; i < names.size(); ++i) {
        if (names[i].compare(originColumns[i], Qt::CaseInsensitive) != 0)
            return std::nullopt;
        if (names[i].compare(alias, Qt::CaseInsensitive) == 0)
            keyset.keyColumn = i;
    }
    // "select *" or "select Q.*", then the rest of the text from FROM on.
    static const QRegularExpression head(
        QStringLiteral("^\\s*select\\s+(?:((?:[A-Za-z_]\\w*|\"[^\"]+\"|\\[[^\\]]+\\])\\s*\\.)\\s*)?"
                       "\\*\\s+(from\\s.*)$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = head.match(sql);
    if (!match.hasMatch())
        return std::nullopt;
    const QString rowid = match.captured(1).isEmpty() ? QStringLiteral("rowid")
                                                      : match.captured(1) + QStringLiteral("rowid");
    const QString rest = match.captured(2);
    keyset.keySql = QStringLiteral("select %1 %2").arg(rowid, rest).toUtf8();
    static const QRegularExpression ordered(QStringLiteral("\\border\\s+by\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (!rest.contains(ordered))
        keyset.orderedKeySql =
            QStringLiteral("select %1 %2 order by %1").arg(rowid, rest.trimmed()).toUtf8();
    const QString quoted = QString(table).replace('"', QStringLiteral("\"\""));
    keyset.rowSql = QStringLiteral("select * from \"%1\" where rowid = ?1").arg(quoted).toUtf8();
    keyset.rangeSql = QStringLiteral("select * from \"%1\" where rowid >= ?1 order by rowid")
                          .arg(quoted)
                          .toUtf8();
    return keyset;
}
