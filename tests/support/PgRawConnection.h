#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVector>
#include <stdexcept>

struct pg_conn;

// A plain connection to a database server, beside the program's own engine:
// for tests that act as another program (change rows behind the engine's
// back, end its sessions) or look at the server's catalogue.
//
// Values come back by their column's type: integers as qint64, reals as
// double, booleans as bool, binary as QByteArray, everything else as
// QString; a null as an invalid QVariant. Parameters ($1, $2, ...) are sent
// as text (an invalid QVariant as null) and typed by the server.
//
// Every failure (no connection, an error of a statement) throws
// PgRawConnection::Error with the server's message and the statement, which
// fails the test that did not expect it with that text.
class PgRawConnection {
public:
    class Error : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
    };

    using Row = QVector<QVariant>;
    using Rows = QVector<Row>;

    // Connects at once; throws Error when the server refuses.
    explicit PgRawConnection(const QString &conninfo);
    ~PgRawConnection();
    PgRawConnection(const PgRawConnection &) = delete;
    PgRawConnection &operator=(const PgRawConnection &) = delete;

    // Runs one statement (or, without parameters, several separated by ';')
    // and returns the rows of the last one (none for a command).
    Rows Exec(const QString &sql, const QVariantList &params = {});
    // The first column of the first row, or an invalid QVariant when there
    // is no row.
    QVariant Scalar(const QString &sql, const QVariantList &params = {});
    // The server's message when `sql` fails, empty when it succeeds: for
    // tests of a refusal.
    QString ErrorOf(const QString &sql, const QVariantList &params = {});

    // Ends every session on database `dbname` but this one, waiting until
    // they are gone, as a server restart or a lost network would end them.
    // Returns how many there were.
    int TerminateOtherBackends(const QString &dbname);

    pg_conn *Handle() const { return conn_; }

private:
    pg_conn *conn_ = nullptr;
};
