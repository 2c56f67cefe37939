#include "postgres/PgQuerySessions.h"

#include "postgres/PgConnection.h"

#include <libpq-fe.h>
#include <map>

namespace {

// The sessions given out by any pool, each with whether it was spoilt.
std::mutex givenOutMutex;
std::map<const PgConnection *, bool> givenOut;

void GiveOut(const PgConnection *session) {
    std::lock_guard<std::mutex> lock(givenOutMutex);
    givenOut[session] = false;
}

// Takes the session off the list; whether it was spoilt.
bool TakeBack(const PgConnection *session) {
    std::lock_guard<std::mutex> lock(givenOutMutex);
    const auto it = givenOut.find(session);
    const bool spoilt = it != givenOut.end() && it->second;
    if (it != givenOut.end())
        givenOut.erase(it);
    return spoilt;
}

} // namespace

std::shared_ptr<PgQuerySessions> PgQuerySessions::Make(std::shared_ptr<PgConnection> main,
                                                       int keep) {
    return std::shared_ptr<PgQuerySessions>(new PgQuerySessions(std::move(main), keep));
}

PgQuerySessions::PgQuerySessions(std::shared_ptr<PgConnection> main, int keep)
    : main_(std::move(main)), keep_(keep) {}

PgQuerySessions::~PgQuerySessions() = default;

std::shared_ptr<PgConnection> PgQuerySessions::Take() {
    std::shared_ptr<PgConnection> session;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!idle_.empty()) {
            session = std::move(idle_.back());
            idle_.pop_back();
        }
    }
    if (!session)
        session = main_->Another();
    // The session given out shares nothing with the one the pool holds: when
    // its last user lets go, the pool decides whether to keep it.
    GiveOut(session.get());
    std::weak_ptr<PgQuerySessions> pool = weak_from_this();
    return std::shared_ptr<PgConnection>(session.get(), [pool, session](PgConnection *) {
        const bool spoilt = TakeBack(session.get());
        if (auto owner = pool.lock(); owner && !spoilt)
            owner->Release(session);
    });
}

void PgQuerySessions::Spoil(const std::shared_ptr<PgConnection> &session) {
    std::lock_guard<std::mutex> lock(givenOutMutex);
    const auto it = givenOut.find(session.get());
    if (it != givenOut.end())
        it->second = true;
}

void PgQuerySessions::Release(const std::shared_ptr<PgConnection> &session) {
    pg_conn *raw = session->Raw();
    if (!raw || PQstatus(raw) != CONNECTION_OK || PQtransactionStatus(raw) != PQTRANS_IDLE)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (int(idle_.size()) < keep_)
        idle_.push_back(session);
}

void PgQuerySessions::Clear() {
    std::vector<std::shared_ptr<PgConnection>> closing;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing.swap(idle_);
    }
}

int PgQuerySessions::IdleCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return int(idle_.size());
}
