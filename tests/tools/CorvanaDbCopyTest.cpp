#include "support/TempDatabase.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

int RunTool(const QStringList &arguments, QString *out) {
    QProcess process;
    process.start(QCoreApplication::applicationDirPath() + "/corvana-db", arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "corvana-db did not finish: " << process.errorString().toStdString();
        return -1;
    }
    *out = QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError());
    return process.exitCode();
}

QByteArray FileHash(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

} // namespace

TEST(CorvanaDbCopy, FileToFileKeepsTheContactsAndRefusesAFilledOrMissingTarget) {
    TempDatabase source(250);
    source.Exec("DELETE FROM Contacts WHERE ContactID % 7 = 0");
    source.Exec("UPDATE Contacts SET Note = 'Größe ' || char(10) || '½', Email = NULL "
                "WHERE ContactID = 3");
    // Ids the engine never gives, which a user may still have stored.
    source.Exec("INSERT INTO Contacts (ContactID, CompanyName) VALUES (0, 'zero'), "
                "(-9223372036854775808, 'lowest')");
    const QString all = "SELECT *, typeof(LastCallDate), typeof(CallbackDate) FROM Contacts "
                        "ORDER BY ContactID";
    QTemporaryDir dir;
    const QString target = dir.filePath("copy.mdb");
    QString out;
    ASSERT_EQ(RunTool({"create", target}, &out), 0) << out.toStdString();
    ASSERT_EQ(RunTool({"copy", source.Path(), target}, &out), 0) << out.toStdString();
    EXPECT_TRUE(out.contains("Copied 217 contacts")) << out.toStdString();
    EXPECT_EQ(TempDatabase::RowsOf(target, all), source.Rows(all));
    // The file's counter follows the copied ids.
    EXPECT_EQ(
        TempDatabase::RowsOf(target, "SELECT seq FROM sqlite_sequence WHERE name = 'Contacts'"),
        QStringList{"250"});

    // Holding contacts now, the target is refused and left as it is.
    const QByteArray before = FileHash(target);
    EXPECT_EQ(RunTool({"copy", source.Path(), target}, &out), 1);
    EXPECT_TRUE(out.contains("already holds 217 contacts")) << out.toStdString();
    EXPECT_EQ(FileHash(target), before);

    EXPECT_EQ(RunTool({"copy", source.Path(), dir.filePath("none.mdb")}, &out), 1);
    EXPECT_TRUE(out.contains("Cannot open the target database")) << out.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("none.mdb")));
    EXPECT_EQ(RunTool({"copy", source.Path()}, &out), 2);
    EXPECT_EQ(RunTool({"summary", source.Path(), "--server", "host=x"}, &out), 2);
}
