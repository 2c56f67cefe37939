#include "about/THelpFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#ifndef CORVANA_RELATIVE_DATA_DIR
#define CORVANA_RELATIVE_DATA_DIR "../share/corvana"
#endif

const QString THelpFile::kFileName = QStringLiteral("Corvana.html");

QString THelpFile::ProgramFolder() {
    QString folder = QDir::fromNativeSeparators(QCoreApplication::applicationDirPath());
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QString THelpFile::PathIn(const QString &programFolder) {
    const QString beside = programFolder + kFileName;
    if (QFileInfo::exists(beside))
        return beside;
    // An installed program keeps its help page in its data folder.
    const QString installed =
        QDir::cleanPath(programFolder + QStringLiteral(CORVANA_RELATIVE_DATA_DIR "/") + kFileName);
    return QFileInfo::exists(installed) ? installed : beside;
}

QUrl THelpFile::UrlIn(const QString &programFolder) {
    return QUrl::fromLocalFile(PathIn(programFolder));
}

void THelpFile::Open(const TShellOpen::TOpener &opener) {
    OpenIn(ProgramFolder(), opener);
}

void THelpFile::OpenIn(const QString &programFolder, const TShellOpen::TOpener &opener) {
    TShellOpen::Open(opener, UrlIn(programFolder));
}
