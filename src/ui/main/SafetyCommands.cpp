#include "ui/main/SafetyCommands.h"

#include "data/DatabaseErrors.h"
#include "data/DateTimeValue.h"
#include "data/Field.h"
#include "reports/QRpt.h"
#include "ui/controls/TErrorBox.h"
#include "ui/main/ContactLists.h"
#include "ui/main/DatabaseChoice.h"
#include "ui/main/TaskProgress.h"
#include "ui/main/frmMain.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QStandardPaths>

namespace {
constexpr int kDailyCheckMs = 60 * 60 * 1000;

QString Native(const QString &path) {
    return QDir::toNativeSeparators(path);
}

// Whether the path `a` names the database file `b`; never so when there is
// no file (a database on a server).
bool SameFile(const QString &a, const QString &b) {
    return !b.isEmpty() && QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}
} // namespace

SafetyCommands::SafetyCommands(TfrmMain &window, QMenu &tools)
    : window_(window), deleted_(window.connDB) {
    tools.addSeparator()->setObjectName(QStringLiteral("N5"));
    mniBackUp = tools.addAction(QStringLiteral("&Back Up Database ..."));
    mniBackUp->setObjectName(QStringLiteral("mniBackUp"));
    mniRestore = tools.addAction(QStringLiteral("&Restore Backup ..."));
    mniRestore->setObjectName(QStringLiteral("mniRestore"));
    mniUndoDelete = tools.addAction(QStringLiteral("U&ndo Delete"));
    mniUndoDelete->setObjectName(QStringLiteral("mniUndoDelete"));
    auto guarded = [this](QAction *action, void (SafetyCommands::*handler)()) {
        QObject::connect(action, &QAction::triggered, &window_, [this, handler] {
            TErrorBox::Guard([this, handler] { (this->*handler)(); });
        });
    };
    guarded(mniBackUp, &SafetyCommands::BackUpDatabase);
    guarded(mniRestore, &SafetyCommands::RestoreBackup);
    guarded(mniUndoDelete, &SafetyCommands::UndoDelete);
    // Undo is offered while a deleted contact is kept, and on a database
    // too old to keep them, where it says how to bring it up to date.
    QObject::connect(&tools, &QMenu::aboutToShow, &window_, [this] {
        bool offered = false;
        try {
            offered = window_.connDB.Connected() && (!deleted_.Available() || deleted_.CanUndo());
        } catch (const EError &) {
        }
        mniUndoDelete->setEnabled(offered);
    });
    QObject::connect(&automaticPoll_, &QTimer::timeout, &window_, [this] {
        if (automatic_ && automatic_->Done())
            AutomaticBackupEnded();
    });
    automaticPoll_.setInterval(200);
    // A program left running for days still makes its daily backup.
    QObject::connect(&daily_, &QTimer::timeout, &window_, [this] { StartAutomaticBackup(); });
    daily_.start(kDailyCheckMs);
}

SafetyCommands::~SafetyCommands() {
    if (automatic_)
        automatic_->Wait();
}

QDateTime SafetyCommands::Now() const {
    return clock ? clock() : QDateTime::currentDateTime();
}

void SafetyCommands::SettleEditor() {
    // A pending edit is saved first, as moving to another contact does.
    if (window_.rsContacts.Active())
        window_.rsContacts.EnsureBrowse();
}

QString SafetyCommands::DatabasePath() const {
    // A server's data source is no path: there is no file to keep backups
    // beside, and the engine itself refuses to copy or restore.
    if (!DatabaseChoice::NamesFile(window_.connDB.ConnectionString()))
        return QString();
    return window_.connDB.DataSource().trimmed();
}

