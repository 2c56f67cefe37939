#include "ContactCopy.h"

#include "ServerDatabaseBuilder.h"
#include "data/ConnectionString.h"
#include "data/DBConnection.h"
#include "data/DatabaseErrors.h"

#include <QDir>
#include <QRegularExpression>
#include <limits>
#include <memory>

namespace {

// Rows read per run of the source's statement.
constexpr int kBatchRows = 5000;

const char *const kColumns[] = {
    "ContactID", "CompanyName", "ContactPerson", "CountryID",    "State",       "City",
    "Address",   "PostCode",    "Phone",         "Fax",          "Mobile",      "Email",
    "Url",       "Note",        "StatusID",      "LastCallDate", "CallbackDate"};
constexpr int kColumnCount = int(sizeof kColumns / sizeof kColumns[0]);

QString ColumnList() {
    QStringList names;
    for (const char *column : kColumns)
        names << QLatin1String(column);
    return names.join(QStringLiteral(", "));
}

QString SelectBatchSql() {
    return QStringLiteral("SELECT %1 FROM Contacts WHERE ContactID >= ?1 ORDER BY ContactID "
                          "LIMIT %2")
        .arg(ColumnList())
        .arg(kBatchRows);
}

QString InsertSql() {
    QStringList params;
    for (int i = 1; i <= kColumnCount; ++i)
        params << QStringLiteral("?%1").arg(i);
    return QStringLiteral("INSERT INTO Contacts (%1) VALUES (%2)")
        .arg(ColumnList(), params.join(QStringLiteral(", ")));
}

std::int64_t CountContacts(TDBConnection &connection) {
    std::unique_ptr<TDBStatement> count =
        connection.Prepare(QStringLiteral("SELECT count(*) FROM Contacts"));
    TDBStatement::Scope scope(*count);
    return count->Step() ? count->Column(0).toLongLong() : 0;
}

// The engine's message as a sentence, so that another can follow it.
QString Sentence(const QString &message) {
    const QString text = message.trimmed();
    if (text.isEmpty() || text.endsWith(QLatin1Char('.')) || text.endsWith(QLatin1Char('!')) ||
        text.endsWith(QLatin1Char('?')))
        return text;
    return text + QLatin1Char('.');
}

bool Fail(QString *error, const QString &message) {
    if (error)
        *error = message;
    return false;
}

// Opens one side; false with the engine's reason when it cannot.
bool Open(TDBConnection &connection, const QString &name, const char *side, QString *error) {
    connection.SetConnectionString(ContactCopy::ConnectionStringFor(name));
    try {
        connection.Open();
        return true;
    } catch (const EError &e) {
        return Fail(error, QStringLiteral("Cannot open the %1 database %2: %3")
                               .arg(QLatin1String(side), ContactCopy::DisplayName(name),
                                    Sentence(e.Message())));
    }
}

} // namespace

bool ContactCopy::IsServerName(const QString &name) {
    return name.contains(QLatin1Char('=')) ||
           name.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive) ||
           name.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive);
}

QString ContactCopy::ConnectionStringFor(const QString &name) {
    if (IsServerName(name))
        return ConnectionString::ForServer(name);
    // A path that would not read back as written is quoted, as the
    // program's own connection strings do.
    QString path = name;
    if (path.contains(QLatin1Char(';')) || path.startsWith(QLatin1Char('"')) ||
        path.startsWith(QLatin1Char('\'')) || path != path.trimmed())
        path = QLatin1Char('"') + path.replace(QLatin1Char('"'), QLatin1String("\"\"")) +
               QLatin1Char('"');
    return QStringLiteral("Provider=SQLite;Data Source=") + path +
           QStringLiteral(";Mode=Share Deny None;Persist Security Info=False;");
}

