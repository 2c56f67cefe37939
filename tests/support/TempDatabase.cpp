#include "support/TempDatabase.h"

#include "DatabaseBuilder.h"

#include <QFile>
#include <gtest/gtest.h>
#include <memory>
#include <sqlite3.h>

namespace {

using DbHandle = std::unique_ptr<sqlite3, int (*)(sqlite3 *)>;

// A fresh engine connection per call, as another program would open the file.
DbHandle OpenShared(const QString &path) {
    sqlite3 *raw = nullptr;
    const int rc =
        sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    DbHandle db(raw, sqlite3_close_v2);
    if (rc != SQLITE_OK) {
        ADD_FAILURE() << "cannot open " << path.toStdString() << ": "
                      << (raw ? sqlite3_errmsg(raw) : "out of memory");
        db.reset();
        return db;
    }
    sqlite3_busy_timeout(raw, 5000);
    return db;
}

} // namespace

TempDatabase::TempDatabase(std::int64_t sampleContacts) {
    if (!dir_.isValid()) {
        ADD_FAILURE() << "cannot make a temporary folder: " << dir_.errorString().toStdString();
        return;
    }
    folderWithDelimiter_ = dir_.path() + QLatin1Char('/');
    DatabaseBuilder::Options options;
    options.sampleContacts = sampleContacts;
    QString error;
    if (!DatabaseBuilder::Create(Path(), options, &error))
        ADD_FAILURE() << "cannot create the test database: " << error.toStdString();
}

QString TempDatabase::ConnectionString() const {
    return QStringLiteral("Provider=SQLite;User ID=Admin;Data Source=") + folderWithDelimiter_ +
           QStringLiteral("_db.mdb") +
           QStringLiteral(";Mode=Share Deny None;Persist Security Info=False;");
}

void TempDatabase::Exec(const QString &sql) const {
    DbHandle db = OpenShared(Path());
    if (!db)
        return;
    char *message = nullptr;
    if (sqlite3_exec(db.get(), sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK)
        ADD_FAILURE() << "SQL failed: " << sql.toStdString() << "\n  "
                      << (message ? message : sqlite3_errmsg(db.get()));
    sqlite3_free(message);
}

QStringList TempDatabase::RowsOf(const QString &databasePath, const QString &sql) {
    QStringList rows;
    DbHandle db = OpenShared(databasePath);
    if (!db)
        return rows;
    sqlite3_stmt *raw = nullptr;
    if (sqlite3_prepare_v2(db.get(), sql.toUtf8().constData(), -1, &raw, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << "SQL failed: " << sql.toStdString() << "\n  " << sqlite3_errmsg(db.get());
        return rows;
    }
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> statement(raw, sqlite3_finalize);
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        QStringList columns;
        for (int i = 0; i < sqlite3_column_count(raw); ++i) {
            switch (sqlite3_column_type(raw, i)) {
            case SQLITE_NULL:
                columns << QStringLiteral("NULL");
                break;
            case SQLITE_INTEGER:
                columns << QString::number(sqlite3_column_int64(raw, i));
                break;
            case SQLITE_FLOAT:
                columns << QString::number(sqlite3_column_double(raw, i), 'g', 17);
                break;
            default:
                columns << QString::fromUtf8(
                    reinterpret_cast<const char *>(sqlite3_column_text(raw, i)),
                    sqlite3_column_bytes(raw, i));
            }
        }
        rows << columns.join(QLatin1Char('|'));
    }
    if (rc != SQLITE_DONE)
        ADD_FAILURE() << "SQL failed: " << sql.toStdString() << "\n  " << sqlite3_errmsg(db.get());
    return rows;
}

QVariant TempDatabase::Scalar(const QString &sql) const {
    DbHandle db = OpenShared(Path());
    if (!db)
        return QVariant();
    sqlite3_stmt *raw = nullptr;
    if (sqlite3_prepare_v2(db.get(), sql.toUtf8().constData(), -1, &raw, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << "SQL failed: " << sql.toStdString() << "\n  " << sqlite3_errmsg(db.get());
        return QVariant();
    }
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> statement(raw, sqlite3_finalize);
    const int rc = sqlite3_step(raw);
    if (rc == SQLITE_DONE)
        return QVariant();
    if (rc != SQLITE_ROW) {
        ADD_FAILURE() << "SQL failed: " << sql.toStdString() << "\n  " << sqlite3_errmsg(db.get());
        return QVariant();
    }
    switch (sqlite3_column_type(raw, 0)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(raw, 0)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(raw, 0));
    case SQLITE_TEXT:
        return QVariant(
            QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(raw, 0)),
                              sqlite3_column_bytes(raw, 0)));
    case SQLITE_BLOB:
        return QVariant(QByteArray(static_cast<const char *>(sqlite3_column_blob(raw, 0)),
                                   sqlite3_column_bytes(raw, 0)));
    default:
        return QVariant();
    }
}

QString TempDatabase::ContactText(const char *column, int contactId) const {
    return Scalar(QStringLiteral("select %1 from Contacts where ContactID = %2")
                      .arg(QLatin1String(column))
                      .arg(contactId))
        .toString();
}

int TempDatabase::ContactCount() const {
    return Scalar(QStringLiteral("select count(*) from Contacts")).toInt();
}
