// Keeping contacts safe as a user meets it: deleting and undoing through the
// editor's button and the Tools menu, also after the program was started
// again; backing up, changing, restoring and restoring back; backups that
// must be refused; and what closing the window leaves on the disk.

#include "safety/BackupFolder.h"
#include "sqlite/SqliteBackup.h"
#include "sqlite/SqliteEngine.h"
#include "support/DatabaseFiles.h"
#include "support/TempDatabase.h"
#include "support/TempHome.h"
#include "support/TempSettings.h"
#include "ui/controls/TDBEdit.h"
#include "ui/controls/TErrorBox.h"
#include "ui/main/ContactEditor.h"
#include "ui/main/ContactLists.h"
#include "ui/main/EditorCommands.h"
#include "ui/main/SafetyCommands.h"
#include "ui/main/frmMain.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTest>
#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

using DatabaseFiles::Copy;

class SafetyFlow : public ::testing::Test {
protected:
    explicit SafetyFlow(int contacts = 6) : db(contacts) {
        TErrorBox::ShowHook = [this](const QString &, const QString &text) { errors << text; };
        Open();
    }
    ~SafetyFlow() override {
        window.reset();
        TErrorBox::ShowHook = nullptr;
    }

    void Open() {
        window.reset();
        window = std::make_unique<TfrmMain>(db.Folder(),
                                            [this](std::exception_ptr) { errors << "failed"; });
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        SafetyCommands &safety = *window->safety;
        safety.tell = [this](const QString &text) { told << text; };
        safety.ask = [this](const QString &text) {
            asked << text;
            return answerYes;
        };
        safety.clock = [this] { return now; };
        safety.chooseBackupFile = [this](const QString &) { return backupFile; };
        safety.chooseRestoreFile = [this](const QString &) { return restoreFile; };
    }
    void Close() {
        window->close();
        window.reset();
    }
    qint64 CurrentId() const {
        return window->rsContacts.FieldNamed("ContactID")->TextValue().toLongLong();
    }
    QStringList Contacts() const {
        return db.Rows("SELECT ContactID, CompanyName FROM Contacts ORDER BY ContactID");
    }
    // Whether the Tools menu offers Undo Delete when it opens.
    bool UndoOffered() {
        QMenu *tools = window->MainMenu1->actions().at(1)->menu();
        emit tools->aboutToShow();
        return window->safety->mniUndoDelete->isEnabled();
    }
    QString Backups() const { return db.Folder() + QStringLiteral("backups"); }

    TempSettings settings;
    TempHome home;
    TempDatabase db;
    std::unique_ptr<TfrmMain> window;
    QStringList errors;
    QStringList told;
    QStringList asked;
    bool answerYes = true;
    QDateTime now{QDate(2026, 12, 9), QTime(17, 0)};
    QString backupFile;
    QString restoreFile;
};

TEST_F(SafetyFlow, RandomDeletesUndosEditsAndRestartsFollowTheModel) {
    // The model: the stored companies by key, and the deleted ones in the
    // order they were deleted.
    std::map<qint64, QString> stored;
    for (const QString &row : Contacts())
        stored[row.section('|', 0, 0).toLongLong()] = row.section('|', 1);
    std::vector<std::pair<qint64, QString>> deleted;
    QRandomGenerator random(1919);
    int undone = 0;
    int restarts = 0;
    for (int step = 0; step < 70; ++step) {
        const int op = random.bounded(10);
        std::string what;
        if (op < 4 && !stored.empty()) {
            // Delete a contact, sometimes with an edit of it under way: the
            // kept copy is the stored row, not the edit.
            auto it = stored.begin();
            std::advance(it, random.bounded(int(stored.size())));
            const qint64 id = it->first;
            ASSERT_TRUE(window->rsContacts.Locate("ContactID", id));
            if (random.bounded(2)) {
                window->rsContacts.Edit();
                window->rsContacts.FieldNamed("CompanyName")->SetTextValue("Never stored");
            }
            window->commands->btnDelete->click();
            deleted.emplace_back(id, it->second);
            stored.erase(it);
            what = "delete " + std::to_string(id);
            if (!stored.empty()) {
                EXPECT_NE(CurrentId(), id) << what;
            }
        } else if (op < 7) {
            what = "undo";
            if (deleted.empty()) {
                // The menu offers nothing; asked all the same, it says so.
                EXPECT_FALSE(UndoOffered());
                window->safety->UndoDelete();
                ASSERT_FALSE(told.isEmpty());
                EXPECT_EQ(told.takeLast(), "There is no deleted contact to restore.");
            } else {
                window->safety->mniUndoDelete->trigger();
                const auto [id, company] = deleted.back();
                deleted.pop_back();
                stored[id] = company;
                ++undone;
                // The editor stands on the contact brought back.
                EXPECT_EQ(CurrentId(), id) << what;
                EXPECT_EQ(window->editor->txtCompany->text(), company) << what;
            }
        } else if (op < 9) {
            // A new contact, or a change to a stored one, saved.
            const QString company = QStringLiteral("Step %1 Ltd").arg(step);
            if (op == 7 || stored.empty()) {
                window->commands->btnNew->click();
                window->rsContacts.FieldNamed("CompanyName")->SetTextValue(company);
                window->commands->btnSave->click();
                what = "new";
            } else {
                auto it = stored.begin();
                std::advance(it, random.bounded(int(stored.size())));
                ASSERT_TRUE(window->rsContacts.Locate("ContactID", it->first));
                window->rsContacts.Edit();
                window->rsContacts.FieldNamed("CompanyName")->SetTextValue(company);
                window->commands->btnSave->click();
                what = "edit";
            }
            stored[CurrentId()] = company;
        } else {
            // The program closed and started again: the deleted contacts
            // are still there to undo.
            Close();
            Open();
            ++restarts;
            what = "restart";
        }
        ASSERT_TRUE(errors.isEmpty()) << what << ": " << errors.join(" | ").toStdString();
        QStringList expected;
        for (const auto &[id, company] : stored)
            expected << QStringLiteral("%1|%2").arg(id).arg(company);
        ASSERT_EQ(Contacts(), expected) << "step " << step << ": " << what;
        QStringList kept;
        for (const auto &[id, company] : deleted)
            kept << QStringLiteral("%1|%2").arg(id).arg(company);
        ASSERT_EQ(db.Rows("SELECT ContactID, CompanyName FROM DeletedContacts ORDER BY "
                          "DeletionID"),
                  kept)
            << "step " << step << ": " << what;
        ASSERT_EQ(UndoOffered(), !deleted.empty()) << "step " << step;
    }
    EXPECT_GT(undone, 5);
    EXPECT_GT(restarts, 2);
}

