#include "ContactCopy.h"
#include "DatabaseBuilder.h"
#include "ServerDatabaseBuilder.h"

#include "data/DatabaseErrors.h"
#include "sqlite/SqliteBackup.h"
#include "sqlite/SqliteEngine.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>

namespace {

// Exit codes: 0 success, 1 the operation failed or was refused, 2 the
// command line is wrong.
constexpr int kFailed = 1;
constexpr int kUsage = 2;

const char *const kUsageText =
    "Usage:\n"
    "  corvana-db create <path> [--contacts N] [--seed S] [--today YYYY-MM-DD] [--if-missing]\n"
    "  corvana-db create --server <conninfo> [--contacts N] [--seed S] [--today YYYY-MM-DD]\n"
    "  corvana-db add-contacts <path> N [--seed S] [--today YYYY-MM-DD]\n"
    "  corvana-db summary <path> [--today YYYY-MM-DD]\n"
    "  corvana-db upgrade <path>\n"
    "  corvana-db backup <path> <target>\n"
    "  corvana-db copy <from> <to>\n"
    "\n"
    "create        makes a new contacts database with its countries and statuses and N\n"
    "              sample contacts (default 0). An existing file is never overwritten:\n"
    "              it is refused, or with --if-missing left alone without a word.\n"
    "              With --server, in a database on a server, named by a conninfo\n"
    "              (\"host=... dbname=...\" or postgresql://...); a database that does not\n"
    "              exist is made, one that holds contacts' tables is refused.\n"
    "add-contacts  adds N sample contacts to a database made by create.\n"
    "summary       prints the row count of each table and the contacts due today.\n"
    "upgrade       adds the tables and indexes a database of an earlier version lacks.\n"
    "backup        copies a database, also while programs are using it, into a new file\n"
    "              (checked, then put in place; an existing target is replaced).\n"
    "copy          copies every contact, with its ContactID, from one database into another\n"
    "              made by create that holds no contacts; each is a file's path or a\n"
    "              server's conninfo.\n"
    "--seed        the same seed gives the same contacts.\n"
    "--today       the day the sample call-backs are spread around (default: today).\n"
    "A server's password is read from ~/.pgpass or PGPASSWORD, never stored.\n";

void Print(FILE *stream, const QString &text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

int UsageError(const QString &message) {
    Print(stderr, QStringLiteral("corvana-db: %1\n\n").arg(message));
    Print(stderr, QString::fromLatin1(kUsageText));
    return kUsage;
}

int Failure(const QString &message) {
    Print(stderr, QStringLiteral("corvana-db: %1\n").arg(message));
    return kFailed;
}

struct CommandLine {
    QString command;
    QStringList positional;
    DatabaseBuilder::Options options;
    QString server;
    bool ifMissing = false;
    bool help = false;
};

bool ParseCount(const QString &text, std::int64_t *value) {
    bool ok = false;
    const qlonglong number = text.toLongLong(&ok);
    if (!ok || number < 0)
        return false;
    *value = number;
    return true;
}

// Fills `line`; an empty return means success, otherwise the complaint.
QString Parse(const QStringList &args, CommandLine *line) {
    for (int i = 1; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        auto value = [&](QString *out) {
            if (i + 1 >= args.size())
                return false;
            *out = args.at(++i);
            return true;
        };
        QString text;
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            line->help = true;
        } else if (arg == QLatin1String("--if-missing")) {
            line->ifMissing = true;
        } else if (arg == QLatin1String("--server")) {
            if (!value(&line->server) || line->server.trimmed().isEmpty())
                return QStringLiteral("--server needs a conninfo.");
        } else if (arg == QLatin1String("--contacts")) {
            if (!value(&text) || !ParseCount(text, &line->options.sampleContacts))
                return QStringLiteral("--contacts needs a whole number of 0 or more.");
        } else if (arg == QLatin1String("--seed")) {
            bool ok = false;
            if (!value(&text))
                return QStringLiteral("--seed needs a number.");
            line->options.seed = text.toULongLong(&ok);
            if (!ok)
                return QStringLiteral("--seed needs a whole number of 0 or more.");
        } else if (arg == QLatin1String("--today")) {
            if (!value(&text))
                return QStringLiteral("--today needs a date.");
            line->options.today = QDate::fromString(text, Qt::ISODate);
            if (!line->options.today.isValid())
                return QStringLiteral("--today needs a date written YYYY-MM-DD.");
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            return QStringLiteral("unknown option %1.").arg(arg);
        } else if (line->command.isEmpty()) {
            line->command = arg;
        } else {
            line->positional.append(arg);
        }
    }
    return QString();
}

int CreateOnServer(const CommandLine &line) {
    if (!line.positional.isEmpty())
        return UsageError(QStringLiteral("create --server takes no path."));
    if (line.ifMissing)
        return UsageError(QStringLiteral("--if-missing belongs to creating a file."));
    QElapsedTimer timer;
    timer.start();
    QString error;
    if (!ServerDatabaseBuilder::Create(line.server, line.options, &error))
        return Failure(error);
    Print(stdout, QStringLiteral("Created %1 with %2 sample contacts in %3 s.\n")
                      .arg(ContactCopy::DisplayName(line.server))
                      .arg(line.options.sampleContacts)
                      .arg(timer.elapsed() / 1000.0, 0, 'f', 1));
    return 0;
}

int Create(const CommandLine &line) {
    if (!line.server.isEmpty())
        return CreateOnServer(line);
    if (line.positional.size() != 1)
        return UsageError(QStringLiteral("create needs exactly one path."));
    const QString &path = line.positional.front();
    if (line.ifMissing && (QFileInfo::exists(path) || QFileInfo(path).isSymLink()))
        return 0;
    QElapsedTimer timer;
    timer.start();
    QString error;
    if (!DatabaseBuilder::Create(path, line.options, &error)) {
        // Another build may have made the file meanwhile.
        if (line.ifMissing && QFileInfo::exists(path))
            return 0;
        return Failure(error);
    }
    Print(stdout, QStringLiteral("Created %1 with %2 sample contacts in %3 s.\n")
                      .arg(path)
                      .arg(line.options.sampleContacts)
                      .arg(timer.elapsed() / 1000.0, 0, 'f', 1));
    return 0;
}

int AddContacts(const CommandLine &line) {
    if (line.ifMissing)
        return UsageError(QStringLiteral("--if-missing belongs to create."));
    CommandLine copy = line;
    if (line.positional.size() != 2 ||
        !ParseCount(line.positional.at(1), &copy.options.sampleContacts))
        return UsageError(QStringLiteral("add-contacts needs a path and a number of contacts."));
    QElapsedTimer timer;
    timer.start();
    QString error;
    if (!DatabaseBuilder::AddSampleContacts(line.positional.front(), copy.options, &error))
        return Failure(error);
    Print(stdout, QStringLiteral("Added %1 sample contacts to %2 in %3 s.\n")
                      .arg(copy.options.sampleContacts)
                      .arg(line.positional.front())
                      .arg(timer.elapsed() / 1000.0, 0, 'f', 1));
    return 0;
}

int Summary(const CommandLine &line) {
    if (line.ifMissing)
        return UsageError(QStringLiteral("--if-missing belongs to create."));
    if (line.positional.size() != 1)
        return UsageError(QStringLiteral("summary needs exactly one path."));
    QString error;
    const QString text =
        DatabaseBuilder::Summary(line.positional.front(), line.options.today, &error);
    if (text.isEmpty())
        return Failure(error);
    Print(stdout, text);
    return 0;
}

int Upgrade(const CommandLine &line) {
    if (line.ifMissing)
        return UsageError(QStringLiteral("--if-missing belongs to create."));
    if (line.positional.size() != 1)
        return UsageError(QStringLiteral("upgrade needs exactly one path."));
    QString error;
    if (!DatabaseBuilder::Upgrade(line.positional.front(), &error))
        return Failure(error);
    Print(stdout, QStringLiteral("%1 is up to date.\n").arg(line.positional.front()));
    return 0;
}

int Backup(const CommandLine &line) {
    if (line.ifMissing)
        return UsageError(QStringLiteral("--if-missing belongs to create."));
    if (line.positional.size() != 2)
        return UsageError(QStringLiteral("backup needs a path and a target."));
    const QString &source = line.positional.front();
    const QString &target = line.positional.back();
    if (!QFileInfo(source).isFile())
        return Failure(QStringLiteral("Could not find file '%1'.").arg(source));
    try {
        SqliteBackup copy(source, target, SqliteEngine::kDefaultBusyTimeoutMs);
        while (!copy.Step()) {
        }
        copy.Finish();
    } catch (const EError &error) {
        return Failure(error.Message());
    }
    Print(stdout, QStringLiteral("%1 is backed up to %2.\n").arg(source, target));
    return 0;
}

int Copy(const CommandLine &line) {
    if (line.ifMissing)
        return UsageError(QStringLiteral("--if-missing belongs to create."));
    if (line.positional.size() != 2)
        return UsageError(QStringLiteral("copy needs a database to copy from and one to copy to."));
    const QString &from = line.positional.front();
    const QString &to = line.positional.back();
    if (!ContactCopy::IsServerName(from) && !QFileInfo(from).isFile())
        return Failure(QStringLiteral("Could not find file '%1'.").arg(from));
    QElapsedTimer timer;
    timer.start();
    ContactCopy::Options options;
    options.progress = [&timer](std::int64_t copied, std::int64_t total) {
        Print(stderr, QStringLiteral("%1 of %2 contacts copied (%3 s)\n")
                          .arg(copied)
                          .arg(total)
                          .arg(timer.elapsed() / 1000.0, 0, 'f', 1));
    };
    std::int64_t copied = 0;
    QString error;
    if (!ContactCopy::Run(from, to, options, &copied, &error))
        return Failure(error);
    Print(stdout, QStringLiteral("Copied %1 contacts from %2 to %3 in %4 s.\n")
                      .arg(copied)
                      .arg(ContactCopy::DisplayName(from), ContactCopy::DisplayName(to))
                      .arg(timer.elapsed() / 1000.0, 0, 'f', 1));
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));

    CommandLine line;
    const QString complaint = Parse(args, &line);
    if (!complaint.isEmpty())
        return UsageError(complaint);
    if (line.help) {
        Print(stdout, QString::fromLatin1(kUsageText));
        return 0;
    }
    if (!line.server.isEmpty() && line.command != QLatin1String("create"))
        return UsageError(QStringLiteral("--server belongs to create."));
    if (line.command == QLatin1String("create"))
        return Create(line);
    if (line.command == QLatin1String("add-contacts"))
        return AddContacts(line);
    if (line.command == QLatin1String("summary"))
        return Summary(line);
    if (line.command == QLatin1String("upgrade"))
        return Upgrade(line);
    if (line.command == QLatin1String("backup"))
        return Backup(line);
    if (line.command == QLatin1String("copy"))
        return Copy(line);
    if (line.command.isEmpty())
        return UsageError(QStringLiteral("no command given."));
    return UsageError(QStringLiteral("unknown command %1.").arg(line.command));
}
