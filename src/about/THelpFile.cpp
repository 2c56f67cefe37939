#include "about/THelpFile.h"

#include <QCoreApplication>
#include <QDir>

const QString THelpFile::kFileName = QStringLiteral("Corvana.html");

QString THelpFile::ProgramFolder() {
    QString folder = QDir::fromNativeSeparators(QCoreApplication::applicationDirPath());
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QString THelpFile::PathIn(const QString &programFolder) {
    return programFolder + kFileName;
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
