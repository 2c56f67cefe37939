#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

class TDBConnection;

// The contacts the user deleted, kept in the table DeletedContacts with the
// time of deletion, so that a deletion can be undone, also after a restart.
//
// Keep runs inside the caller's write transaction, before the contact's row
// is deleted, so that the kept copy and the deletion are stored together or
// not at all. UndoLatest puts the most recently deleted contact back under
// its own ContactID (a new one only when another contact has taken it) and
// removes it from the table, in one transaction of its own.
//
// A database made before the table existed has no DeletedContacts: Keep
// then keeps nothing (the deletion goes ahead as before), CanUndo is false
// and UndoLatest says which command brings the database up to date.
class DeletedContacts {
public:
    struct Restored {
        qint64 key = 0;         // the ContactID it is stored under now
        qint64 originalKey = 0; // the ContactID it had when it was deleted
        QString companyName;
    };

    explicit DeletedContacts(TDBConnection &connection);

    bool Available();
    // Looks for the table again at the next use (after a restore).
    void Forget() { available_.reset(); }
    void Keep(qint64 contactId, double deletedAt);
    bool CanUndo();
    int Count();
    std::optional<Restored> UndoLatest();

    // The columns of Contacts that are kept, in table order.
    static const char *const kColumns[];

private:
    TDBConnection &connection_;
    std::optional<bool> available_;
};
