#pragma once

// Helpers shared by the engine tests: small database files made directly
// with the engine's C API, and the text of an expected failure.

#include "data/DatabaseErrors.h"
#include "sqlite/SqliteEngine.h"

#include <QFile>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <sqlite3.h>
#include <string>

// Readable texts in the failure messages of this file's users.
static inline void PrintTo(const QString &text, std::ostream *out) {
    *out << '"' << text.toStdString() << '"';
}

namespace sqlite_test {

// The message of the EError an action raises, or "no error".
template <class F> std::string ErrorOf(F action) {
    try {
        action();
    } catch (const EError &e) {
        return e.Message().toStdString();
    }
    return "no error";
}

// A raw engine connection, as another program sharing the file would hold.
class RawHandle {
public:
    explicit RawHandle(const QString &path, bool create = false) {
        const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db_, flags, nullptr) != SQLITE_OK)
            ADD_FAILURE() << "cannot open " << path.toStdString();
        sqlite3_busy_timeout(db_, 5000);
    }
    ~RawHandle() { sqlite3_close_v2(db_); }
    RawHandle(const RawHandle &) = delete;
    RawHandle &operator=(const RawHandle &) = delete;

    sqlite3 *Db() const { return db_; }
    // Runs SQL; the engine's result code (failures are the caller's to check).
    int Exec(const QString &sql) const {
        return sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    }
    void MustExec(const QString &sql) const {
        char *message = nullptr;
        if (sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK)
            ADD_FAILURE() << sql.toStdString() << ": " << (message ? message : "?");
        sqlite3_free(message);
    }
    qint64 Integer(const QString &sql) const {
        sqlite3_stmt *statement = nullptr;
        qint64 value = -1;
        if (sqlite3_prepare_v2(db_, sql.toUtf8().constData(), -1, &statement, nullptr) ==
                SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW)
            value = sqlite3_column_int64(statement, 0);
        sqlite3_finalize(statement);
        return value;
    }

private:
    sqlite3 *db_ = nullptr;
};

// Creates a database file of the program (with its application id) holding
// the tables `sql` makes.
inline void MakeDatabase(const QString &path, const QString &sql, bool wal = true) {
    RawHandle handle(path, true);
    handle.MustExec(QStringLiteral("PRAGMA application_id = %1").arg(SqliteEngine::kApplicationId));
    if (wal)
        handle.MustExec(QStringLiteral("PRAGMA journal_mode = WAL"));
    handle.MustExec(sql);
}

inline std::unique_ptr<SqliteEngine> Connected(const QString &path) {
    auto engine = std::make_unique<SqliteEngine>();
    engine->Connect(path, QStringLiteral("Share Deny None"));
    return engine;
}

inline TRowSourceRequest TableRequest(const QString &table, const QString &index = QString(),
                                      TLockType lock = ltOptimistic) {
    TRowSourceRequest request;
    request.isTable = true;
    request.command = table;
    request.indexName = index;
    request.location = clUseServer;
    request.lockType = lock;
    return request;
}

inline TRowSourceRequest QueryRequest(const QString &sql, TLockType lock = ltOptimistic) {
    TRowSourceRequest request;
    request.command = sql;
    request.cursorType = ctStatic;
    request.lockType = lock;
    return request;
}

// The values of one column over all rows, from first to last.
inline QStringList ColumnTexts(TRowSource &source, int column) {
    QStringList texts;
    for (source.MoveFirst(); !source.SourceEOF(); source.MoveNext()) {
        const TValue value = source.Value(column);
        texts << (ValueIsNull(value) ? QStringLiteral("NULL") : value.toString());
    }
    return texts;
}

} // namespace sqlite_test
