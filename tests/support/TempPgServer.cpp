#include "support/TempPgServer.h"

#include "ServerDatabaseBuilder.h"
#include "data/ConnectionString.h"
#include "support/PgRawConnection.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>
#include <QVersionNumber>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kStartAttempts = 5;
const char *const kTemplateDatabase = "corvana_template";

// The folder holding initdb, pg_ctl and postgres: CORVANA_PG_BINDIR when
// set, else the newest /usr/lib/postgresql/<version>/bin, else the PATH.
QString FindServerPrograms() {
    auto complete = [](const QString &dir) {
        for (const char *program : {"initdb", "pg_ctl", "postgres"})
            if (!QFileInfo(dir + QLatin1Char('/') + QLatin1String(program)).isExecutable())
                return false;
        return true;
    };
    const QString fromEnvironment = qEnvironmentVariable("CORVANA_PG_BINDIR");
    if (!fromEnvironment.isEmpty())
        return complete(fromEnvironment) ? fromEnvironment : QString();
    QString best;
    QVersionNumber bestVersion;
    const QDir versions(QStringLiteral("/usr/lib/postgresql"));
    for (const QString &entry : versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString dir = versions.filePath(entry) + QStringLiteral("/bin");
        const QVersionNumber version = QVersionNumber::fromString(entry);
        if (complete(dir) && (best.isEmpty() || version > bestVersion)) {
            best = dir;
            bestVersion = version;
        }
    }
    if (!best.isEmpty())
        return best;
    const QString initdb = QStandardPaths::findExecutable(QStringLiteral("initdb"));
    if (!initdb.isEmpty() && complete(QFileInfo(initdb).absolutePath()))
        return QFileInfo(initdb).absolutePath();
    return QString();
}

// A port of 127.0.0.1 that was free a moment ago (another program may still
// take it before the server does; the start is then tried again).
int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

// Runs a program to its end with its output (both streams) in `outputFile`,
// as `user` when given (through runuser), in `workDir`. Plain fork and exec
// rather than QProcess, so that the server can also be stopped after the
// application object is gone. Returns the exit code, or -1 when the program
// could not run or was killed.
QStringList AsUser(const QStringList &command, const QString &user) {
    if (user.isEmpty())
        return command;
    return QStringList{QStringLiteral("/usr/sbin/runuser"), QStringLiteral("-u"), user,
                       QStringLiteral("--")} +
           command;
}

// The arguments for execv, kept alive by `storage`.
std::vector<char *> Argv(const QStringList &command, std::vector<QByteArray> *storage) {
    for (const QString &arg : command)
        storage->push_back(QFile::encodeName(arg));
    std::vector<char *> argv;
    for (QByteArray &arg : *storage)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    return argv;
}

int RunProgram(const QStringList &command, const QString &user, const QString &workDir,
               const QString &outputFile, QString *output) {
    const QStringList full = AsUser(command, user);
    std::vector<QByteArray> storage;
    const std::vector<char *> argv = Argv(full, &storage);
    const QByteArray dir = QFile::encodeName(workDir);
    const QByteArray outPath = QFile::encodeName(outputFile);

    const int out = ::open(outPath.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        *output = QStringLiteral("cannot write %1: %2")
                      .arg(outputFile, QString::fromLocal8Bit(std::strerror(errno)));
        return -1;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        ::dup2(out, STDOUT_FILENO);
        ::dup2(out, STDERR_FILENO);
        const int in = ::open("/dev/null", O_RDONLY);
        if (in >= 0)
            ::dup2(in, STDIN_FILENO);
        if (::chdir(dir.constData()) != 0)
            ::_exit(126);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out);
    if (pid < 0) {
        *output = QStringLiteral("cannot start %1: %2")
                      .arg(full.front(), QString::fromLocal8Bit(std::strerror(errno)));
        return -1;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    QFile file(outputFile);
    *output = file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()).trimmed()
                                             : QString();
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127 && output->isEmpty())
        *output = QStringLiteral("cannot run %1").arg(full.front());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A process of its own that runs `stopCommand` and removes `folder` as soon
