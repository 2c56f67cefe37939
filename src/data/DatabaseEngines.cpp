#include "data/DatabaseEngines.h"

#include "data/DatabaseErrors.h"

#include <QMap>
#include <mutex>

namespace {
struct Registry {
    std::mutex mutex;
    QMap<QString, DatabaseEngines::Factory> factories; // by lower-case name
};

// Built on first use, so that registrations made while the program's
// globals are initialised find it ready whatever their order.
Registry &TheRegistry() {
    static Registry registry;
    return registry;
}
} // namespace

bool DatabaseEngines::Register(const QString &provider, Factory factory) {
    Registry &registry = TheRegistry();
    const std::lock_guard<std::mutex> lock(registry.mutex);
    registry.factories.insert(provider.toLower(), std::move(factory));
    return true;
}

std::unique_ptr<TDatabaseEngine> DatabaseEngines::Make(const QString &provider) {
    Factory factory;
    {
        Registry &registry = TheRegistry();
        const std::lock_guard<std::mutex> lock(registry.mutex);
        factory = registry.factories.value(provider.trimmed().toLower());
    }
    if (!factory)
        throw EProviderError(QStringLiteral("Provider cannot be found. It may not be properly "
                                            "installed. (Provider: '%1')")
                                 .arg(provider));
    return factory();
}

QStringList DatabaseEngines::Providers() {
    Registry &registry = TheRegistry();
    const std::lock_guard<std::mutex> lock(registry.mutex);
    return registry.factories.keys();
}
