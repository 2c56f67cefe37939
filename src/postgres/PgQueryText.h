#pragma once

#include <QString>
#include <QStringList>

// What a query row source needs to know of a command text before and after
// translation (PgDialect), read with the dialect's tokenizer so that quoted
// texts, names and comments never count as SQL.
class PgQueryText {
public:
    // The statements of a command text of the program's dialect, in order,
    // split at each ";" outside quotes and comments; statements that hold
    // nothing but blanks and comments are left out. A text of one statement
    // comes back whole. EProviderError for a text of several statements one
    // of which holds a dollar-quoted part ($$ ... $$), whose own ";" cannot
    // be told from those between statements.
    static QStringList Statements(const QString &text);

    // Whether a statement of the server's SQL can be read through a cursor:
    // a SELECT, VALUES or TABLE query, or a WITH query, that neither writes
    // nor locks rows (no INSERT, UPDATE, DELETE or MERGE, no FOR UPDATE /
    // FOR SHARE). Other statements are run as they are, and their rows (a
    // RETURNING clause, SHOW) read whole.
    static bool IsCursorQuery(const QString &sql);

    // How often a statement of the server's SQL names the table `table`
    // (its stored spelling), other than as a qualifier ("Contacts"."Name"):
    // quoted in exactly that spelling, or bare in any case when the stored
    // spelling is all lower case (the server folds a bare name so).
    static int TableMentions(const QString &sql, const QString &table);
};
