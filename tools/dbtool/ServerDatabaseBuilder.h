#pragma once

#include "DatabaseBuilder.h"

#include <QString>
#include <cstdint>

// Creates contact databases on a database server: the same tables and
// columns as a database file, with identifiers quoted in their exact case so
// that the program's names match; countries, statuses and, on request,
// sample contacts (the same ones a file of the same options gets).
//
// On the server: ContactID and the other counters are identity columns
// numbered by default (an explicit value is kept, as a copy needs); the
// date-time columns are of the domain "DATETIME" over double precision (days
// since 30 December 1899), by which the engine knows them; the nine searched
// columns of Contacts have each a trigram index, so a substring search of
// any of them needs no scan of the table; the keys by which an import
// recognises a stored contact have expression indexes like the file's.
// The comment kMarkComment on "Contacts" marks the database as one of ours.
//
// Connections take the password from the server library's usual places (a
// password file, the environment, the conninfo itself); nothing is stored.
// Every failure returns false with a plain sentence in `error`.
class ServerDatabaseBuilder {
public:
    static constexpr const char *kMarkComment = "Corvana contacts";

    // Builds a database at the server and database `conninfo` names. A
    // database that does not exist is created first (UTF8, code point order,
    // the C.UTF-8 character classes, which fold case beyond ASCII), through
    // the maintenance database "postgres" of the same server, and dropped
    // again when the build fails. An existing database is refused when it
    // already holds "Contacts", or when its encoding is not UTF8 or its
    // character type is C or POSIX (a search would then ignore the case of
    // ASCII letters only); otherwise it is built in one transaction, so a
    // failure leaves it as it was. The sample contacts are loaded in bulk;
    // for many of them into a new database, the trigram indexes are built by
    // several sessions at once after the rows are committed, and the mark
    // is set last, so the program never takes a half-built database.
    static bool Create(const QString &conninfo, const DatabaseBuilder::Options &options,
                       QString *error);

    // Sets the counter that numbers new contacts so that the next one is
    // past `highestId` and past every stored ContactID. Needed after contacts
    // were stored with their own ContactIDs (a copy). Takes effect at once,
    // whatever becomes of the transaction that stored them.
    static bool SetNextContactId(const QString &conninfo, std::int64_t highestId, QString *error);
};
