#pragma once

#include "about/TShellOpen.h"

#include <QString>
#include <QUrl>

// The program's help: the page "Corvana.html" in the program's own folder,
// else in the installed data folder beside it, opened by the desktop like
// any local file. A missing page gives no message from the program.
class THelpFile {
public:
    static const QString kFileName; // "Corvana.html"

    // The folder of the running program's file, ending in '/'.
    static QString ProgramFolder();
    // The help page of `programFolder` (ending in a path delimiter): the file
    // in it, else the one in the installed data folder, else (neither there)
    // the file name in the program's folder.
    static QString PathIn(const QString &programFolder);
    // The local file address of the help page in `programFolder`.
    static QUrl UrlIn(const QString &programFolder);

    // Hands the help page of the program's folder to `opener` (the desktop
    // when empty). Never fails.
    static void Open(const TShellOpen::TOpener &opener = TShellOpen::TOpener());
    // The same for the help page of another folder.
    static void OpenIn(const QString &programFolder,
                       const TShellOpen::TOpener &opener = TShellOpen::TOpener());
};