QString ContactCopy::DisplayName(const QString &name) {
    if (!IsServerName(name))
        return QDir::toNativeSeparators(name);
    QString shown = name;
    static const QRegularExpression keyword(
        QStringLiteral("(password\\s*=\\s*)('(?:[^'\\\\]|\\\\.)*'|[^\\s&]+)"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression userInfo(QStringLiteral("^(\\w+://[^:/@]*):[^@/]*@"));
    shown.replace(keyword, QStringLiteral("\\1***"));
    shown.replace(userInfo, QStringLiteral("\\1:***@"));
    return QLatin1Char('"') + shown + QLatin1Char('"');
}

bool ContactCopy::Run(const QString &from, const QString &to, const Options &options,
                      std::int64_t *copied, QString *error) {
    if (copied)
        *copied = 0;
    TDBConnection source(QStringLiteral("source"));
    TDBConnection target(QStringLiteral("target"));
    if (!Open(source, from, "source", error) || !Open(target, to, "target", error))
        return false;

    std::int64_t done = 0;
    std::int64_t highestId = 0;
    // The lowest ContactID of the next batch: from the lowest possible, as a
    // contact may have been given an id of 0 or below.
    std::int64_t lowestNext = std::numeric_limits<std::int64_t>::min();
    QString stage = QStringLiteral("read %1").arg(DisplayName(from));
    try {
        const std::int64_t total = CountContacts(source);
        std::unique_ptr<TDBStatement> read = source.Prepare(SelectBatchSql());
        stage = QStringLiteral("write to %1").arg(DisplayName(to));
        std::unique_ptr<TDBStatement> insert = target.Prepare(InsertSql());
        // Left on: the connections end with the copy.
        target.SetBulkWork(true);
        TDBWriteTransaction transaction(target);
        // Checked inside the transaction, so no contact can come in between.
        const std::int64_t present = CountContacts(target);
        if (present > 0)
            return Fail(error, QStringLiteral("%1 already holds %2; contacts are copied only into "
                                              "a database made by create that holds none. "
                                              "Nothing was changed.")
                                   .arg(DisplayName(to),
                                        present == 1 ? QStringLiteral("a contact")
                                                     : QStringLiteral("%1 contacts").arg(present)));
        // One batch of the source at a time, each read whole before any of
        // it is written, so the source's statement is never held open
        // across the writes.
        QVector<QVector<TValue>> batch;
        batch.reserve(kBatchRows);
        for (;;) {
            batch.clear();
            {
                stage = QStringLiteral("read %1").arg(DisplayName(from));
                TDBStatement::Scope scope(*read);
                read->Bind(1, TValue(qint64(lowestNext)));
                while (read->Step()) {
                    QVector<TValue> row(kColumnCount);
                    for (int column = 0; column < kColumnCount; ++column)
                        row[column] = read->Column(column);
                    batch.append(row);
                }
            }
            if (batch.isEmpty())
                break;
            stage = QStringLiteral("write to %1").arg(DisplayName(to));
            for (const QVector<TValue> &row : batch) {
                TDBStatement::Scope scope(*insert);
                for (int column = 0; column < kColumnCount; ++column)
                    insert->Bind(column + 1, row[column]);
                insert->Step();
                highestId = row[0].toLongLong();
                ++done;
                if (options.progress && options.progressEvery > 0 &&
                    done % options.progressEvery == 0)
                    options.progress(done, total);
            }
            if (highestId == std::numeric_limits<std::int64_t>::max())
                break;
            lowestNext = highestId + 1;
        }
        if (ContactCopy::IsServerName(to) && done > 0) {
            // The engine-neutral statements cannot move the server's
            // counter; set before the commit, so a failure undoes the copy
            // (a counter moved for a copy that then failed only skips
            // numbers).
            QString reason;
            if (!ServerDatabaseBuilder::SetNextContactId(to, highestId, &reason))
                return Fail(error, QStringLiteral("Cannot write to %1: %2 Nothing was changed.")
                                       .arg(DisplayName(to), Sentence(reason)));
        }
        transaction.Commit();
    } catch (const EError &e) {
        return Fail(
            error,
            QStringLiteral("Cannot %1: %2 Nothing was changed.").arg(stage, Sentence(e.Message())));
    }
    if (copied)
        *copied = done;
    return true;
}
