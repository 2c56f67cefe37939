#pragma once

#include "data/RowSource.h"

#include <QString>
#include <memory>

// One engine's connection to one database. The connection object picks the
// engine from the connection string's Provider and talks to it only through
// this interface, so that another engine can stand beside the first.
class TDatabaseEngine {
public:
    virtual ~TDatabaseEngine() = default;
    // Opens the database the data source names. EProviderError with a clear
    // message when the file is missing, unreadable, locked, or not one of the
    // program's databases; nothing is written into such a file.
    virtual void Connect(const QString &dataSource, const QString &mode) = 0;
    virtual void Disconnect() = 0;
    virtual bool Connected() const = 0;
    // Opens a row source; EProviderError when the engine refuses the command.
    virtual std::unique_ptr<TRowSource> OpenRowSource(const TRowSourceRequest &request) = 0;
};
