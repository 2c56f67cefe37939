#pragma once

#include "data/DataTypes.h"

#include <QByteArray>
#include <QString>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

// One prepared statement. Failures of the engine are raised as
// EProviderError (see SqliteError). A statement that has stepped holds a read
// transaction on its handle until it is reset, so every user resets it as
// soon as it has what it needs (Scope does that on leaving a block).
class SqliteStatement {
public:
    // Prepares the one statement `sql`.
    SqliteStatement(sqlite3 *db, const QString &sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    // Prepares the statement that starts at `*offset` in `sql` (UTF-8) and
    // moves `*offset` past it. Null when only blanks or comments were left.
    static std::unique_ptr<SqliteStatement> PrepareNext(sqlite3 *db, const QByteArray &sql,
                                                        int *offset);

    // Binds a value to the parameter at `position` (from 1). Integers bind
    // as integers, reals and date-time values as reals, texts as texts,
    // byte arrays as blobs, an invalid value as null.
    void Bind(int position, const TValue &value);
    // Runs to the next row: true when there is one, false when done.
    bool Step();
    // Runs to the end, for statements without result rows.
    void Run();
    // Ends the run (releasing its read transaction) and clears the bindings.
    void Reset();

    int ColumnCount() const;
    // The value of a column of the current row; an invalid value for null.
    TValue Column(int index) const;
    qint64 Int64(int index) const;
    // The storage class of a column of the current row (SQLITE_INTEGER, ...).
    int StorageClass(int index) const;

    sqlite3_stmt *Handle() const { return stmt_; }
    sqlite3 *Db() const { return db_; }
    QString Sql() const;

    // Resets the statement when the block that uses it is left.
    class Scope {
    public:
        explicit Scope(SqliteStatement &statement) : statement_(statement) {}
        ~Scope() { statement_.Reset(); }
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        SqliteStatement &statement_;
    };

private:
    SqliteStatement(sqlite3 *db, sqlite3_stmt *stmt) : db_(db), stmt_(stmt) {}

    sqlite3 *db_;
    sqlite3_stmt *stmt_ = nullptr;
};
