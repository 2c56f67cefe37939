#pragma once

// A consistent copy of an open database into a file of its own, made in
// parts so that no single call holds anything up for long.
//
// The copy reads one snapshot of the database from its first part to its
// last: other programs may go on writing meanwhile, and the copy shows the
// database as it was when the copy began. The copy has its own session, so
// its parts may be run on another thread than the one that made it (one
// thread at a time).
//
// Until Finish has succeeded, the target file is not touched: the pages go
// into a partial file beside it, which an abandoned copy (the object
// destroyed, the process killed) leaves behind or removes, never under the
// target's name. Failures are EProviderError with a text for the user (a
// full disk says so).
class TDBCopy {
public:
    virtual ~TDBCopy() = default;
    // Copies the next part; true once every page is copied.
    virtual bool Step() = 0;
    // How much is copied, in thousandths.
    virtual int Permille() const = 0;
    // After the last Step: checks the copy, makes it durable and puts it in
    // place under the target's name, replacing a file of that name.
    virtual void Finish() = 0;
};
