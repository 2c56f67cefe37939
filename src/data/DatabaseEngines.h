#pragma once

#include "data/DatabaseEngine.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// The engines a connection can open, by the Provider name of its connection
// string (compared without regard to case). Each engine's library registers
// itself when it is linked into a program; the engine-neutral layer never
// names an engine.
class DatabaseEngines {
public:
    using Factory = std::function<std::unique_ptr<TDatabaseEngine>()>;

    // Registers (or replaces) the engine for `provider`; returns true so that
    // a registration can initialise a constant.
    static bool Register(const QString &provider, Factory factory);
    // A new, unconnected engine for `provider`; EProviderError when no
    // engine of that name is linked into the program.
    static std::unique_ptr<TDatabaseEngine> Make(const QString &provider);
    static QStringList Providers();
};
