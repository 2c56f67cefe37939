#pragma once

#include "postgres/PgResult.h"
#include "postgres/PgRowStore.h"

#include <QString>
#include <memory>

class PgConnection;

// The rows of one query result, fetched from a server cursor only as far as
// someone asks and then kept (PgRowStore), with a mark for rows deleted
// through the row source. Shared by a query row source and its clones, so
// that a row index means the same row to all of them.
//
// The cursor lives in a read-only transaction of the reader session, which
// belongs to these rows alone. Rows come in batches that grow from
// `firstBatch` to `maxBatch` rows as more are asked for, so the first screen
// costs few rows and reading to the end few round trips. Once the cursor has
// given its last row the transaction is committed (which closes the cursor)
// and the session is let go, so no transaction stays open longer than the
// reading needs; destroying the rows first ends it likewise.
//
// A failed fetch (the session was lost, the server ended the statement)
// raises EProviderError with the session's text, and so does every later
// attempt to read past the rows read until then, which stay readable; the
// rows are then finished but not complete.
class PgQueryRows {
public:
    struct Limits {
        PgRowStore::Limits store;
        int firstBatch = 100;
        int maxBatch = 10000;
    };

    // Rows of the cursor `cursorName`, declared in the open transaction of
    // `reader`; `first` is the result of the first fetch of `firstAsked`
    // rows (fewer rows than that: the cursor is at its end).
    PgQueryRows(std::shared_ptr<PgConnection> reader, QString cursorName, const PgResult &first,
                int firstAsked, Limits limits);
    // Rows of a result read whole (a statement no cursor can read).
    PgQueryRows(const PgResult &whole, Limits limits);
    ~PgQueryRows();
    PgQueryRows(const PgQueryRows &) = delete;
    PgQueryRows &operator=(const PgQueryRows &) = delete;

    // Rows held so far (read rows and rows added).
    int Count() const { return store_.Count(); }
    // True once the cursor gave its last row, or a fetch failed.
    bool Finished() const { return finished_; }
    // True once every row of the result is held.
    bool Complete() const { return complete_; }
    // Reads rows until `index` is held; false when the result ends before.
    bool Reach(int index);
    void ReadAll();
    // How many rows have been fetched from the server.
    qint64 RowsRead() const { return rowsRead_; }
    // True while the cursor's transaction is open on the reader session.
    bool Reading() const;

    PgRowStore &Store() { return store_; }
    const PgRowStore &Store() const { return store_; }

private:
    void Fetch(int count);
    // Appends the rows of a result; a failure of the store is raised after
    // every row is appended, so no row is lost.
    void Take(const PgResult &result);
    void Finish(bool complete);

    std::shared_ptr<PgConnection> reader_;
    QString fetchSql_;
    Limits limits_;
    PgRowStore store_;
    int batch_ = 0;
    bool finished_ = false;
    bool complete_ = false;
    QString failure_;
    qint64 rowsRead_ = 0;
};
