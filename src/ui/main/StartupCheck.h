#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>

class QLockFile;

// The start of a run of the program on a database: while the run lasts it
// holds a lock file beside the database ("<database>.lock"), which a clean
// end removes. Finding the lock of a run that is no longer alive means that
// run did not close cleanly (a crash, a kill, a power cut); then Run makes a
// quick check of the database, and a damaged database gives a message
// offering to put the newest sound backup in its place (the damaged file is
// kept in the backups folder). A lock held by a run still going (a second
// window on the same database) is left to it, and nothing is checked. The
// database is the one chosen for the start (DatabaseChoice); for one on a
// server there is neither lock nor check, and Run skips.
class StartupCheck {
public:
    enum class Outcome { Skipped, Sound, NoBackup, Declined, Restored };

    // `databaseFolder` ends in a path delimiter, as for the connection.
    explicit StartupCheck(const QString &databaseFolder);
    ~StartupCheck();
    StartupCheck(const StartupCheck &) = delete;
    StartupCheck &operator=(const StartupCheck &) = delete;

    // Replaceable by tests: a question (true: yes), a message, the clock.
    std::function<bool(const QString &text)> ask;
    std::function<void(const QString &text)> tell;
    std::function<QDateTime()> clock;

    bool LastRunEndedUncleanly() const { return unclean_; }
    Outcome Run();
    // What the check found; empty when the database is sound.
    const QString &Problems() const { return problems_; }

    static QString LockPath(const QString &databasePath);

private:
    QString connectionString_;
    QString databasePath_;
    std::unique_ptr<QLockFile> lock_;
    bool unclean_ = false;
    QString problems_;
};
