#pragma once

#include "interchange/ImportedContact.h"

#include <QList>
#include <QStringList>

// Which field of a contact each column of a comma-separated file fills. The
// first row's headers are recognised where they are known (the program's own
// export, and the headers common address books write); the user may change
// any column's target or skip it before the rows are read.
class CsvContactMapping {
public:
    enum Target {
        Skip,
        CompanyName,
        ContactPerson,
        FirstName,
        MiddleName,
        LastName,
        Address,
        City,
        State,
        PostCode,
        Country,
        Phone,
        Fax,
        Mobile,
        Email,
        Url,
        Note
    };

    // The target of a known header (letter case, blanks and punctuation
    // ignored), else Skip.
    static Target Guess(const QString &header);
    static QList<Target> GuessAll(const QStringList &headers);
    // The name of a target as the mapping dialog shows it.
    static QString TargetName(Target target);

    // The contact of one row: each column into its target (a second column
    // of the same target is added after a blank, e.g. two street lines); the
    // person from the first, middle and last name when no column gives it.
    static ImportedContact Apply(const QList<Target> &targets, const QStringList &row, int line);
};
