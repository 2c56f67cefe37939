#include "data/DatabaseLocation.h"
#include "data/DatabaseErrors.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void Write(const QString &path, const QByteArray &bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray Read(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

std::string ErrorOf(const QString &program, const QString &user, const QString &templ) {
    try {
        DatabaseLocation::Resolve(program, user, templ);
    } catch (const EError &e) {
        return e.Message().toStdString();
    }
    return "no error";
}

class DatabaseLocationTest : public ::testing::Test {
protected:
    QString P(const QString &name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

TEST_F(DatabaseLocationTest, TheProgramsOwnDatabaseComesFirstThenTheUsersCopyOfTheTemplate) {
    const QString templ = P("share/corvana/_db.mdb");
    Write(templ, "template bytes");
    // A program folder holding a database uses it, and nothing is copied.
    Write(P("portable/_db.mdb"), "portable");
    EXPECT_EQ(DatabaseLocation::Resolve(P("portable"), P("user"), templ), P("portable") + "/");
    EXPECT_FALSE(QFile::exists(P("user/_db.mdb")));
    // Without one, the user's folder gets a copy of the template on first use.
    EXPECT_EQ(DatabaseLocation::Resolve(P("bin"), P("user/data"), templ), P("user/data") + "/");
    EXPECT_EQ(Read(P("user/data/_db.mdb")), "template bytes");
    EXPECT_FALSE(QFile::exists(P("user/data/_db.mdb.new")));
    // The user's database, once there, is never replaced by the template.
    Write(P("user/data/_db.mdb"), "my contacts");
    Write(templ, "a newer template");
    EXPECT_EQ(DatabaseLocation::Resolve(P("bin"), P("user/data"), templ), P("user/data") + "/");
    EXPECT_EQ(Read(P("user/data/_db.mdb")), "my contacts");
    // Nor is it needed any more: a missing template is no error then.
    QFile::remove(templ);
    EXPECT_EQ(ErrorOf(P("bin"), P("user/data"), templ), "no error");
}

TEST_F(DatabaseLocationTest, ATemplateThatCannotBeReadOrCopiedSaysWhichFileAndWhy) {
    const std::string missing = ErrorOf(P("bin"), P("user"), P("share/_db.mdb"));
    EXPECT_NE(missing.find(P("user/_db.mdb").toStdString()), std::string::npos) << missing;
    EXPECT_NE(missing.find("template"), std::string::npos) << missing;
    EXPECT_NE(missing.find(P("share/_db.mdb").toStdString()), std::string::npos) << missing;
    // A folder where the template should be cannot be read.
    QDir().mkpath(P("share/folder.mdb"));
    const std::string unreadable = ErrorOf(P("bin"), P("user"), P("share/folder.mdb"));
    EXPECT_NE(unreadable.find("cannot be read"), std::string::npos) << unreadable;
    Write(P("share/empty.mdb"), "");
    EXPECT_NE(ErrorOf(P("bin"), P("user"), P("share/empty.mdb")).find("empty"), std::string::npos);
    EXPECT_FALSE(QFile::exists(P("user/_db.mdb")));
    EXPECT_FALSE(QFile::exists(P("user/_db.mdb.new")));
    // A user folder that cannot be made (a file stands in its way).
    Write(P("share/_db.mdb"), "template");
    Write(P("blocked"), "a file");
    const std::string blocked = ErrorOf(P("bin"), P("blocked/user"), P("share/_db.mdb"));
    EXPECT_NE(blocked.find(P("blocked/user").toStdString()), std::string::npos) << blocked;
}

TEST(DatabaseLocation, TheTemplateLiesInTheDataFolderBesideTheProgramsFolder) {
    EXPECT_EQ(DatabaseLocation::TemplatePath("/usr/bin/"), "/usr/share/corvana/_db.mdb");
    EXPECT_EQ(DatabaseLocation::TemplatePath("/opt/corvana/bin"),
              "/opt/corvana/share/corvana/_db.mdb");
}

} // namespace
