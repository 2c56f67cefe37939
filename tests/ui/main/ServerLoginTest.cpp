// A server that wants a password found nowhere else: the program asks, asks
// again after a wrong one, and keeps the right one in the connection alone.

#include "settings/DatabaseSettings.h"
#include "support/ModalAnswer.h"
#include "support/TempDatabase.h"
#include "support/TempHome.h"
#include "support/TempPgServer.h"
#include "support/TempSettings.h"
#include "ui/controls/TErrorBox.h"
#include "ui/main/SafetyCommands.h"
#include "ui/main/ServerLoginDialog.h"
#include "ui/main/frmMain.h"

#include "data/ConnectionString.h"
#include "data/DatabaseErrors.h"

#include <QAction>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct Asked {
    QString question;
    bool refusedShown = false;
};

// Answers the password question with `password`, noting what it showed.
std::function<void(ServerLoginDialog &)> Answer(Asked &asked, const char *password) {
    return [&asked, password](ServerLoginDialog &dialog) {
        asked.question = dialog.lblPassword->text();
        asked.refusedShown = dialog.lblRefused->isVisible();
        QTest::keyClicks(dialog.txtPassword, password);
        QTest::keyClick(dialog.txtPassword, Qt::Key_Return);
    };
}

TEST(ServerLogin, AWrongPasswordIsAskedAgainAndTheRightOneConnects) {
    TempPgServer &server = TempPgServer::Shared();
    ASSERT_TRUE(server.Running()) << server.ErrorString().toStdString();
    const QString conninfo = server.CreateDatabase();
    // No password file and no password in the environment.
    TempHome home;
    TempSettings settings;
    qunsetenv("PGPASSWORD");
    qunsetenv("PGPASSFILE");
    DatabaseSettings chosen;
    chosen.place = DatabaseSettings::Place::Server;
    chosen.host = "127.0.0.1";
    chosen.port = server.Port();
    chosen.database = QRegularExpression("dbname=(\\S+)").match(conninfo).captured(1);
    chosen.user = TempPgServer::kPasswordUser;
    chosen.Write();

    Asked first, second;
    std::unique_ptr<ModalAnswer<ServerLoginDialog>> again;
    ModalAnswer<ServerLoginDialog> wrong([&](ServerLoginDialog &dialog) {
        Answer(first, "not-the-password")(dialog);
        again = std::make_unique<ModalAnswer<ServerLoginDialog>>(
            Answer(second, TempPgServer::kPassword));
    });
    TempDatabase db;
    QStringList reported;
    TfrmMain window(db.Folder(), [&reported](std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const EError &e) {
            reported << e.Message();
        }
    });
    ASSERT_TRUE(wrong.Answered());
    ASSERT_TRUE(again && again->Answered());
    EXPECT_EQ(first.question, "Password for corvana_pw on 127.0.0.1:");
    EXPECT_FALSE(first.refusedShown);
    EXPECT_TRUE(second.refusedShown);
    EXPECT_TRUE(reported.isEmpty()) << reported.join("; ").toStdString();
    EXPECT_FALSE(window.QuitAtStart());
    EXPECT_TRUE(window.connDB.Connected());
    EXPECT_TRUE(window.rsContacts.Active());
    EXPECT_TRUE(window.qryCountries.Active());

    // Connecting again later asks nothing: the connection holds the
    // password, and nothing else does.
    bool askedAgain = false;
    ModalAnswer<ServerLoginDialog> none([&](ServerLoginDialog &dialog) {
        askedAgain = true;
        dialog.reject();
    });
    window.connDB.Close();
    window.connDB.Open();
    EXPECT_TRUE(window.connDB.Connected());
    EXPECT_FALSE(askedAgain);
    EXPECT_EQ(ConnectionString::Value(window.connDB.ConnectionString(), "Password"),
              TempPgServer::kPassword);
    QDirIterator stored(settings.Folder(), QDir::Files, QDirIterator::Subdirectories);
    while (stored.hasNext()) {
        QFile file(stored.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_FALSE(file.readAll().contains(TempPgServer::kPassword))
            << file.fileName().toStdString();
    }

    // The backup of a file has no place on a server: the engine's refusal
    // reaches the error box, and no file is made.
    QStringList shown;
    TErrorBox::ShowHook = [&shown](const QString &, const QString &text) { shown << text; };
    const QString target = home.Path() + "/backup.mdb";
    window.safety->chooseBackupFile = [&target](const QString &) { return target; };
    window.safety->mniBackUp->trigger();
    TErrorBox::ShowHook = nullptr;
    EXPECT_EQ(shown, QStringList{"This database cannot be copied by the program."});
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_FALSE(window.safety->StartAutomaticBackup());
}

} // namespace