// as this program ends, however it ends (a crash, a kill, a time-out of the
// test runner), so that no server outlives its test program. It waits for
// the end of a pipe whose writing end only this program holds (closed on
// exec, so no child program keeps it open); in a session of its own, so a
// signal to the test runner's process group does not end it first. Returns
// the writing end, or -1.
int StartWatchdog(const QStringList &stopCommand, const QString &folder, pid_t *pid) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return -1;
    const QStringList command =
        QStringList{QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                    QStringLiteral("folder=$1; shift; read -r line; \"$@\"; rm -rf -- \"$folder\""),
                    QStringLiteral("sh"), folder} +
        stopCommand;
    std::vector<QByteArray> storage;
    const std::vector<char *> argv = Argv(command, &storage);
    *pid = ::fork();
    if (*pid == 0) {
        ::setsid();
        ::dup2(fds[0], STDIN_FILENO);
        const int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0) {
            ::dup2(null, STDOUT_FILENO);
            ::dup2(null, STDERR_FILENO);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[0]);
    if (*pid < 0) {
        ::close(fds[1]);
        return -1;
    }
    return fds[1];
}

// The user the server programs run as when we are root: the server refuses
// to run as root.
QString UnprivilegedUser(uid_t *uid, gid_t *gid) {
    for (const char *name : {"postgres", "nobody"}) {
        if (const passwd *entry = ::getpwnam(name)) {
            *uid = entry->pw_uid;
            *gid = entry->pw_gid;
            return QString::fromLatin1(name);
        }
    }
    return QString();
}

QString TemporaryTemplate() {
    // As root the folder must be reachable by the unprivileged user, which
    // a private temporary folder of root's may not be; /tmp always is.
    const QString base = ::geteuid() == 0 ? QStringLiteral("/tmp") : QDir::tempPath();
    return base + QStringLiteral("/corvana-pg-XXXXXX");
}

bool WriteFile(const QString &path, const QByteArray &text, QIODevice::OpenMode mode) {
    QFile file(path);
    return file.open(mode) && file.write(text) == text.size() && file.flush();
}

} // namespace

TempPgServer::TempPgServer(Durability durability) : dir_(TemporaryTemplate()) {
    if (!Start(durability) && port_ == 0 && error_.isEmpty())
        error_ = QStringLiteral("the test database server did not start");
}

