#include "safety/BackupFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryFile>

namespace {

const QString kStampFormat = QStringLiteral("yyyy-MM-dd-HHmmss");

bool Writable(const QString &folder) {
    if (!QDir().mkpath(folder))
        return false;
    QTemporaryFile probe(folder + QStringLiteral("/.write-test-XXXXXX"));
    return probe.open();
}

// A calendar week as one number: the Monday it starts on.
qint64 WeekOf(const QDate &day) {
    return day.addDays(1 - day.dayOfWeek()).toJulianDay();
}

} // namespace

BackupFolder::BackupFolder(const QString &databasePath, const QString &folder)
    : base_(QFileInfo(databasePath).completeBaseName()), folder_(folder) {}

QString BackupFolder::Choose(const QString &databasePath, const QString &userDataFolder) {
    const QString beside = QFileInfo(databasePath).absolutePath() + QStringLiteral("/backups");
    if (Writable(beside))
        return beside;
    const QString own = userDataFolder + QStringLiteral("/backups");
    if (!userDataFolder.isEmpty() && Writable(own))
        return own;
    return QString();
}

QString BackupFolder::NewPath(const QDateTime &when, Kind kind) const {
    QString suffix;
    if (kind == Kind::BeforeRestore)
        suffix = QStringLiteral("-before-restore");
    else if (kind == Kind::Damaged)
        suffix = QStringLiteral("-damaged");
    QString path =
        QStringLiteral("%1/%2-%3%4.mdb").arg(folder_, base_, when.toString(kStampFormat), suffix);
    // Two backups within one second (a restore right after a backup) get
    // the next second's name rather than replace each other.
    for (int extra = 1; QFileInfo::exists(path) && extra < 60; ++extra)
        path = QStringLiteral("%1/%2-%3%4.mdb")
                   .arg(folder_, base_, when.addSecs(extra).toString(kStampFormat), suffix);
    return path;
}

QList<BackupFolder::Entry> BackupFolder::List() const {
    const QRegularExpression name(
        QStringLiteral("^%1-(\\d{4}-\\d\\d-\\d\\d-\\d{6})(-before-restore|-damaged)?\\.mdb$")
            .arg(QRegularExpression::escape(base_)));
    QList<Entry> entries;
    const QFileInfoList files = QDir(folder_).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo &file : files) {
        const QRegularExpressionMatch match = name.match(file.fileName());
        if (!match.hasMatch())
            continue;
        Entry entry;
        entry.path = file.absoluteFilePath();
        entry.made = QDateTime::fromString(match.captured(1), kStampFormat);
        if (!entry.made.isValid())
            continue;
        if (match.captured(2) == QLatin1String("-before-restore"))
            entry.kind = Kind::BeforeRestore;
        else if (match.captured(2) == QLatin1String("-damaged"))
            entry.kind = Kind::Damaged;
        entries << entry;
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry &a, const Entry &b) { return a.made > b.made; });
    return entries;
}

bool BackupFolder::Due(const QDateTime &now) const {
    for (const Entry &entry : List())
        if (entry.kind == Kind::Automatic && entry.made.date() == now.date())
            return false;
    return true;
}

QList<BackupFolder::Entry> BackupFolder::Surplus(const QList<Entry> &entries, int days, int weeks) {
    QSet<qint64> daysSeen;
    QSet<qint64> weeksSeen;
    QList<Entry> surplus;
    QList<Entry> notDaily;
    for (const Entry &entry : entries) {
        if (entry.kind != Kind::Automatic)
            continue;
        const qint64 day = entry.made.date().toJulianDay();
        if (!daysSeen.contains(day) && daysSeen.size() < days) {
            daysSeen.insert(day);
            weeksSeen.insert(WeekOf(entry.made.date()));
            continue;
        }
        notDaily << entry;
    }
    // The weekly copies reach back beyond the daily ones: a week that has a
    // daily copy already is not counted again.
    QSet<qint64> weeklyWeeks;
    for (const Entry &entry : notDaily) {
        const qint64 week = WeekOf(entry.made.date());
        if (!weeksSeen.contains(week) && weeklyWeeks.size() < weeks) {
            weeksSeen.insert(week);
            weeklyWeeks.insert(week);
            continue;
        }
        surplus << entry;
    }
    return surplus;
}

QStringList BackupFolder::Prune(const QDateTime &now) const {
    QStringList failed;
    for (const Entry &entry : Surplus(List())) {
        if (!QFile::remove(entry.path))
            failed << entry.path;
    }
    const QFileInfoList partial =
        QDir(folder_).entryInfoList({base_ + QStringLiteral("-*.mdb.part")}, QDir::Files);
    for (const QFileInfo &file : partial) {
        if (file.lastModified().secsTo(now) > 3600)
            QFile::remove(file.absoluteFilePath());
    }
    return failed;
}