TEST_F(SafetyFlow, BackUpChangeRestoreAndRestoreBack) {
    const QStringList original = Contacts();
    const QString secondCompany = db.ContactText("CompanyName", 2);
    backupFile = home.Path() + QStringLiteral("/mine");
    window->safety->mniBackUp->trigger();
    backupFile += QStringLiteral(".mdb");
    ASSERT_EQ(told.size(), 1) << errors.join(" | ").toStdString();
    EXPECT_TRUE(told.takeLast().contains(QStringLiteral("is backed up to")));
    EXPECT_EQ(SqliteBackup::Unsound(backupFile, SqliteEngine::kApplicationId), QString());

    // Changes after the backup: an edit, a deletion and a new contact.
    window->rsContacts.Edit();
    window->rsContacts.FieldNamed("CompanyName")->SetTextValue("Changed Ltd");
    window->commands->btnSave->click();
    ASSERT_TRUE(window->rsContacts.Locate("ContactID", 2));
    window->commands->btnDelete->click();
    window->commands->btnNew->click();
    window->rsContacts.FieldNamed("CompanyName")->SetTextValue("Added Co");
    const QStringList changed = [&] {
        window->commands->btnSave->click();
        return Contacts();
    }();
    ASSERT_NE(changed, original);

    // A pending edit is saved before the database is kept aside.
    window->rsContacts.Edit();
    window->rsContacts.FieldNamed("City")->SetTextValue("Pending Town");
    restoreFile = backupFile;
    window->safety->mniRestore->trigger();
    ASSERT_TRUE(errors.isEmpty()) << errors.join(" | ").toStdString();
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(Contacts(), original);
    // Every cursor shows the restored database again.
    EXPECT_EQ(window->rsContacts.State(), stBrowse);
    EXPECT_EQ(CurrentId(), 1);
    EXPECT_EQ(window->editor->txtCompany->text(), original.front().section('|', 1));
    EXPECT_TRUE(window->qrySearch.Active());
    EXPECT_TRUE(window->qryCallBack.Active());
    EXPECT_TRUE(window->qryCountries.Active());
    EXPECT_TRUE(window->rsStatus.Active());
    int listed = 0;
    for (window->qrySearch.First(); !window->qrySearch.Eof(); window->qrySearch.Next())
        ++listed;
    EXPECT_EQ(listed, original.size());
    EXPECT_FALSE(UndoOffered());

    // The database as it was is kept, with the pending edit and the deletion.
    const QList<BackupFolder::Entry> kept = BackupFolder(db.Path(), Backups()).List();
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(kept.front().kind, BackupFolder::Kind::BeforeRestore);
    EXPECT_TRUE(asked.front().contains(QDir::toNativeSeparators(kept.front().path)));
    QStringList keptRows = TempDatabase::RowsOf(
        kept.front().path, "SELECT ContactID, CompanyName FROM Contacts ORDER BY ContactID");
    EXPECT_EQ(keptRows, changed);
    EXPECT_EQ(TempDatabase::RowsOf(kept.front().path, "SELECT count(*) FROM Contacts WHERE City "
                                                      "= 'Pending Town'"),
              QStringList{"1"});

    // Restoring that copy brings the changes back, and the deletion made
    // before can be undone again.
    restoreFile = kept.front().path;
    window->safety->mniRestore->trigger();
    ASSERT_TRUE(errors.isEmpty()) << errors.join(" | ").toStdString();
    EXPECT_EQ(Contacts(), changed);
    ASSERT_TRUE(UndoOffered());
    window->safety->mniUndoDelete->trigger();
    EXPECT_EQ(CurrentId(), 2);
    EXPECT_EQ(window->editor->txtCompany->text(), secondCompany);
}

