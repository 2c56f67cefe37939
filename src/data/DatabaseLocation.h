#pragma once

#include <QString>

// Where the program's database file `_db.mdb` lives.
//
// When the program's own folder holds `_db.mdb`, that file is the database
// (a build folder, or a copy of the program carried with its data). Otherwise
// the database is the user's own `_db.mdb` in the program's data folder
// (QStandardPaths::AppDataLocation); on the first start it is copied there
// from the template installed with the program. No table is ever created
// here, and an existing database is never replaced.
class DatabaseLocation {
public:
    static const QString kFileName; // "_db.mdb"

    // The folder (ending in '/') whose `_db.mdb` the program opens, making the
    // user's copy from `templatePath` first when needed. EError naming the
    // file and the reason when the template cannot be read or copied, or the
    // user's folder cannot be made.
    static QString Resolve(const QString &programFolder, const QString &userFolder,
                           const QString &templatePath);
    // The same with the running program's folders.
    static QString ResolveForProgram();

    // The user's data folder for the program, ending in '/'.
    static QString UserFolder();
    // The template database installed beside the program's data: the
    // program's folder, then `relativeDataFolder` (set by the build, the
    // data folder as seen from the program's folder), then `_db.mdb`.
    static QString TemplatePath(const QString &programFolder);
};