QString SafetyCommands::BackupsFolder() const {
    const QString database = DatabasePath();
    if (database.isEmpty())
        return QString();
    return BackupFolder::Choose(database,
                                QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

void SafetyCommands::Show(const QString &text) {
    if (tell)
        tell(text);
    else
        QMessageBox::information(window_.isVisible() ? &window_ : nullptr,
                                 TErrorBox::ApplicationTitle(), text);
}

bool SafetyCommands::Ask(const QString &text) {
    if (ask)
        return ask(text);
    return QMessageBox::question(&window_, TErrorBox::ApplicationTitle(), text) == QMessageBox::Yes;
}

QString SafetyCommands::RunTask(const QString &caption, TBackgroundTask::TWork work,
                                bool cancellable) {
    if (runTask)
        return runTask(caption, std::move(work), cancellable);
    return TaskProgress::Run(&window_, caption, std::move(work), cancellable);
}

void SafetyCommands::DeleteContact(const std::function<void()> &erase) {
    TTableCursor &contacts = window_.rsContacts;
    // A new row not yet stored, an empty or closed cursor: nothing stored
    // to keep, and the cursor's Delete does (or refuses) what it always does.
    const TField *key = contacts.Active() && contacts.State() != stInsert && !contacts.IsEmpty()
                            ? contacts.FindField(QStringLiteral("ContactID"))
                            : nullptr;
    if (!key || key->IsNull() || !deleted_.Available()) {
        erase();
        return;
    }
    TDBWriteTransaction transaction(window_.connDB);
    deleted_.Keep(key->TextValue().toLongLong(), DateTimeValue::FromDateTime(Now()));
    erase();
    transaction.Commit();
}

void SafetyCommands::UndoDelete() {
    SettleEditor();
    const std::optional<DeletedContacts::Restored> restored = deleted_.UndoLatest();
    if (!restored) {
        Show(QStringLiteral("There is no deleted contact to restore."));
        return;
    }
    window_.ReadContactsAgain(restored->key);
    if (restored->key != restored->originalKey)
        Show(QStringLiteral("The contact \"%1\" is restored under the number %2: its own number "
                            "%3 belongs to another contact now.")
                 .arg(restored->companyName)
                 .arg(restored->key)
                 .arg(restored->originalKey));
}

void SafetyCommands::BackUpDatabase() {
    SettleEditor();
    const QDateTime now = Now();
    const QString suggested =
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
        QStringLiteral("/Corvana backup %1.mdb").arg(now.toString(QStringLiteral("yyyy-MM-dd")));
    QString path = chooseBackupFile
                       ? chooseBackupFile(suggested)
                       : QFileDialog::getSaveFileName(
                             &window_, QStringLiteral("Back Up Database"), suggested,
                             QStringLiteral("Corvana databases (*.mdb);;All files (*)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".mdb");
    if (SameFile(path, DatabasePath()))
        throw EProviderError(QStringLiteral("A backup cannot take the place of the database "
                                            "itself; choose another file."));
    std::shared_ptr<TDBCopy> copy = window_.connDB.CopyTo(path);
    const QString error = RunTask(QStringLiteral("Backing up the database ..."),
                                  TBackgroundTask::CopyWork(copy), true);
    if (!error.isEmpty())
        throw EProviderError(error);
    Show(QStringLiteral("The database is backed up to '%1'.").arg(Native(path)));
}

void SafetyCommands::RestoreBackup() {
    SettleEditor();
    const QString database = DatabasePath();
    const QString folder = BackupsFolder();
    const QString path = chooseRestoreFile
                             ? chooseRestoreFile(folder)
                             : QFileDialog::getOpenFileName(
                                   &window_, QStringLiteral("Restore Backup"), folder,
                                   QStringLiteral("Corvana databases (*.mdb);;All files (*)"));
    if (path.isEmpty())
        return;
    if (SameFile(path, database))
        throw EProviderError(QStringLiteral("This is the database itself, not a backup of it."));
    QString problem;
    TDBConnection &connection = window_.connDB;
    QString error = RunTask(
        QStringLiteral("Checking the backup ..."),
        [&connection, &problem, path](TBackgroundTask::Control &control) {
            problem = connection.CheckCopy(path, false, &control.cancelled);
        },
        true);
    if (problem == QLatin1String("The check was cancelled."))
        return;
    if (error.isEmpty())
        error = problem;
    if (!error.isEmpty())
        throw EProviderError(
            QStringLiteral("The backup cannot be restored; nothing was changed. %1").arg(error));
    if (folder.isEmpty())
        throw EProviderError(QStringLiteral(
            "The database cannot be kept as a backup first: no folder for backups can be "
            "written. Nothing was changed."));
    const BackupFolder backups(database, folder);
    const QString kept = backups.NewPath(Now(), BackupFolder::Kind::BeforeRestore);
    if (!Ask(QStringLiteral("Replace the contacts database with the backup '%1'?\n\nThe "
                            "database as it is now is kept as the backup '%2' first.")
                 .arg(Native(path), Native(kept))))
        return;
    std::shared_ptr<TDBCopy> copy = connection.CopyTo(kept);
    error = RunTask(QStringLiteral("Keeping the database as a backup ..."),
                    TBackgroundTask::CopyWork(copy), true);
    if (!error.isEmpty())
        throw EProviderError(QStringLiteral("The database could not be kept as a backup, so "
                                            "the backup was not restored. %1")
                                 .arg(error));
    CloseCursors();
    error = RunTask(
        QStringLiteral("Restoring the backup ..."),
        [&connection, path](TBackgroundTask::Control &) { connection.RestoreFrom(path); }, false);
    ReopenCursors();
    if (!error.isEmpty())
        throw EProviderError(
            QStringLiteral("The backup could not be restored; the database is as it was. %1")
                .arg(error));
    Show(QStringLiteral("The backup '%1' is restored. The database as it was before is kept as "
                        "'%2'.")
             .arg(Native(path), Native(kept)));
}

void SafetyCommands::CloseCursors() {
    // The report forms hold queries of their own on the connection.
    window_.reportForms.clear();
    for (TRecordCursor *cursor : std::initializer_list<TRecordCursor *>{
             &window_.rsContacts, &window_.qrySearch, &window_.qryCallBack, &window_.qryCountries,
             &window_.rsStatus, &window_.qryExportContacts})
        cursor->Close();
}

void SafetyCommands::ReopenCursors() {
    // A connection made afresh forgets what it knew of the old content.
    window_.connDB.Close();
    window_.connDB.Open();
    deleted_.Forget();
    window_.rsContacts.Open();
    window_.qryCountries.Open();
    window_.rsStatus.Open();
    window_.qrySearch.Open();
    window_.LoadCallbacks();
}

bool SafetyCommands::StartAutomaticBackup() {
    if (automatic_ || !window_.connDB.Connected())
        return false;
    // A database on a server is backed up by its server, not by the program.
    if (DatabasePath().isEmpty())
        return false;
    const QString folder = BackupsFolder();
    if (folder.isEmpty()) {
        ReportAutomaticFailure(QStringLiteral(
            "no folder for backups can be written, neither beside the database nor in your "
            "own data folder."));
        return false;
    }
    const BackupFolder backups(DatabasePath(), folder);
    const QDateTime now = Now();
    if (!backups.Due(now))
        return false;
    try {
        std::shared_ptr<TDBCopy> copy = window_.connDB.CopyTo(backups.NewPath(now));
        automatic_ = std::make_unique<TBackgroundTask>(TBackgroundTask::CopyWork(copy));
    } catch (const EError &error) {
        ReportAutomaticFailure(error.Message());
        return false;
    }
    automaticPoll_.start();
    return true;
}

void SafetyCommands::WaitForAutomaticBackup() {
    if (!automatic_)
        return;
    automatic_->Wait();
    AutomaticBackupEnded();
}

void SafetyCommands::AutomaticBackupEnded() {
    automaticPoll_.stop();
    const QString error = automatic_->Error();
    automatic_.reset();
    if (!error.isEmpty()) {
        ReportAutomaticFailure(error);
        return;
    }
    const QString folder = BackupsFolder();
    if (!folder.isEmpty())
        BackupFolder(DatabasePath(), folder).Prune(Now());
}

void SafetyCommands::ReportAutomaticFailure(const QString &reason) {
    // Said once: a program that runs on does not repeat it every hour.
    if (failureTold_)
        return;
    failureTold_ = true;
    Show(QStringLiteral("The automatic backup of the database could not be made: %1\n\nYour "
                        "contacts are unchanged; the backup is tried again later.")
             .arg(reason));
}

void SafetyCommands::AtClose() {
    daily_.stop();
    if (!window_.connDB.Connected())
        return;
    if (automatic_ || StartAutomaticBackup()) {
        // The window goes at once; the program ends when the copy is made.
        window_.hide();
        WaitForAutomaticBackup();
    }
    // The lists may still be reading; what they hold is folded in when the
    // last handle closes at the end of the program.
    window_.connDB.CloseLog();
}