class SafetyRefusals : public SafetyFlow {
protected:
    SafetyRefusals() : SafetyFlow(3000) {}
};

TEST_F(SafetyRefusals, ADamagedForeignOrDeclinedBackupChangesNothing) {
    const QString sound = home.Path() + QStringLiteral("/sound.mdb");
    Copy(db.Path(), sound);
    const QString damaged = home.Path() + QStringLiteral("/damaged.mdb");
    ASSERT_TRUE(QFile::copy(sound, damaged));
    DatabaseFiles::DamageMiddlePage(damaged, '\x33');
    const QString foreign = home.Path() + QStringLiteral("/letter.mdb");
    {
        QFile file(foreign);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("Dear customer,\n");
    }
    window->rsContacts.Edit();
    window->rsContacts.FieldNamed("CompanyName")->SetTextValue("After The Backup");
    window->commands->btnSave->click();
    const QStringList before = Contacts();
    for (const QString &file : {damaged, foreign, db.Path()}) {
        restoreFile = file;
        window->safety->mniRestore->trigger();
        ASSERT_EQ(errors.size(), 1) << file.toStdString();
        EXPECT_TRUE(errors.front().contains(file == db.Path() ? QStringLiteral("not a backup")
                                                              : QStringLiteral("nothing was "
                                                                               "changed")))
            << errors.front().toStdString();
        errors.clear();
    }
    // A sound backup the user then declines.
    answerYes = false;
    restoreFile = sound;
    window->safety->mniRestore->trigger();
    EXPECT_EQ(asked.size(), 1);
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_EQ(Contacts(), before);
    EXPECT_EQ(window->editor->txtCompany->text(), "After The Backup");
    EXPECT_TRUE(BackupFolder(db.Path(), Backups()).List().isEmpty());
}

TEST_F(SafetyFlow, ClosingMakesOneBackupADayKeepsElevenAndLeavesOneFile) {
    const QDateTime first = now;
    for (int day = 0; day < 37; ++day) {
        now = first.addDays(day);
        // Some days twice: only the first close of the day makes a backup.
        for (int time = 0; time < (day % 5 == 0 ? 2 : 1); ++time) {
            if (!window)
                Open();
            window->rsContacts.Edit();
            window->rsContacts.FieldNamed("Note")->SetTextValue(QStringLiteral("day %1").arg(day));
            window->commands->btnSave->click();
            now = now.addSecs(3600);
            Close();
            ASSERT_TRUE(errors.isEmpty()) << errors.join(" | ").toStdString();
            ASSERT_TRUE(told.isEmpty()) << told.join(" | ").toStdString();
        }
        const QList<BackupFolder::Entry> backups = BackupFolder(db.Path(), Backups()).List();
        ASSERT_FALSE(backups.isEmpty());
        EXPECT_EQ(backups.front().made.date(), now.date());
        EXPECT_EQ(TempDatabase::RowsOf(backups.front().path,
                                       "SELECT Note FROM Contacts WHERE ContactID = 1"),
                  QStringList{QStringLiteral("day %1").arg(day)});
        EXPECT_LE(backups.size(), 11);
        // Closed, the database is one file beside its backups folder.
        EXPECT_EQ(QDir(db.Folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  (QStringList{"_db.mdb", "backups"}));
    }
    EXPECT_EQ(BackupFolder(db.Path(), Backups()).List().size(), 11);
}

TEST_F(SafetyFlow, AnAutomaticBackupThatCannotBeMadeSaysSoOnce) {
    // Neither the folder beside the database nor the user's own can hold
    // backups: a file stands where each folder would be.
    window.reset();
    for (const QString &blocked :
         {Backups(), QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
                         QStringLiteral("/backups")}) {
        QDir().mkpath(QFileInfo(blocked).absolutePath());
        QFile file(blocked);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << blocked.toStdString();
    }
    Open();
    EXPECT_FALSE(window->safety->StartAutomaticBackup());
    EXPECT_FALSE(window->safety->StartAutomaticBackup());
    Close();
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told.front().contains(QStringLiteral("automatic backup")));
    EXPECT_TRUE(errors.isEmpty());
    // The contacts are there, and the database is one file all the same.
    EXPECT_EQ(db.ContactCount(), 6);
    EXPECT_FALSE(QFile::exists(db.Path() + QStringLiteral("-wal")));
}

} // namespace
