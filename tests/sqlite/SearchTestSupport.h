#pragma once

// The search statement of the contact list's search tab, for the tests of
// the search through the engine and its index.

#include <QString>
#include <QStringList>

namespace search_test {

// The columns the search looks in, in the order of its lines.
inline QStringList SearchedColumns() {
    return {"CompanyName", "ContactPerson", "City", "State",  "PostCode",
            "Phone",       "Mobile",        "Url",  "Address"};
}

// The statement for a typed text: one line per column, joined without
// separators, each line after the first beginning with " or ", the text
// inside a double-quoted pattern with every " doubled.
inline QString SearchStatement(const QString &typed) {
    const QString text = QString(typed).replace(QLatin1Char('"'), QLatin1String("\"\""));
    QString statement;
    const QStringList columns = SearchedColumns();
    for (int i = 0; i < columns.size(); ++i) {
        statement +=
            i == 0 ? QStringLiteral("select * from Contacts where ") : QStringLiteral(" or ");
        statement += columns[i] + QStringLiteral(" like \"%") + text + QStringLiteral("%\"");
    }
    return statement;
}

// Removes the search index and the triggers that keep it, leaving a
// database as one made before the index existed.
inline QString DropSearchIndexSql() {
    return QStringLiteral("DROP TRIGGER ContactsSearchInsert; DROP TRIGGER ContactsSearchDelete; "
                          "DROP TRIGGER ContactsSearchUpdate; DROP TABLE ContactsSearch;");
}

} // namespace search_test
