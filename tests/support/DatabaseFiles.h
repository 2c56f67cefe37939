#pragma once

#include <QByteArray>
#include <QString>

// Files of databases as the safety tests handle them: a whole copy made
// the way the program backs up, a fingerprint of a file's bytes, and a page
// overwritten as a disk fault would.
namespace DatabaseFiles {
// A checked copy of the database at `source` (which may be in use).
void Copy(const QString &source, const QString &target);
// SHA-256 of the file's bytes; empty when it cannot be read.
QByteArray Digest(const QString &path);
// Overwrites the 4 KB page in the middle of the file with `fill`.
void DamageMiddlePage(const QString &path, char fill);
} // namespace DatabaseFiles
