#pragma once

#include "data/BackgroundTask.h"
#include "safety/BackupFolder.h"
#include "safety/DeletedContacts.h"

#include <QDateTime>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

class QAction;
class QMenu;
class TfrmMain;

// Keeps the contacts safe: the Tools menu's "Back Up Database ...",
// "Restore Backup ..." and "Undo Delete"; the copy kept of every contact the
// editor deletes; the automatic backup, made at close and at most once a
// day (also while the program runs for days), into the backups folder with
// the surplus ones removed; and at close the database folded into one file.
// Backups are of the database file only: for a database on a server there
// is no automatic backup, and the menu's commands show the engine's refusal.
class SafetyCommands {
public:
    SafetyCommands(TfrmMain &window, QMenu &tools);
    ~SafetyCommands();

    QAction *mniBackUp = nullptr;
    QAction *mniRestore = nullptr;
    QAction *mniUndoDelete = nullptr;

    // Replaceable by tests: the file to back up to (empty: cancelled), the
    // backup to restore, a question (true: yes), a message, the clock and
    // the runner of long work (by default with a progress window).
    std::function<QString(const QString &suggested)> chooseBackupFile;
    std::function<QString(const QString &folder)> chooseRestoreFile;
    std::function<bool(const QString &text)> ask;
    std::function<void(const QString &text)> tell;
    std::function<QDateTime()> clock;
    std::function<QString(const QString &caption, TBackgroundTask::TWork work, bool cancellable)>
        runTask;

    void BackUpDatabase();
    void RestoreBackup();
    void UndoDelete();
    // Deletes the editor's contact through `erase` (the cursor's Delete),
    // keeping a copy of the stored row in the same transaction.
    void DeleteContact(const std::function<void()> &erase);
    // The window is closing: the automatic backup when one is due, then
    // the database's log folded in.
    void AtClose();
    // Starts the automatic backup in the background when one is due;
    // false when none was started.
    bool StartAutomaticBackup();
    // Waits for an automatic backup under way.
    void WaitForAutomaticBackup();

    // The backups folder of the open database (empty when none can be
    // written, no database is open or it is not a file).
    QString BackupsFolder() const;

private:
    void AutomaticBackupEnded();
    void ReportAutomaticFailure(const QString &reason);
    QString DatabasePath() const;
    QDateTime Now() const;
    void SettleEditor();
    void Show(const QString &text);
    bool Ask(const QString &text);
    QString RunTask(const QString &caption, TBackgroundTask::TWork work, bool cancellable);
    void CloseCursors();
    void ReopenCursors();

    TfrmMain &window_;
    DeletedContacts deleted_;
    std::unique_ptr<TBackgroundTask> automatic_;
    QTimer automaticPoll_;
    QTimer daily_;
    bool failureTold_ = false;
};
