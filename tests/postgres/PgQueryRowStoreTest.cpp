#include "data/DatabaseErrors.h"
#include "postgres/PgRowStore.h"

#include <QDate>
#include <QFileInfo>
#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <vector>

namespace {

// A row of every shape the store must give back as it was given.
QVector<TValue> ShapedRow(int i) {
    QVector<TValue> row;
    row << TValue(qint64(i) * (i % 2 ? -1 : 1) * 1000003);
    row << (i % 7 == 0 ? TValue() : TValue(QStringLiteral("Name %1 ÄÖÜ straße Ελλάδα").arg(i)));
    row << TValue(i % 5 == 0 ? QString(QLatin1String("")) : QString());
    row << TValue(46000.25 + i);
    row << TValue(QByteArray(i % 4, char(i)));
    row << (i % 3 == 0 ? TValue(QDate(2024, 1, 1).addDays(i)) : TValue());
    return row;
}

std::string ErrorOfValues(PgRowStore &store, int row) {
    try {
        store.Values(row);
    } catch (const EProviderError &e) {
        return e.Message().toStdString();
    }
    return "no error";
}

void ExpectSame(const QVector<TValue> &actual, const QVector<TValue> &expected, int row) {
    ASSERT_EQ(actual.size(), expected.size()) << row;
    for (int c = 0; c < expected.size(); ++c) {
        EXPECT_EQ(actual[c].typeId(), expected[c].typeId()) << row << "/" << c;
        EXPECT_EQ(actual[c].isNull(), expected[c].isNull()) << row << "/" << c;
        EXPECT_EQ(actual[c], expected[c]) << row << "/" << c;
    }
}

// A random sequence of appends, changes, deletions and reads on a store
// with small limits, checked against plain vectors after every step: rows
// in memory, in the file past several checkpoints, changed and appended
// read back alike, and the live-row numbering follows the deletions.
TEST(PgRowStore, RandomOperationsAgreeWithAPlainList) {
    PgRowStore::Limits limits;
    limits.heldRows = 7;
    limits.cachedRows = 3;
    PgRowStore store(limits);
    std::vector<QVector<TValue>> model;
    std::vector<bool> deleted;
    QRandomGenerator random(20240611);
    for (int step = 0; step < 4000; ++step) {
        const int action = int(random.bounded(10));
        if (action < 4 || model.empty()) {
            const QVector<TValue> row = ShapedRow(int(model.size()));
            ASSERT_EQ(store.Append(row), int(model.size()));
            model.push_back(row);
            deleted.push_back(false);
        } else if (action < 6) {
            const int row = int(random.bounded(int(model.size())));
            const int column = int(random.bounded(6));
            const TValue value = random.bounded(2) ? TValue(QStringLiteral("set %1").arg(step))
                                                   : TValue(qint64(step));
            store.SetValue(row, column, value);
            model[size_t(row)][column] = value;
        } else if (action < 7) {
            const int row = int(random.bounded(int(model.size())));
            store.MarkDeleted(row);
            deleted[size_t(row)] = true;
        } else {
            const int row = int(random.bounded(int(model.size())));
            ExpectSame(store.Values(row), model[size_t(row)], row);
            EXPECT_EQ(store.Deleted(row), deleted[size_t(row)]);
        }
    }
    ASSERT_EQ(store.Count(), int(model.size()));
    EXPECT_EQ(store.SpilledRows(), int(model.size()) - 7);
    int live = 0;
    for (int row = 0; row < int(model.size()); ++row) {
        ExpectSame(store.Values(row), model[size_t(row)], row);
        EXPECT_EQ(store.DeletedBefore(row), row - live) << row;
        if (!deleted[size_t(row)]) {
            EXPECT_EQ(store.LiveRowAt(live++), row);
        }
    }
    EXPECT_EQ(store.DeletedCount(), int(model.size()) - live);
    EXPECT_EQ(store.LiveRowAt(live), -1);
    EXPECT_EQ(store.LiveRowAt(-1), -1);
}

TEST(PgRowStore, FileHoldsLargeRowsAndGoesWithTheStore) {
    QString name;
    {
        PgRowStore::Limits limits;
        limits.heldRows = 10;
        PgRowStore store(limits);
        const QString note(3000, QLatin1Char('n'));
        for (int i = 0; i < 2000; ++i) // about 6 MB: several write and read blocks
            store.Append({qint64(i), note + QString::number(i)});
        name = store.SpillFileName();
        ASSERT_FALSE(name.isEmpty());
        EXPECT_TRUE(QFileInfo::exists(name));
        EXPECT_GT(QFileInfo(name).size(), 5000000);
        for (int i = 1999; i >= 0; i -= 37)
            EXPECT_EQ(store.Values(i)[1].toString(), note + QString::number(i)) << i;
        EXPECT_EQ(store.Values(1999)[0].toLongLong(), 1999);
        EXPECT_EQ(ErrorOfValues(store, 2000), "There is no row 2000 in the result.");
    }
    EXPECT_FALSE(QFileInfo::exists(name));
}

TEST(PgRowStore, ReadOnceKeepsOnlyTheLastRowsAndNoFile) {
    PgRowStore::Limits limits;
    limits.readOnce = true;
    limits.windowRows = 100;
    PgRowStore store(limits);
    for (int i = 0; i < 1000; ++i) {
        store.Append(ShapedRow(i));
        ExpectSame(store.Values(i), ShapedRow(i), i);
    }
    EXPECT_EQ(store.Count(), 1000);
    EXPECT_EQ(store.SpilledRows(), 0);
    EXPECT_TRUE(store.SpillFileName().isEmpty());
    ExpectSame(store.Values(900), ShapedRow(900), 900);
    EXPECT_EQ(ErrorOfValues(store, 899),
              "The row is no longer available: the query reads its rows once.");
    EXPECT_EQ(ErrorOfValues(store, 0),
              "The row is no longer available: the query reads its rows once.");
}

} // namespace
