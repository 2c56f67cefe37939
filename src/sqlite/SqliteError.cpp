#include "sqlite/SqliteError.h"

#include "data/DatabaseErrors.h"

#include <QRegularExpression>
#include <sqlite3.h>

QString SqliteError::Message(sqlite3 *db, int rc) {
    const QString engineText = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    if (IsLocked(rc))
        return LockedMessage(engineText);
    if ((rc & 0xff) == SQLITE_CONSTRAINT) {
        const QString sizeText = SizeCheckMessage(engineText);
        if (!sizeText.isEmpty())
            return sizeText;
    }
    return engineText;
}

void SqliteError::Throw(sqlite3 *db, int rc) {
    throw EProviderError(Message(db, rc));
}

QString SqliteError::SizeCheckMessage(const QString &engineText) {
    // The column name may itself hold underscores; the size is the last part.
    static const QRegularExpression pattern(
        QStringLiteral("CHECK constraint failed: size_(\\w+)_(\\d+)\\b"));
    const QRegularExpressionMatch match = pattern.match(engineText);
    if (!match.hasMatch())
        return QString();
    return QStringLiteral("The value for field '%1' is too long: at most %2 characters.")
        .arg(match.captured(1), match.captured(2));
}

QString SqliteError::LockedMessage(const QString &engineText) {
    return QStringLiteral("The database is locked by another program; try again later. (%1)")
        .arg(engineText);
}

bool SqliteError::IsLocked(int rc) {
    const int primary = rc & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}
