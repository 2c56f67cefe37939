#include "data/DatabaseEngines.h"
#include "sqlite/SqliteEngine.h"

// Registers the engine under the Provider name "SQLite". The symbol is
// named on the link line of every program that links the engine (see the
// folder's CMakeLists), so the registration is linked in although nothing
// calls into this file.
extern "C" {
extern const bool corvana_sqlite_engine;
const bool corvana_sqlite_engine = DatabaseEngines::Register(
    QStringLiteral("SQLite"), [] { return std::make_unique<SqliteEngine>(); });
}
