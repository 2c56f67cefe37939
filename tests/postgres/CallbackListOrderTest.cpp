// The call-back list of a day, which names no order, comes from the server
// as from the file: by call-back time, then by ContactID, whatever order the
// contacts were stored in and however few rows the day holds.
#include "data/DBConnection.h"
#include "data/DateTimeValue.h"
#include "data/QueryCursor.h"
#include "support/PgRawConnection.h"
#include "support/TempPgServer.h"
#include "ui/main/ContactLists.h"

#include <QDate>
#include <gtest/gtest.h>

namespace {

TEST(ServerCallbackList, ComesInTheOrderOfTheCallbackTimeThenTheContact) {
    const QString conninfo = TempPgServer::Shared().CreateDatabase();
    PgRawConnection raw(conninfo);
    const QDate day(2026, 12, 9);
    const double start = DateTimeValue::FromDate(day);
    // Call-backs at random times over four months around the day, stored in
    // no order of time, as contacts come in.
    raw.Exec(QStringLiteral("SELECT setseed(0.25)"));
    raw.Exec(QStringLiteral("INSERT INTO \"Contacts\" (\"CompanyName\", \"CallbackDate\") "
                            "SELECT 'C' || g, $1 - 60 + floor(random() * 120) + "
                            "(8 * 60 + floor(random() * 20) * 30) / 1440.0 "
                            "FROM generate_series(1, 3000) g"),
             {start});
    raw.Exec(QStringLiteral("ANALYZE \"Contacts\""));
    const int expected =
        raw.Scalar(QStringLiteral("SELECT count(*) FROM \"Contacts\" WHERE \"CallbackDate\" >= $1 "
                                  "AND \"CallbackDate\" < $1 + 1"),
                   {start})
            .toInt();
    ASSERT_GT(expected, 5);

    TDBConnection conn("connDB");
    conn.SetConnectionString(TempPgServer::ConnectionString(conninfo));
    TQueryCursor list("qryCallBack");
    list.SetConnection(&conn);
    for (const QString &line : ContactLists::CallbackLines(day, false))
        list.SQL().Add(line);
    list.Open();
    int rows = 0;
    double lastTime = -1;
    qint64 lastId = 0;
    for (; !list.Eof(); list.Next(), ++rows) {
        const double time = list.FieldNamed("CallbackDate")->Value().toDouble();
        const qint64 id = list.FieldNamed("ContactID")->Value().toLongLong();
        ASSERT_TRUE(time > lastTime || (time == lastTime && id > lastId))
            << "row " << rows << " out of order";
        lastTime = time;
        lastId = id;
    }
    EXPECT_EQ(rows, expected);
}

} // namespace
