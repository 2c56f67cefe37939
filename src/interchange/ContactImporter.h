#pragma once

#include "interchange/ContactFile.h"

#include <QHash>
#include <QList>
#include <QString>
#include <functional>

class TDBConnection;
class TDBStatement;

// Brings the contacts of a file into the database.
//
// A row is a likely duplicate of a stored contact when its e-mail (letter
// case and outer blanks ignored), its phone or mobile (separators ignored,
// against the stored phone and mobile alike), or its company and person
// together (letter case and blanks ignored) match. Every look-up goes
// through an index of the database; nothing scans the table per row.
//
// Count reads the whole file without writing, so a malformed file is
// refused before anything is stored. Import stores the file in one
// transaction: a failure or a cancel leaves the database as it was. Each
// import is recorded (Imports, ImportFills) so that UndoLast can remove the
// contacts it added and give the fields it filled back their earlier value.
class ContactImporter {
public:
    enum DuplicateChoice { SkipDuplicates, ImportDuplicates, FillEmptyFields };

    // The values of a new contact where the file has none: the call-back
    // and last-call times (date-time values), the country and the status.
    struct Defaults {
        double now = 0;
        int countryId = 1;
        int statusId = 1;
    };

    struct Counts {
        qint64 rows = 0;
        qint64 fresh = 0;      // match no stored contact
        qint64 duplicates = 0; // match a stored contact
        bool complete = true;  // false: cancelled before the end of the file
    };

    struct Result {
        qint64 added = 0;
        qint64 filled = 0; // duplicates whose empty fields got the file's values
        qint64 skipped = 0;
        qint64 firstAdded = 0; // the key of the first contact added, 0 when none
        bool cancelled = false;
    };

    // Told how far the work has come (0 to 1000); returning false cancels.
    using Progress = std::function<bool(int permille)>;

    ContactImporter(TDBConnection &connection, Defaults defaults);
    ~ContactImporter();
    ContactImporter(const ContactImporter &) = delete;
    ContactImporter &operator=(const ContactImporter &) = delete;

    // EImportError when the database lacks the import record and the
    // duplicate check's indexes (a database of an earlier version), naming
    // the command that adds them.
    void CheckDatabase();

    Counts Count(ContactFile &file, const Progress &progress = {});
    Result Import(ContactFile &file, DuplicateChoice choice, const Progress &progress = {});

    struct Undone {
        qint64 removed = 0;
        qint64 restored = 0; // fields given back their earlier value
        bool any = false;    // false: there was no import to undo
    };
    // Undoes the most recent import not undone yet, in one transaction. A
    // field the user changed since the import keeps the user's value.
    static Undone UndoLast(TDBConnection &connection);
    // Whether an import is recorded that UndoLast would undo.
    static bool CanUndo(TDBConnection &connection);

    // The keys as the indexes hold them, for the tests.
    static QString EmailKey(const QString &email);
    static QString PhoneKey(const QString &phone);
    static QString NameKey(const QString &text);

private:
    struct Prepared;
    struct Pending;

    void LoadLookups();
    // The contact's values checked and completed; EImportError naming the
    // line for a value longer than its field.
    void Complete(ImportedContact &contact, int *countryId, int *statusId) const;
    qint64 FindDuplicate(const ImportedContact &contact);
    // Queues a new contact for the next batch, stored when the batch is full.
    void Insert(const ImportedContact &contact, int countryId, int statusId);
    // Whether a queued row shares a key with the contact.
    bool MayMatchPending(const ImportedContact &contact) const;
    // Stores the queued rows in one statement.
    void Flush();
    bool FillEmpty(qint64 importId, qint64 contactId, const ImportedContact &contact,
                   int countryId);

    TDBConnection &connection_;
    Defaults defaults_;
    std::unique_ptr<Prepared> prepared_;
    QList<Pending> pending_;
    qint64 firstAdded_ = 0;
    qint64 lastAdded_ = 0;
    QHash<QString, int> countries_; // folded name -> CountryID
    QHash<QString, int> statuses_;  // folded name -> StatusID
};
