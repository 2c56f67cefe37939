#include "data/DatabaseLocation.h"

#include "data/ConnectionString.h"
#include "data/DatabaseErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#ifndef CORVANA_RELATIVE_DATA_DIR
#define CORVANA_RELATIVE_DATA_DIR "../share/corvana"
#endif

const QString DatabaseLocation::kFileName = QStringLiteral("_db.mdb");

namespace {

QString WithDelimiter(QString folder) {
    folder = QDir::fromNativeSeparators(folder);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

[[noreturn]] void Refuse(const QString &text) {
    throw EError(text);
}

} // namespace

QString DatabaseLocation::Resolve(const QString &programFolder, const QString &userFolder,
                                  const QString &templatePath) {
    const QString program = WithDelimiter(programFolder);
    if (QFileInfo::exists(program + kFileName))
        return program;
    const QString user = WithDelimiter(userFolder);
    const QString database = user + kFileName;
    if (QFileInfo::exists(database))
        return user;

    QFile source(templatePath);
    if (!source.exists())
        Refuse(
            QStringLiteral("There is no database %1, and the template %2 to make it from "
                           "is missing.")
                .arg(QDir::toNativeSeparators(database), QDir::toNativeSeparators(templatePath)));
    if (!source.open(QIODevice::ReadOnly))
        Refuse(QStringLiteral("The template database %1 cannot be read: %2.")
                   .arg(QDir::toNativeSeparators(templatePath), source.errorString()));
    if (!QDir().mkpath(user))
        Refuse(QStringLiteral("The folder %1 for the database cannot be made.")
                   .arg(QDir::toNativeSeparators(user)));
    // Copied under a name of its own and renamed when complete, so that an
    // interrupted copy never leaves a half database behind; the rename never
    // replaces a database that appeared meanwhile.
    const QString partial = database + QStringLiteral(".new");
    QFile::remove(partial);
    QFile target(partial);
    if (!target.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        Refuse(QStringLiteral("The database %1 cannot be made: %2.")
                   .arg(QDir::toNativeSeparators(database), target.errorString()));
    QByteArray chunk;
    while (!(chunk = source.read(1 << 20)).isEmpty()) {
        if (target.write(chunk) != chunk.size()) {
            const QString reason = target.errorString();
            target.close();
            QFile::remove(partial);
            Refuse(QStringLiteral("The database %1 cannot be made: %2.")
                       .arg(QDir::toNativeSeparators(database), reason));
        }
    }
    const bool readFailed = source.error() != QFileDevice::NoError;
    const bool flushed = target.flush();
    target.close();
    if (readFailed || !flushed || source.size() == 0) {
        QFile::remove(partial);
        Refuse(QStringLiteral("The template database %1 cannot be read: %2.")
                   .arg(QDir::toNativeSeparators(templatePath),
                        source.size() == 0 ? QStringLiteral("it is empty") : source.errorString()));
    }
    if (!QFile::rename(partial, database)) {
        QFile::remove(partial);
        if (!QFileInfo::exists(database))
            Refuse(QStringLiteral("The database %1 cannot be made.")
                       .arg(QDir::toNativeSeparators(database)));
    }
    return user;
}

QString DatabaseLocation::ResolveForProgram() {
    const QString program = ConnectionString::ProgramFolder();
    return Resolve(program, UserFolder(), TemplatePath(program));
}

QString DatabaseLocation::UserFolder() {
    return WithDelimiter(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

QString DatabaseLocation::TemplatePath(const QString &programFolder) {
    return QDir::cleanPath(WithDelimiter(programFolder) +
                           QStringLiteral(CORVANA_RELATIVE_DATA_DIR "/") + kFileName);
}