TempPgServer::~TempPgServer() {
    Stop();
    dir_.remove();
    // The watchdog finds nothing left to do and ends.
    if (watchdog_ >= 0) {
        ::close(watchdog_);
        while (::waitpid(watchdogPid_, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
}

TempPgServer &TempPgServer::Shared() {
    static TempPgServer server;
    return server;
}

QString TempPgServer::Folder() const {
    return dir_.isValid() ? dir_.path() : QString();
}

QString TempPgServer::DataDirectory() const {
    return Folder() + QStringLiteral("/data");
}

bool TempPgServer::Start(Durability durability) {
    if (!dir_.isValid()) {
        error_ = QStringLiteral("cannot make a folder for the test database server: %1")
                     .arg(dir_.errorString());
        return false;
    }
    binDir_ = FindServerPrograms();
    if (binDir_.isEmpty()) {
        error_ = QStringLiteral(
            "the database server programs (initdb, pg_ctl, postgres) were not found in "
            "/usr/lib/postgresql/<version>/bin, on the PATH or in CORVANA_PG_BINDIR; install "
            "the postgresql package (scripts/install-deps.sh does)");
        return false;
    }
    uid_t uid = ::geteuid();
    if (::geteuid() == 0) {
        gid_t gid = 0;
        runAs_ = UnprivilegedUser(&uid, &gid);
        if (runAs_.isEmpty()) {
            error_ = QStringLiteral("running as root, and there is no user 'postgres' or "
                                    "'nobody' to run the test database server as");
            return false;
        }
        if (::chown(QFile::encodeName(Folder()).constData(), uid, gid) != 0) {
            error_ = QStringLiteral("cannot give %1 to the user %2: %3")
                         .arg(Folder(), runAs_, QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
    }

    watchdog_ = StartWatchdog(
        AsUser({binDir_ + QStringLiteral("/pg_ctl"), QStringLiteral("stop"), QStringLiteral("-D"),
                DataDirectory(), QStringLiteral("-m"), QStringLiteral("immediate")},
               runAs_),
        Folder(), &watchdogPid_);
    if (watchdog_ < 0) {
        error_ = QStringLiteral("cannot start the watchdog of the test database server: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (!MakeDataDirectory(uid))
        return false;
    const QString outputFile = Folder() + QStringLiteral("/command.out");
    QString output;

    // Later lines of the file win, so appending overrides initdb's values.
    QByteArray settings = "\n# Test server\n"
                          "listen_addresses = '127.0.0.1'\n"
                          "unix_socket_directories = '" +
                          QFile::encodeName(Folder()) +
                          "'\n"
                          "max_connections = 60\n"
                          "max_wal_size = 1GB\n"
                          "log_min_messages = warning\n";
    if (durability == Durability::Durable)
        settings += "shared_buffers = 128MB\n";
    else
        settings += "shared_buffers = 32MB\n"
                    "fsync = off\n"
                    "synchronous_commit = off\n"
                    "full_page_writes = off\n";
    const QByteArray hba =
        "# The superuser without a password; every other role with its password.\n"
        "local all corvana trust\n"
        "host  all corvana 127.0.0.1/32 trust\n"
        "local all all scram-sha-256\n"
        "host  all all 127.0.0.1/32 scram-sha-256\n";
    if (!WriteFile(DataDirectory() + QStringLiteral("/postgresql.conf"), settings,
                   QIODevice::WriteOnly | QIODevice::Append) ||
        !WriteFile(DataDirectory() + QStringLiteral("/pg_hba.conf"), hba,
                   QIODevice::WriteOnly | QIODevice::Truncate)) {
        error_ = QStringLiteral("cannot write the settings of the test database server in %1")
                     .arg(DataDirectory());
        return false;
    }

    const QString log = Folder() + QStringLiteral("/server.log");
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        const int port = FreePort();
        if (port == 0) {
            error_ = QStringLiteral("no free port on 127.0.0.1 for the test database server");
            return false;
        }
        const int started = RunProgram(
            {binDir_ + QStringLiteral("/pg_ctl"), QStringLiteral("start"), QStringLiteral("-w"),
             QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("-D"), DataDirectory(),
             QStringLiteral("-l"), log, QStringLiteral("-o"), QStringLiteral("-p %1").arg(port)},
            runAs_, Folder(), outputFile, &output);
        if (started == 0) {
            port_ = port;
            break;
        }
        QFile logFile(log);
        const QString logText = logFile.open(QIODevice::ReadOnly)
                                    ? QString::fromLocal8Bit(logFile.readAll()).trimmed()
                                    : QString();
        error_ =
            QStringLiteral("the test database server did not start: %1\n%2").arg(output, logText);
        // Only a port taken meanwhile is worth another try.
        if (!logText.contains(QLatin1String("already in use")))
            return false;
    }
    if (port_ == 0)
        return false;

    try {
        PgRawConnection admin(Conninfo());
        admin.Exec(QStringLiteral("CREATE ROLE %1 LOGIN CREATEDB PASSWORD '%2';"
                                  "GRANT pg_read_all_data, pg_write_all_data TO %1")
                       .arg(QLatin1String(kPasswordUser), QLatin1String(kPassword)));
    } catch (const std::exception &e) {
        error_ = QStringLiteral("the test database server started but cannot be set up: %1")
                     .arg(QString::fromLocal8Bit(e.what()));
        Stop();
        return false;
    }
    error_.clear();
    return true;
}

bool TempPgServer::MakeDataDirectory(uid_t owner) {
    const QString outputFile = Folder() + QStringLiteral("/command.out");
    QString output;
    // A cluster fresh from initdb is kept beside the servers' folders and
    // copied for every further server, which takes a fraction of initdb's
    // second or more: each test runs in a program of its own. The copy is
    // used only when it belongs to the server's user and no one else may
    // write it, and its name follows the server programs and the options.
    const QStringList options = {QStringLiteral("-E"),
                                 QStringLiteral("UTF8"),
                                 QStringLiteral("--locale=C.UTF-8"),
                                 QStringLiteral("-U"),
                                 QString::fromLatin1(kSuperuser),
                                 QStringLiteral("--auth=trust"),
                                 QStringLiteral("--no-sync"),
                                 QStringLiteral("--no-instructions")};
    const QFileInfo postgres(binDir_ + QStringLiteral("/postgres"));
    const QByteArray key =
        QCryptographicHash::hash((postgres.absoluteFilePath() + QString::number(postgres.size()) +
                                  QString::number(postgres.lastModified().toMSecsSinceEpoch()) +
                                  QString::number(owner) + options.join(QLatin1Char(' ')))
                                     .toUtf8(),
                                 QCryptographicHash::Sha256)
            .toHex()
            .left(16);
    const QString cache = QFileInfo(Folder()).absolutePath() +
                          QStringLiteral("/corvana-pg-initdb-") + QString::fromLatin1(key);
    const QStringList copy = {QStringLiteral("/bin/cp"), QStringLiteral("-a")};
    struct stat info {};
    if (::lstat(QFile::encodeName(cache).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
        info.st_uid == owner && (info.st_mode & 077) == 0 &&
        QFileInfo::exists(cache + QStringLiteral("/PG_VERSION")) &&
        RunProgram(copy + QStringList{cache, DataDirectory()}, runAs_, Folder(), outputFile,
                   &output) == 0)
        return true;
    QDir(DataDirectory()).removeRecursively();

    // No sync of the new cluster: a crash during a test run loses nothing
    // that matters.
    if (RunProgram(QStringList{binDir_ + QStringLiteral("/initdb"), QStringLiteral("-D"),
                               DataDirectory()} +
                       options,
                   runAs_, Folder(), outputFile, &output) != 0) {
        error_ = QStringLiteral("initdb of the test database server failed: %1").arg(output);
        return false;
    }
    // Put in place whole or not at all; another test program may be doing
    // the same at the same time, and the first one's copy stays.
    const QString partial =
        cache + QStringLiteral(".partial-%1").arg(QCoreApplication::applicationPid());
    if (RunProgram(copy + QStringList{DataDirectory(), partial}, runAs_, Folder(), outputFile,
                   &output) != 0 ||
        ::rename(QFile::encodeName(partial).constData(), QFile::encodeName(cache).constData()) != 0)
        QDir(partial).removeRecursively();
    return true;
}

void TempPgServer::Stop() {
    if (port_ == 0 || binDir_.isEmpty())
        return;
    port_ = 0;
    const QString outputFile = Folder() + QStringLiteral("/command.out");
    QString output;
    for (const char *mode : {"fast", "immediate"}) {
        if (RunProgram({binDir_ + QStringLiteral("/pg_ctl"), QStringLiteral("stop"),
                        QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("30"),
                        QStringLiteral("-D"), DataDirectory(), QStringLiteral("-m"),
                        QLatin1String(mode)},
                       runAs_, Folder(), outputFile, &output) == 0)
            return;
    }
}

QString TempPgServer::Conninfo(const QString &database, const QString &user) const {
    if (!Running())
        throw Error("the test database server is not running: " + error_.toStdString());
    return QStringLiteral("host=127.0.0.1 port=%1 dbname=%2 user=%3")
        .arg(port_)
        .arg(database, user);
}

QString TempPgServer::CreateDatabase() {
    std::lock_guard<std::mutex> lock(mutex_);
    const QString admin = Conninfo();
    if (!templateReady_) {
        QString reason;
        if (!ServerDatabaseBuilder::Create(Conninfo(QLatin1String(kTemplateDatabase)),
                                           DatabaseBuilder::Options(), &reason))
            throw Error("cannot build the template database on the test server: " +
                        reason.toStdString());
        templateReady_ = true;
    }
    const QString name = QStringLiteral("corvana_test_%1").arg(++databases_);
    try {
        PgRawConnection(admin).Exec(QStringLiteral("CREATE DATABASE %1 TEMPLATE %2")
                                        .arg(name, QLatin1String(kTemplateDatabase)));
    } catch (const std::exception &e) {
        throw Error(std::string("cannot create a test database: ") + e.what());
    }
    return Conninfo(name);
}

QString TempPgServer::ConnectionString(const QString &conninfo) {
    return ::ConnectionString::ForServer(conninfo);
}
