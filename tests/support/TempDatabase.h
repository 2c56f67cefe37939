#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <cstdint>

// A new contact database `_db.mdb` in a temporary folder that is removed
// afterwards: the schema, the countries, the statuses and `sampleContacts`
// sample contacts (none by default).
class TempDatabase {
public:
    explicit TempDatabase(std::int64_t sampleContacts = 0);
    const QString &Folder() const { return folderWithDelimiter_; } // ends in '/'
    QString Path() const { return folderWithDelimiter_ + QStringLiteral("_db.mdb"); }
    // The program's connection string for this database.
    QString ConnectionString() const;
    // Runs SQL directly on the file through a separate engine connection, as
    // another program sharing the file would. Fails the test on error.
    void Exec(const QString &sql) const;
    // The first column of the first row of a query, or an invalid variant.
    QVariant Scalar(const QString &sql) const;
    // One column of the contact with that key as text (empty when null or
    // missing), and how many contacts there are.
    QString ContactText(const char *column, int contactId) const;
    int ContactCount() const;
    // Every row of a query, each as its columns joined by '|' (null as
    // "NULL", reals with 17 significant digits). Fails the test on error.
    QStringList Rows(const QString &sql) const { return RowsOf(Path(), sql); }
    static QStringList RowsOf(const QString &databasePath, const QString &sql);

private:
    QTemporaryDir dir_;
    QString folderWithDelimiter_;
};
