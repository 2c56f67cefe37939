#include "DatabaseBuilder.h"
#include "support/TempDatabase.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the database tool, which the build puts beside the test program.
Result RunTool(const QStringList &arguments) {
    QProcess process;
    process.start(QCoreApplication::applicationDirPath() + "/corvana-db", arguments);
    Result result;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "corvana-db did not finish: " << process.errorString().toStdString();
        return result;
    }
    result.exitCode = process.exitCode();
    result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    result.err = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

QByteArray FileHash(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

} // namespace

TEST(CorvanaDbTool, CreateRefusesExistingFileUnlessIfMissing) {
    QTemporaryDir dir;
    const QString path = dir.filePath("bin/_db.mdb");
    Result created = RunTool({"create", path, "--contacts", "40", "--today", "2025-06-02"});
    EXPECT_EQ(created.exitCode, 0) << created.err.toStdString();
    EXPECT_TRUE(created.out.contains("Created")) << created.out.toStdString();
    ASSERT_TRUE(QFile::exists(path));
    const QByteArray before = FileHash(path);

    Result again = RunTool({"create", path, "--contacts", "10"});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(again.err.contains("already exists")) << again.err.toStdString();
    EXPECT_EQ(FileHash(path), before);

    // What the build runs: a silent success that leaves the file alone.
    Result build = RunTool({"create", path, "--contacts", "2000", "--if-missing"});
    EXPECT_EQ(build.exitCode, 0) << build.err.toStdString();
    EXPECT_TRUE(build.out.isEmpty());
    EXPECT_TRUE(build.err.isEmpty());
    EXPECT_EQ(FileHash(path), before);
    EXPECT_EQ(TempDatabase::RowsOf(path, "SELECT count(*) FROM Contacts"), QStringList({"40"}));
}

TEST(CorvanaDbTool, SameContactsAsTheLibraryForTheSameOptions) {
    QTemporaryDir dir;
    const QString byTool = dir.filePath("tool.mdb");
    ASSERT_EQ(
        RunTool({"create", byTool, "--contacts", "60", "--seed", "5", "--today", "2025-01-31"})
            .exitCode,
        0);
    DatabaseBuilder::Options options;
    options.sampleContacts = 60;
    options.seed = 5;
    options.today = QDate(2025, 1, 31);
    QString error;
    const QString byLibrary = dir.filePath("library.mdb");
    ASSERT_TRUE(DatabaseBuilder::Create(byLibrary, options, &error)) << error.toStdString();
    const QString all = "SELECT * FROM Contacts ORDER BY ContactID";
    EXPECT_EQ(TempDatabase::RowsOf(byTool, all), TempDatabase::RowsOf(byLibrary, all));
}

TEST(CorvanaDbTool, AddContactsAndSummary) {
    QTemporaryDir dir;
    const QString path = dir.filePath("_db.mdb");
    ASSERT_EQ(RunTool({"create", path, "--contacts", "25", "--today", "2025-06-02"}).exitCode, 0);
    Result added = RunTool({"add-contacts", path, "15", "--seed", "3", "--today", "2025-06-02"});
    EXPECT_EQ(added.exitCode, 0) << added.err.toStdString();

    Result summary = RunTool({"summary", path, "--today", "2025-06-02"});
    EXPECT_EQ(summary.exitCode, 0) << summary.err.toStdString();
    const QStringList lines = summary.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << summary.out.toStdString();
    EXPECT_EQ(lines.at(0), "Contacts: 40");
    EXPECT_TRUE(lines.at(1).startsWith("Countries: "));
    EXPECT_EQ(lines.at(2), "Status: 5");
    ASSERT_TRUE(lines.at(3).startsWith("Due today (2025-06-02): "));
    // Both batches have contacts due on that day.
    EXPECT_GE(lines.at(3).section(' ', -1).toInt(), 4);
}

TEST(CorvanaDbTool, WrongCommandLinesAreUsageErrors) {
    QTemporaryDir dir;
    const QString path = dir.filePath("_db.mdb");
    const QList<QStringList> wrong = {
        {},
        {"explode", path},
        {"create"},
        {"create", path, "--contacts", "-5"},
        {"create", path, "--contacts", "many"},
        {"create", path, "--contacts"},
        {"create", path, "--today", "2025-13-01"},
        {"create", path, "--seed", "x"},
        {"create", path, "--frobnicate"},
        {"create", path, "other"},
        {"add-contacts", path},
        {"add-contacts", path, "ten"},
        {"summary"},
    };
    for (const QStringList &arguments : wrong) {
        const Result result = RunTool(arguments);
        EXPECT_EQ(result.exitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(result.err.contains("Usage")) << arguments.join(' ').toStdString();
    }
    EXPECT_FALSE(QFile::exists(path));

    const Result missing = RunTool({"summary", path});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("does not exist")) << missing.err.toStdString();
    const Result addMissing = RunTool({"add-contacts", path, "3"});
    EXPECT_EQ(addMissing.exitCode, 1);
    EXPECT_FALSE(QFile::exists(path));

    const Result help = RunTool({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("add-contacts"));
}
