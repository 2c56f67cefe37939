// The database chosen for the start: the file by default, a server only when
// chosen; a server out of reach is said, with the Options dialog or quitting
// to choose from, and the file is never opened, locked or checked instead.

#include "ui/main/DatabaseChoice.h"
#include "settings/DatabaseOptions.h"
#include "settings/TfrmOptions.h"
#include "support/DatabaseFiles.h"
#include "support/ModalAnswer.h"
#include "support/TempDatabase.h"
#include "support/TempSettings.h"
#include "ui/main/SafetyCommands.h"
#include "ui/main/StartupCheck.h"
#include "ui/main/frmMain.h"

#include "data/ConnectionString.h"
#include "data/DatabaseErrors.h"

#include <QAbstractButton>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

namespace {

// A server on this computer at a port nothing listens on.
void ChooseClosedServer(const QString &database = "contacts") {
    DatabaseSettings settings;
    settings.place = DatabaseSettings::Place::Server;
    settings.host = "127.0.0.1";
    settings.port = 1;
    settings.database = database;
    settings.Write();
}

void Click(QMessageBox &box, const QString &text) {
    for (QAbstractButton *button : box.buttons())
        if (button->text() == text)
            return button->click();
    box.reject();
}

TfrmMain::TErrorReporter Into(QStringList &messages) {
    return [&messages](std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const EError &e) {
            messages << e.Message();
        }
    };
}

TEST(DatabaseChoice, TheFileByDefaultAndTheServerOnlyWhenChosen) {
    TempSettings settings;
    TempDatabase db;
    const DatabaseChoice file = DatabaseChoice::Stored(db.Folder());
    EXPECT_EQ(file.ConnectionString(), ConnectionString::ForProgramFolder(db.Folder()));
    EXPECT_TRUE(DatabaseChoice::NamesFile(file.ConnectionString()));

    ChooseClosedServer("a;b \"c\"");
    const DatabaseChoice server = DatabaseChoice::Stored(db.Folder());
    const QString text = server.ConnectionString();
    EXPECT_EQ(ConnectionString::Value(text, "Provider"), "PostgreSQL");
    EXPECT_EQ(ConnectionString::Value(text, "Data Source"), server.Settings().Conninfo());
    EXPECT_TRUE(ConnectionString::Value(text, "Password").isEmpty());
    EXPECT_FALSE(DatabaseChoice::NamesFile(text));

    // No lock and no check at the start, even after an unclean end of the
    // file's last run.
    QFile stale(StartupCheck::LockPath(db.Path()));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("999999999\ncorvana\nnowhere\n");
    stale.close();
    const QStringList before = QDir(db.Folder()).entryList(QDir::Files);
    StartupCheck check(db.Folder());
    EXPECT_FALSE(check.LastRunEndedUncleanly());
    EXPECT_EQ(check.Run(), StartupCheck::Outcome::Skipped);
    EXPECT_EQ(QDir(db.Folder()).entryList(QDir::Files), before);
}

TEST(MainWindowOnAServer, AServerOutOfReachIsSaidAndQuitLeavesTheFileAlone) {
    TempSettings settings;
    TempDatabase db(3);
    ChooseClosedServer();
    const QByteArray digest = DatabaseFiles::Digest(db.Path());
    const QStringList files = QDir(db.Folder()).entryList(QDir::Files);
    QString said;
    ModalAnswer<QMessageBox> answer([&](QMessageBox &box) {
        said = box.text();
        Click(box, "&Quit");
    });
    QStringList reported;
    TfrmMain window(db.Folder(), Into(reported));
    EXPECT_TRUE(answer.Answered());
    EXPECT_TRUE(said.contains("127.0.0.1")) << said.toStdString();
    EXPECT_TRUE(said.contains("cannot work without its database")) << said.toStdString();
    EXPECT_TRUE(reported.isEmpty()) << reported.join("; ").toStdString();
    EXPECT_TRUE(window.QuitAtStart());
    EXPECT_FALSE(window.connDB.Connected());
    EXPECT_FALSE(window.rsContacts.Active());
    window.show();
    QCoreApplication::processEvents();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(window.safety->BackupsFolder().isEmpty());
    EXPECT_EQ(QDir(db.Folder()).entryList(QDir::Files), files);
    EXPECT_EQ(DatabaseFiles::Digest(db.Path()), digest);
}

TEST(MainWindowOnAServer, TheOptionsOfferedCanSwitchBackToThisComputer) {
    TempSettings settings;
    TempDatabase db(3);
    ChooseClosedServer();
    ModalAnswer<QMessageBox> answer([](QMessageBox &box) { Click(box, "&Options ..."); });
    bool onDatabasePageOnly = false;
    ModalAnswer<TfrmOptions> options([&](TfrmOptions &dialog) {
        onDatabasePageOnly = dialog.PageControl1->currentWidget() == dialog.tabDatabase &&
                             !dialog.tabDefaults->isEnabled();
        dialog.tabDatabase->rdoFile->click();
        dialog.btnOK->click();
    });
    QStringList reported;
    TfrmMain window(db.Folder(), Into(reported));
    EXPECT_TRUE(options.Answered());
    EXPECT_TRUE(onDatabasePageOnly);
    EXPECT_TRUE(reported.isEmpty()) << reported.join("; ").toStdString();
    EXPECT_FALSE(window.QuitAtStart());
    EXPECT_FALSE(DatabaseSettings::Read().OnServer());
    EXPECT_EQ(window.rsContacts.FieldNamed("ContactID")->IntegerValue(), 1);
    // The file chosen now is locked for the run, as at a start on it.
    EXPECT_TRUE(QFile::exists(StartupCheck::LockPath(db.Path())));
}

} // namespace
