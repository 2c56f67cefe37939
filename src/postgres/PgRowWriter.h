#pragma once

#include "data/DataTypes.h"
#include "postgres/PgTableColumns.h"

#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

class PgConnection;

// Writes single rows of one stored table on a session.
//
// Each call is one statement. Outside a transaction the server commits it
// on its own, so every write is one committed transaction; while the
// session is inside a transaction (PgConnection::InTransaction, opened by
// the connection's BeginWrite) the write belongs to that transaction and
// commits or rolls back with it. A statement that fails inside such a
// transaction leaves it failed, for the one who opened it to roll back.
// Transaction covers several writes that must go together.
//
// Updates and deletes name the row by its key column and act only while
// every expected column still holds the value the caller read (IS NOT
// DISTINCT FROM, so a null expects a null), so a row another program
// changed or deleted meanwhile is never overwritten. Failures, all
// EProviderError:
// - the row still exists but holds other values: EConflictError "The row
//   was changed by another program since it was read; nothing was saved."
//   (for a delete: "... nothing was deleted.");
// - the row is gone: "The row was deleted by another program since it was
//   read; nothing was saved." (or "... nothing was deleted.");
// - a text longer than its column's declared size, refused before anything
//   is written: "The value for field '<Column>' is too long: at most <n>
//   characters." (sizes count characters, as the server does); an update
//   of a row changed or deleted meanwhile reports that instead, as the file
//   engine does;
// - a text holding a NUL character, which the server cannot store, refused
//   before anything is sent;
// - the server's refusal (a constraint, a lost connection) with
//   PgConnection's text.
// Values name columns by their stored spelling; a name the table does not
// have is left to the server to refuse.
class PgRowWriter {
public:
    using Values = QVector<QPair<QString, TValue>>; // column name, value

    // `table` gives the stored name, the columns and their sizes; it is
    // referred to, not copied, and must outlive the writer.
    PgRowWriter(PgConnection &connection, const PgTableColumns::Table &table);

    // Inserts a row with the given values (none: all defaults) and returns
    // the stored row's values of the `returning` columns in their order, so
    // that values the server filled in (an identity key) are known.
    QVector<TValue> Insert(const Values &values, const QStringList &returning);
    // Sets the values of the row whose `keyColumn` equals `key`, checked
    // against `expected`; returns the stored row's `returning` columns.
    // Without values nothing is sent, nothing is checked and the result is
    // empty.
    QVector<TValue> Update(const QString &keyColumn, const TValue &key, const Values &values,
                           const Values &expected, const QStringList &returning = {});
    void Delete(const QString &keyColumn, const TValue &key, const Values &expected);

    // A name quoted for the server's SQL ("Contacts", with " doubled).
    static QString Quote(const QString &name);

    // Several writes as one transaction: BEGIN at construction unless the
    // session is already inside a transaction (then the writes simply
    // belong to that one and this object does nothing); ROLLBACK on
    // destruction unless committed.
    class Transaction {
    public:
        explicit Transaction(PgConnection &connection);
        ~Transaction();
        Transaction(const Transaction &) = delete;
        Transaction &operator=(const Transaction &) = delete;
        void Commit();

    private:
        PgConnection &connection_;
        bool own_ = false;
    };

private:
    void RefuseNul(const Values &values) const;
    // The refusal of the first text too long for its column, or empty.
    QString TooLong(const Values &values) const;
    TValue ForColumn(const QString &column, const TValue &value) const;
    QString WhereClause(const QString &keyColumn, const Values &expected,
                        QVector<TValue> &params) const;
    QString Returning(const QStringList &returning) const;
    [[noreturn]] void ThrowConflict(const QString &keyColumn, const TValue &key, bool deleting);

    PgConnection &connection_;
    const PgTableColumns::Table &table_;
};
