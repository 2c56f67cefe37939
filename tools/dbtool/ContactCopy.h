#pragma once

#include <QString>
#include <cstdint>
#include <functional>

// Copies every contact from one contacts database into another, between
// database files and databases on a server in any direction, through the
// engine-neutral data layer. Every column is kept as it is: the ContactID,
// nulls, texts in any script, reals to the last bit.
//
// The target must be a database made by create (the engine refuses anything
// else at connect) that holds no contacts; otherwise nothing is changed. The
// contacts go in within one write transaction, so a failure midway leaves
// the target as it was. The source is read in ContactID order, in batches of
// one statement, so a large source needs little memory; it should not be
// changed while the copy runs. After a copy to a server, the counter of new
// contacts is set past the largest ContactID copied.
//
// Only Contacts is copied; the countries and statuses are those create put
// into the target.
class ContactCopy {
public:
    struct Options {
        // Told after every `progressEvery` contacts written (before the
        // commit), with the number so far and the number in the source.
        std::function<void(std::int64_t copied, std::int64_t total)> progress;
        std::int64_t progressEvery = 100000;
    };

    // Whether the tool's name of a database is a server's (a conninfo: it
    // holds '=' or starts with postgres:// or postgresql://) rather than a
    // file's path.
    static bool IsServerName(const QString &name);
    // The program's connection string for the tool's name of a database.
    static QString ConnectionStringFor(const QString &name);
    // The name as shown in messages: a file's path, or a conninfo with any
    // password in it masked.
    static QString DisplayName(const QString &name);

    // Copies the contacts of `from` into `to`. Returns false with a plain
    // sentence in `error` when refused or failed; `copied` (when given)
    // receives the number copied.
    static bool Run(const QString &from, const QString &to, const Options &options,
                    std::int64_t *copied, QString *error);
};
