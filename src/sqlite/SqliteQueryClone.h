#pragma once

#include "data/RowSource.h"

#include <QStringList>
#include <memory>

class SqliteQueryRows;

// The search position of a query row source: scans the rows in their order
// from the first, reading further rows from the query as needed and passing
// over deleted ones. Numbers compare as numbers, texts as texts.
class SqliteQueryClone : public TRowSourceClone {
public:
    SqliteQueryClone(std::shared_ptr<SqliteQueryRows> rows, QStringList columnNames);
    std::optional<TBookmark> FindFirst(const QString &columnName, const TValue &value,
                                       const TLocateOptions &options = {}) override;

    // Whether a stored value equals the value searched for (LocateValueMatches).
    static bool Matches(const TValue &stored, const TValue &wanted) {
        return LocateValueMatches(stored, wanted);
    }

private:
    std::shared_ptr<SqliteQueryRows> rows_;
    QStringList columnNames_;
};
