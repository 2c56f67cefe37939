#pragma once

#include <memory>
#include <mutex>
#include <vector>

class PgConnection;

// Spare sessions for query row sources. Each query reads on a session of its
// own, so that a query read halfway never holds a transaction on the session
// that writes. A session given out comes back to the pool when its last user
// lets go of it, and a few are kept for the next queries: a new session costs
// the server a process and a cold catalogue cache, several milliseconds of a
// first screen that otherwise takes one or two.
//
// A session comes back only when it is sound and idle (connected, no
// transaction open) and was not spoilt: a session that ran statements of the
// caller's own (which may leave temporary tables or settings behind) is
// closed instead. A session kept while the server restarted fails its next
// command with PgConnection's lost-connection text and connects again on the
// one after. Thread-safe.
class PgQuerySessions : public std::enable_shared_from_this<PgQuerySessions> {
public:
    // Sessions opened like `main` (PgConnection::Another).
    static std::shared_ptr<PgQuerySessions> Make(std::shared_ptr<PgConnection> main, int keep = 2);
    ~PgQuerySessions();

    // A kept session, else a new one (EProviderError as PgConnection::Open).
    std::shared_ptr<PgConnection> Take();
    // Marks a session taken from a pool so that it is closed rather than
    // kept when let go. Any session may be named; one of no pool is left as
    // it is.
    static void Spoil(const std::shared_ptr<PgConnection> &session);
    // Closes the kept sessions.
    void Clear();
    int IdleCount() const;

private:
    PgQuerySessions(std::shared_ptr<PgConnection> main, int keep);
    void Release(const std::shared_ptr<PgConnection> &session);

    std::shared_ptr<PgConnection> main_;
    int keep_;
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<PgConnection>> idle_;
};
