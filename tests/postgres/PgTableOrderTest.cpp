// The orders a table row source can follow on the server: index columns with
// their directions, places of nulls and collations, the key as tie-break;
// moves from both ends and from rows deleted meanwhile agree with the
// server's own ORDER BY, and a search position finds what a reading of the
// rows in that order finds.

#include "postgres/PgTableOrder.h"
#include "data/DatabaseErrors.h"
#include "postgres/PgConnection.h"
#include "postgres/PgEngine.h"
#include "postgres/PgTableInfo.h"
#include "support/PgRawConnection.h"
#include "support/TempPgServer.h"

#include <QElapsedTimer>
#include <QStringList>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <set>

namespace {

TRowSourceRequest TableRequest(const QString &table, const QString &index) {
    TRowSourceRequest request;
    request.isTable = true;
    request.command = table;
    request.indexName = index;
    request.location = clUseServer;
    return request;
}

QVector<qint64> Ids(PgRawConnection &raw, const QString &sql) {
    QVector<qint64> ids;
    for (const auto &row : raw.Exec(sql))
        ids << row.value(0).toLongLong();
    return ids;
}

QVector<qint64> Forward(TRowSource &rows) {
    QVector<qint64> ids;
    for (rows.MoveFirst(); !rows.SourceEOF(); rows.MoveNext())
        ids << rows.Value(0).toLongLong();
    return ids;
}

QVector<qint64> Backward(TRowSource &rows) {
    QVector<qint64> ids;
    for (rows.MoveLast(); !rows.SourceBOF(); rows.MovePrevious())
        ids.prepend(rows.Value(0).toLongLong());
    return ids;
}

struct IndexCase {
    const char *name;
    const char *columns; // as CREATE INDEX takes them
    const char *order;   // the same order as ORDER BY takes it, the key last
};

// Nulls, repeats and texts that only a code point order tells apart.
const IndexCase kIndexes[] = {
    {"ByAB", "a, b DESC", "a, b DESC, id"},
    {"ByANullsFirst", "a NULLS FIRST", "a NULLS FIRST, id"},
    {"ByBDescNullsLast", "b DESC NULLS LAST, a", "b DESC NULLS LAST, a, id"},
    {"ByDate", "c", "c, id"},
    {"ByACDesc", "a COLLATE \"C\" DESC, c DESC NULLS LAST",
     "a COLLATE \"C\" DESC, c DESC NULLS LAST, id"},
    {"ByBThenKeyDesc", "b, id DESC", "b, id DESC"},
    {"ByKeyDesc", "id DESC", "id DESC"},
};

class PgTableOrders : public ::testing::Test {
protected:
    PgTableOrders() : conninfo(TempPgServer::Shared().CreateDatabase()), other(conninfo) {
        other.Exec("CREATE TABLE \"T\" (id bigint PRIMARY KEY, a varchar(10), b bigint, "
                   "c \"DATETIME\")");
        for (const IndexCase &index : kIndexes)
            other.Exec(
                QStringLiteral("CREATE INDEX \"%1\" ON \"T\" (%2)").arg(index.name, index.columns));
        std::mt19937 random(20261209);
        const char *const texts[] = {"x", "X", "b", "B", "", "ä", "Ä", "z"};
        std::set<qint64> used;
        for (int i = 0; i < 60; ++i) {
            qint64 id = 0;
            do
                id = qint64(random() % 1000) - 200;
            while (!used.insert(id).second);
            const unsigned pick = random();
            const QVariant a = pick % 5 == 0 ? QVariant() : QString::fromUtf8(texts[pick % 8]);
            const QVariant b = pick % 7 < 2 ? QVariant() : QVariant(qint64(pick / 7 % 4));
            const QVariant c = pick % 3 == 0 ? QVariant() : QVariant(46000.5 + pick / 11 % 3);
            other.Exec("INSERT INTO \"T\" VALUES ($1, $2, $3, $4)", {id, a, b, c});
        }
        engine.Connect(conninfo, "Share Deny None");
    }

