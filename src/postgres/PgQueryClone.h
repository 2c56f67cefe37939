#pragma once

#include "data/RowSource.h"

#include <QStringList>
#include <memory>

class PgQueryRows;

// The search position of a query row source: scans the rows in their order
// from the first, fetching further rows from the server as needed and
// passing over deleted ones. With no options numbers compare as numbers and
// texts as texts; other options compare as LocateTextMatches does. Fetch
// failures raise EProviderError (see PgQueryRows).
class PgQueryClone : public TRowSourceClone {
public:
    PgQueryClone(std::shared_ptr<PgQueryRows> rows, QStringList columnNames);
    std::optional<TBookmark> FindFirst(const QString &columnName, const TValue &value,
                                       const TLocateOptions &options = {}) override;

private:
    std::shared_ptr<PgQueryRows> rows_;
    QStringList columnNames_;
};
