#pragma once

#include <QHash>
#include <QString>

class PgConnection;

// The stored spelling of the database's table, column and index names.
// The server folds a name that is not quoted to lower case, while the
// program's schema keeps its names in mixed case ("ContactID"); the
// program's statements name them in any case without quotes. Translation
// looks a bare name up here and quotes it in its stored spelling.
class PgNames {
public:
    // Reads the names of the tables, views, indexes and their columns in the
    // session's schema; EProviderError on failure.
    static PgNames Load(PgConnection &connection);
    // For tests and translation without a server.
    void Add(const QString &name) { spelling_.insert(name.toLower(), name); }
    // The stored spelling of a name, compared without regard to case; empty
    // when the database has no such name.
    QString Spelling(const QString &name) const { return spelling_.value(name.toLower()); }
    bool IsEmpty() const { return spelling_.isEmpty(); }

private:
    QHash<QString, QString> spelling_;
};
