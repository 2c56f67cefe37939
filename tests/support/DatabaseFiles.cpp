#include "support/DatabaseFiles.h"

#include "sqlite/SqliteBackup.h"
#include "sqlite/SqliteEngine.h"

#include <QCryptographicHash>
#include <QFile>
#include <gtest/gtest.h>

namespace DatabaseFiles {

void Copy(const QString &source, const QString &target) {
    SqliteBackup copy(source, target, SqliteEngine::kDefaultBusyTimeoutMs);
    while (!copy.Step()) {
    }
    copy.Finish();
}

QByteArray Digest(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result();
}

void DamageMiddlePage(const QString &path, char fill) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite)) << path.toStdString();
    ASSERT_TRUE(file.seek(file.size() / 2 / 4096 * 4096));
    file.write(QByteArray(4096, fill));
}

} // namespace DatabaseFiles