    QString conninfo;
    PgRawConnection other;
    PgEngine engine;
};

TEST_F(PgTableOrders, MovesAgreeWithTheServersOrderAlsoFromDeletedRows) {
    std::mt19937 random(7);
    for (const IndexCase &index : kIndexes) {
        SCOPED_TRACE(index.name);
        auto rows = engine.OpenRowSource(TableRequest("T", QString(index.name).toLower()));
        const QString orderSql =
            QStringLiteral("SELECT id FROM \"T\" ORDER BY %1").arg(index.order);
        QVector<qint64> expected = Ids(other, orderSql);
        ASSERT_EQ(expected.size(), 60);
        EXPECT_EQ(Forward(*rows), expected);
        EXPECT_EQ(Backward(*rows), expected);

        // Stand on every row once, then let another program delete a random
        // third of them (runs of neighbours included).
        for (qint64 id : expected)
            rows->GotoBookmark(id);
        std::set<qint64> deleted;
        for (qint64 id : expected) {
            if (random() % 3 == 0) {
                other.Exec("DELETE FROM \"T\" WHERE id = $1", {id});
                deleted.insert(id);
            }
        }
        QVector<qint64> remaining;
        for (qint64 id : expected)
            if (!deleted.count(id))
                remaining << id;
        ASSERT_EQ(Ids(other, orderSql), remaining);
        for (int i = 0; i < expected.size(); ++i) {
            if (!deleted.count(expected[i]))
                continue;
            std::optional<qint64> next, previous;
            for (int j = i + 1; j < expected.size() && !next; ++j)
                if (!deleted.count(expected[j]))
                    next = expected[j];
            for (int j = i - 1; j >= 0 && !previous; --j)
                if (!deleted.count(expected[j]))
                    previous = expected[j];
            rows->GotoBookmark(expected[i]);
            EXPECT_TRUE(rows->RowDeleted());
            rows->MoveNext();
            if (next)
                EXPECT_EQ(rows->Value(0).toLongLong(), *next) << "after " << expected[i];
            else
                EXPECT_TRUE(rows->SourceEOF()) << "after " << expected[i];
            rows->GotoBookmark(expected[i]);
            rows->MovePrevious();
            if (previous)
                EXPECT_EQ(rows->Value(0).toLongLong(), *previous) << "before " << expected[i];
            else
                EXPECT_TRUE(rows->SourceBOF()) << "before " << expected[i];
        }
        EXPECT_EQ(Forward(*rows), remaining);
        EXPECT_EQ(Backward(*rows), remaining);
        // The deleted rows come back for the next index.
        for (qint64 id : deleted)
            other.Exec("INSERT INTO \"T\" (id, a) VALUES ($1, 'back')", {id});
    }
}

TEST_F(PgTableOrders, AnUpdatedIndexColumnMovesTheRowAndAnUnknownPlaceIsRefused) {
    auto rows = engine.OpenRowSource(TableRequest("T", "ByAB"));
    const QVector<qint64> before = Forward(*rows);
    rows->MoveFirst();
    const qint64 first = rows->Bookmark();
    rows->SetValue(1, QString::fromUtf8("\xF0\x9F\x93\x9E")); // after every other text
    rows->SetValue(2, TValue());
    rows->Update();
    EXPECT_EQ(rows->Bookmark(), first);
    rows->MoveNext();
    // After the last non-null text come the rows whose text is null.
    const QVector<qint64> after = Ids(other, "SELECT id FROM \"T\" ORDER BY a, b DESC, id");
    const int at = int(after.indexOf(first));
    ASSERT_GE(at, 0);
    if (at + 1 < after.size())
        EXPECT_EQ(rows->Value(0).toLongLong(), after[at + 1]);
    else
        EXPECT_TRUE(rows->SourceEOF());
    EXPECT_EQ(Forward(*rows), after);
    EXPECT_EQ(after.size(), before.size());

    // A bookmark of a row deleted before this row source ever stood on it:
    // its place is unknown, and a move from it says so.
    auto fresh = engine.OpenRowSource(TableRequest("T", "ByAB"));
    other.Exec("DELETE FROM \"T\" WHERE id = $1", {after.last()});
    fresh->GotoBookmark(after.last());
    EXPECT_TRUE(fresh->RowDeleted());
    try {
        fresh->MoveNext();
        ADD_FAILURE() << "moved from an unknown place";
    } catch (const EProviderError &e) {
        EXPECT_EQ(e.Message(), "The row was deleted by another program; its place in the order "
                               "is not known.");
    }
    fresh->MoveFirst();
    EXPECT_EQ(fresh->Value(0).toLongLong(), after.first());
}

// The rows of a row source in its order, read one by one: id, a, b, c.
QVector<QVector<TValue>> Read(TRowSource &rows) {
    QVector<QVector<TValue>> all;
    for (rows.MoveFirst(); !rows.SourceEOF(); rows.MoveNext())
        all << QVector<TValue>{rows.Value(0), rows.Value(1), rows.Value(2), rows.Value(3)};
    return all;
}

// What a search position must find: the first of the rows read in order
// that matches as LocateTextMatches says (or equals, without options).
std::optional<TBookmark> ByReading(const QVector<QVector<TValue>> &rows, int column,
                                   const TValue &value, const TLocateOptions &options) {
    for (const auto &row : rows) {
        const TValue &stored = row[column];
        const bool match =
            options.None()
                ? (ValueIsNull(value)
                       ? ValueIsNull(stored)
                       : !ValueIsNull(stored) && (value.typeId() == QMetaType::QString
                                                      ? stored.toString() == value.toString()
                                                      : stored.toDouble() == value.toDouble()))
                : LocateTextMatches(stored, value, options);
        if (match)
            return row[0].toLongLong();
    }
    return std::nullopt;
}

TEST_F(PgTableOrders, SearchesFindTheFirstMatchOfAReadingInOrder) {
    // Texts where folding beyond ASCII decides: the sharp s, the Kelvin sign
    // (which folds to k), the dotted capital I, letters outside the basic plane.
    const QString texts[] = {QString::fromUtf8("Straße"),
                             QString::fromUtf8("STRASSE"),
                             QString::fromUtf8("straße"),
                             QString::fromUtf8("\u212Aelvin"),
                             QString::fromUtf8("kelvin"),
                             QString::fromUtf8("KELVIN"),
                             QString::fromUtf8("\u0130stanbul"),
                             QString::fromUtf8("istanbul"),
                             QString::fromUtf8("Ünïcode"),
                             QString::fromUtf8("üNÏCODE"),
                             QString::fromUtf8("\U00010400x"),
                             QString::fromUtf8("\U00010428X"),
                             QStringLiteral("Acme"),
                             QStringLiteral("ACME Corp"),
                             QStringLiteral("x"),
                             QString()};
    other.Exec("DELETE FROM \"T\"");
    std::mt19937 random(11);
    for (int id = 1; id <= 80; ++id) {
        const QString &text = texts[random() % std::size(texts)];
        const QVariant a = text.isNull() ? QVariant() : QVariant(text.left(10));
        other.Exec("INSERT INTO \"T\" (id, a, b, c) VALUES ($1, $2, $3, $4)",
                   {id, a, qint64(random() % 5), 46000.25 + double(random() % 3)});
    }
    for (const char *index : {"ByAB", "ByBDescNullsLast", "ByKeyDesc"}) {
        SCOPED_TRACE(index);
        auto source = engine.OpenRowSource(TableRequest("T", index));
        auto clone = source->Clone();
        const QVector<QVector<TValue>> rows = Read(*source);
        ASSERT_EQ(rows.size(), 80);
        const QString keys[] = {
            QString::fromUtf8("straße"), QString::fromUtf8("STRA"), QString::fromUtf8("\u212A"),
            QStringLiteral("k"),         QStringLiteral("KELVIN"),  QStringLiteral("i"),
            QString::fromUtf8("\u0130"), QString::fromUtf8("ünï"),  QString::fromUtf8("\U00010428"),
            QStringLiteral("acme"),      QStringLiteral("Acme"),    QStringLiteral(""),
            QStringLiteral("zzz")};
        int found = 0;
        for (const QString &key : keys) {
            for (int option = 0; option < 4; ++option) {
                TLocateOptions options;
                options.caseInsensitive = option & 1;
                options.partialKey = option & 2;
                SCOPED_TRACE(key.toStdString() + " options " + std::to_string(option));
                const std::optional<TBookmark> expected = ByReading(rows, 1, key, options);
                EXPECT_EQ(clone->FindFirst("A", key, options), expected);
                found += expected ? 1 : 0;
            }
        }
        // Most searches find a row, many only when folding beyond ASCII.
        EXPECT_GT(found, 20);
        // Numbers and date-times, as numbers, as texts and with options.
        for (const TValue &value :
             {TValue(qint64(3)), TValue(QStringLiteral("2")), TValue(QStringLiteral("two")),
              TValue(46001.25), TValue(QStringLiteral("46002.25")), TValue()}) {
            SCOPED_TRACE(value.toString().toStdString());
            EXPECT_EQ(clone->FindFirst("b", value),
                      ByReading(rows, 2,
                                value.typeId() == QMetaType::QString && value.toString() != "two"
                                    ? TValue(value.toDouble())
                                    : value,
                                {}));
            EXPECT_EQ(clone->FindFirst("c", value),
                      ByReading(rows, 3,
                                value.typeId() == QMetaType::QString && value.toString() != "two"
                                    ? TValue(value.toDouble())
                                    : value,
                                {}));
            for (const TLocateOptions options :
                 {TLocateOptions{true, false}, TLocateOptions{false, true}}) {
                EXPECT_EQ(clone->FindFirst("b", value, options),
                          ByReading(rows, 2, value, options));
                EXPECT_EQ(clone->FindFirst("c", value, options),
                          ByReading(rows, 3, value, options));
            }
        }
        EXPECT_EQ(clone->FindFirst("id", QStringLiteral("7")), std::optional<TBookmark>(7));
    }
    auto rows = engine.OpenRowSource(TableRequest("T", ""));
    try {
        rows->Clone()->FindFirst("Nope", 1);
        ADD_FAILURE() << "found a column that does not exist";
    } catch (const EProviderError &e) {
        EXPECT_EQ(e.Message(), "The table 'T' has no column 'Nope'.");
    }
}

// On many rows every move is an index seek: the server's plan for each
// statement a move runs reads an index and never the whole table, and moves
// in the middle of the table take no longer than near its start.
TEST(PgTableOrderOnManyRows, EveryMoveIsAnIndexSeek) {
    const QString conninfo = TempPgServer::Shared().CreateDatabase();
    PgRawConnection other(conninfo);
    other.Exec("INSERT INTO \"Contacts\" (\"CompanyName\", \"CallbackDate\") "
               "SELECT 'Company ' || g, CASE WHEN g % 3 = 0 THEN NULL ELSE 46000 + g % 500 END "
               "FROM generate_series(1, 200000) g");
    other.Exec("ANALYZE \"Contacts\"");
    auto connection = PgConnection::Open(conninfo);
    const PgTableInfo table = PgTableInfo::Load(*connection, "contacts");
    for (const char *index : {"ContactID", "CallbackDate"}) {
        SCOPED_TRACE(index);
        const PgTableOrder order(*connection, table, index);
        const bool byDate = order.KeyCount() == 1;
        QStringList statements{order.EndSql(false), order.EndSql(true), order.KeysSql()};
        QVector<QVector<TValue>> params{{}, {}, {qint64(1000)}};
        for (bool forward : {true, false}) {
            for (bool nullDate : {false, true}) {
                if (!byDate && nullDate)
                    continue;
                QVector<int> binds;
                statements << order.StepSql(forward, {nullDate}, &binds);
                const QVector<TValue> place{nullDate ? TValue() : TValue(46100.0),
                                            TValue(qint64(100000))};
                QVector<TValue> bound;
                for (int position : binds)
                    bound << place[byDate ? position : 1];
                params << bound;
            }
        }
        for (int i = 0; i < statements.size(); ++i) {
            QString plan;
            const PgResult explained = connection->Exec("EXPLAIN " + statements[i], params[i]);
            for (int row = 0; row < explained.Rows(); ++row)
                plan += explained.Value(row, 0).toString() + "\n";
            EXPECT_TRUE(plan.contains("Index")) << statements[i].toStdString() << "\n"
                                                << plan.toStdString();
            EXPECT_FALSE(plan.contains("Seq Scan")) << statements[i].toStdString() << "\n"
                                                    << plan.toStdString();
        }
    }

    PgEngine engine;
    engine.Connect(conninfo, "Share Deny None");
    QElapsedTimer timer;
    timer.start();
    auto rows = engine.OpenRowSource(TableRequest("Contacts", "ContactID"));
    EXPECT_EQ(rows->Bookmark(), 1);
    auto walk = [&](TBookmark from) {
        QElapsedTimer took;
        took.start();
        rows->GotoBookmark(from);
        for (int i = 1; i <= 100; ++i) {
            rows->MoveNext();
            EXPECT_EQ(rows->Bookmark(), from + i);
        }
        for (int i = 99; i >= 0; --i) {
            rows->MovePrevious();
            EXPECT_EQ(rows->Bookmark(), from + i);
        }
        return took.elapsed();
    };
    const qint64 nearStart = walk(10) + walk(20);
    const qint64 inTheMiddle = walk(150000) + walk(100000);
    EXPECT_LT(inTheMiddle, 3 * nearStart + 200);
    rows->MoveLast();
    EXPECT_EQ(rows->Bookmark(), 200000);
}

} // namespace
