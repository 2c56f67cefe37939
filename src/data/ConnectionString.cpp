#include "data/ConnectionString.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// A value that would not read back as written (it holds a ';', starts with
// a quote or has blanks at its ends) is written in double quotes, with any
// double quote inside doubled.
QString QuotedIfNeeded(const QString &value) {
    const bool needsQuotes = value.contains(QLatin1Char(';')) ||
                             value.startsWith(QLatin1Char('"')) ||
                             value.startsWith(QLatin1Char('\'')) || value != value.trimmed();
    if (!needsQuotes)
        return value;
    QString quoted = value;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QString ConnectionString::ForProgramFolder(const QString &folderWithDelimiter) {
    return QStringLiteral("Provider=SQLite;User ID=Admin;Data Source=") +
           QuotedIfNeeded(folderWithDelimiter + QStringLiteral("_db.mdb")) +
           QStringLiteral(";Mode=Share Deny None;") +
           QStringLiteral("Persist Security Info=False;");
}

QString ConnectionString::ForServer(const QString &conninfo) {
    return QStringLiteral("Provider=PostgreSQL;Data Source=") + QuotedIfNeeded(conninfo) +
           QStringLiteral(";Persist Security Info=False;");
}

QString ConnectionString::WithPassword(const QString &connectionString, const QString &password) {
    QString text = connectionString;
    if (!text.isEmpty() && !text.endsWith(QLatin1Char(';')))
        text += QLatin1Char(';');
    // Always quoted, so that no character of the password can end the value.
    QString quoted = password;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return text + QStringLiteral("Password=\"") + quoted + QStringLiteral("\";");
}

QString ConnectionString::ProgramFolder() {
    QString folder;
    if (QCoreApplication::instance())
        folder = QCoreApplication::applicationDirPath();
    else
        folder = QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
    folder = QDir::fromNativeSeparators(folder);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QString ConnectionString::Value(const QString &connectionString, const QString &key) {
    const QString wanted = key.trimmed();
    QString result;
    int i = 0;
    const int n = int(connectionString.size());
    while (i < n) {
        const int equals = connectionString.indexOf(QLatin1Char('='), i);
        const int semicolon = connectionString.indexOf(QLatin1Char(';'), i);
        if (equals < 0 || (semicolon >= 0 && semicolon < equals)) {
            // A part without '=' carries no value.
            if (semicolon < 0)
                break;
            i = semicolon + 1;
            continue;
        }
        const QString name = connectionString.mid(i, equals - i).trimmed();
        int j = equals + 1;
        while (j < n && connectionString[j].isSpace())
            ++j;
        QString value;
        if (j < n &&
            (connectionString[j] == QLatin1Char('"') || connectionString[j] == QLatin1Char('\''))) {
            const QChar quote = connectionString[j++];
            while (j < n) {
                if (connectionString[j] == quote) {
                    if (j + 1 < n && connectionString[j + 1] == quote) {
                        value += quote;
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                value += connectionString[j++];
            }
            const int end = connectionString.indexOf(QLatin1Char(';'), j);
            i = end < 0 ? n : end + 1;
        } else {
            const int end = connectionString.indexOf(QLatin1Char(';'), j);
            value = connectionString.mid(j, (end < 0 ? n : end) - j).trimmed();
            i = end < 0 ? n : end + 1;
        }
        // The last mention of a key counts.
        if (name.compare(wanted, Qt::CaseInsensitive) == 0)
            result = value;
    }
    return result;
}
