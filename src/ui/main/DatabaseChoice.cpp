#include "ui/main/DatabaseChoice.h"

#include "ui/main/ServerLoginDialog.h"

#include "data/ConnectionString.h"
#include "data/DBConnection.h"
#include "data/DatabaseErrors.h"

DatabaseChoice::DatabaseChoice(QString databaseFolder, DatabaseSettings settings)
    : databaseFolder_(std::move(databaseFolder)), settings_(std::move(settings)) {}

DatabaseChoice DatabaseChoice::Stored(const QString &databaseFolder) {
    return DatabaseChoice(databaseFolder, DatabaseSettings::Read());
}

QString DatabaseChoice::ConnectionString() const {
    if (!OnServer())
        return ConnectionString::ForProgramFolder(databaseFolder_);
    return ConnectionString::ForServer(settings_.Conninfo());
}

QString DatabaseChoice::UserShown() const {
    if (!settings_.user.isEmpty())
        return settings_.user;
    const QString user = qEnvironmentVariable("PGUSER");
    return user.isEmpty() ? qEnvironmentVariable("USER") : user;
}

QString DatabaseChoice::HostShown() const {
    if (!settings_.host.isEmpty())
        return settings_.host;
    const QString host = qEnvironmentVariable("PGHOST");
    return host.isEmpty() ? QStringLiteral("this computer") : host;
}

void DatabaseChoice::Connect(TDBConnection &connection, QWidget *parent) const {
    const QString plain = ConnectionString();
    connection.SetConnectionString(plain);
    for (;;) {
        bool refused = false;
        try {
            connection.Open();
            return;
        } catch (const EPasswordNeeded &error) {
            refused = error.Refused();
        }
        QString password;
        {
            ServerLoginDialog dialog(UserShown(), HostShown(), refused, parent);
            if (dialog.exec() != QDialog::Accepted) {
                connection.SetConnectionString(plain);
                throw EProviderError(
                    QStringLiteral("No password was given for %1 on %2, so the program is not "
                                   "connected to the database.")
                        .arg(UserShown(), HostShown()));
            }
            password = dialog.Password();
        }
        connection.SetConnectionString(ConnectionString::WithPassword(plain, password));
    }
}

bool DatabaseChoice::NamesFile(const QString &connectionString) {
    return ConnectionString::Value(connectionString, QStringLiteral("Provider"))
               .compare(QLatin1String("SQLite"), Qt::CaseInsensitive) == 0;
}
