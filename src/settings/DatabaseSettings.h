#pragma once

#include <QString>

// Which database the program opens at its start: the database file on this
// computer (the default), or a database on a server named by its host,
// port, database name and user. Kept in the settings store beside the
// default country. Reading never fails: a missing or damaged value reads as
// its default, so a bad store can never stop the program from starting on
// its file. The password is never part of it and never stored: the server
// engine finds it in its own usual places, or the program asks for it.
class DatabaseSettings {
public:
    enum class Place { ThisComputer, Server };

    static const QString kPlace;    // "DatabasePlace": "file" or "server"
    static const QString kHost;     // "DatabaseHost"
    static const QString kPort;     // "DatabasePort": 1 to 65535
    static const QString kDatabase; // "DatabaseName"
    static const QString kUser;     // "DatabaseUser"
    static constexpr int kDefaultPort = 5432;
    static constexpr int kMaxPort = 65535;

    Place place = Place::ThisComputer;
    // Empty texts leave the server engine's own defaults in force (the
    // local server, the user's login name as user and as database).
    QString host;
    int port = kDefaultPort;
    QString database;
    QString user;

    bool OnServer() const { return place == Place::Server; }

    static DatabaseSettings Read();
    // Stores every value (the server's ones also for "This computer", so
    // that switching back finds them again); fails as
    // GenFun::WriteRegString does.
    void Write() const;

    // The server engine's "keyword='value' ..." text for host, port,
    // database and user. Every value is in single quotes with a quote or a
    // backslash in it escaped by a backslash, so that no value, whatever it
    // holds, can end itself or add a keyword; an empty text is left out.
    QString Conninfo() const;

    bool operator==(const DatabaseSettings &other) const {
        return place == other.place && host == other.host && port == other.port &&
               database == other.database && user == other.user;
    }
    bool operator!=(const DatabaseSettings &other) const { return !(*this == other); }
};
