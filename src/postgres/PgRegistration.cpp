#include "data/DatabaseEngines.h"
#include "postgres/PgEngine.h"

// Registers the engine under the Provider name "PostgreSQL"; linked in by the
// symbol the folder's CMakeLists names on every program's link line.
extern "C" {
extern const bool corvana_postgres_engine;
const bool corvana_postgres_engine = DatabaseEngines::Register(
    QStringLiteral("PostgreSQL"), [] { return std::make_unique<PgEngine>(); });
}
