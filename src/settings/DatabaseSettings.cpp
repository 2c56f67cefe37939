#include "settings/DatabaseSettings.h"

#include "settings/GenFun.h"

#include <QStringList>

const QString DatabaseSettings::kPlace = QStringLiteral("DatabasePlace");
const QString DatabaseSettings::kHost = QStringLiteral("DatabaseHost");
const QString DatabaseSettings::kPort = QStringLiteral("DatabasePort");
const QString DatabaseSettings::kDatabase = QStringLiteral("DatabaseName");
const QString DatabaseSettings::kUser = QStringLiteral("DatabaseUser");

namespace {

const QString kFile = QStringLiteral("file");
const QString kServer = QStringLiteral("server");

QString Stored(const QString &name) {
    try {
        return GenFun::ReadRegString(GenFun::kKey, name, QString());
    } catch (...) {
        return QString();
    }
}

// `value` in single quotes, a quote or backslash in it escaped.
QString Quoted(const QString &value) {
    QString quoted;
    quoted.reserve(value.size() + 2);
    quoted += QLatin1Char('\'');
    for (const QChar c : value) {
        if (c == QLatin1Char('\'') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted += QLatin1Char('\'');
    return quoted;
}

} // namespace

DatabaseSettings DatabaseSettings::Read() {
    DatabaseSettings settings;
    if (Stored(kPlace).trimmed().compare(kServer, Qt::CaseInsensitive) == 0)
        settings.place = Place::Server;
    settings.host = Stored(kHost).trimmed();
    bool ok = false;
    const int port = Stored(kPort).trimmed().toInt(&ok, 10);
    if (ok && port >= 1 && port <= kMaxPort)
        settings.port = port;
    settings.database = Stored(kDatabase).trimmed();
    settings.user = Stored(kUser).trimmed();
    return settings;
}

void DatabaseSettings::Write() const {
    GenFun::WriteRegString(GenFun::kKey, kPlace, OnServer() ? kServer : kFile);
    GenFun::WriteRegString(GenFun::kKey, kHost, host.trimmed());
    GenFun::WriteRegString(GenFun::kKey, kPort, QString::number(qBound(1, port, kMaxPort)));
    GenFun::WriteRegString(GenFun::kKey, kDatabase, database.trimmed());
    GenFun::WriteRegString(GenFun::kKey, kUser, user.trimmed());
}

QString DatabaseSettings::Conninfo() const {
    QStringList parts;
    auto add = [&parts](const char *keyword, const QString &value) {
        if (!value.isEmpty())
            parts << QLatin1String(keyword) + QLatin1Char('=') + Quoted(value);
    };
    add("host", host.trimmed());
    add("port", QString::number(qBound(1, port, kMaxPort)));
    add("dbname", database.trimmed());
    add("user", user.trimmed());
    return parts.join(QLatin1Char(' '));
}
