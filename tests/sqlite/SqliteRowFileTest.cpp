#include "sqlite/SqliteRowFile.h"
#include "SqliteTestSupport.h"
#include "sqlite/SqliteColumnType.h"
#include "sqlite/SqliteStatement.h"

#include <QDate>
#include <QFileInfo>
#include <algorithm>
#include <cstring>
#include <limits>
#include <random>

using namespace sqlite_test;

namespace {

// Same type, same nullness, same value (reals bit for bit, so NaN counts).
::testing::AssertionResult SameValue(const TValue &read, const TValue &written) {
    bool same = read.typeId() == written.typeId() && read.isNull() == written.isNull();
    if (same && read.typeId() == QMetaType::Double) {
        const double a = read.toDouble(), b = written.toDouble();
        same = std::memcmp(&a, &b, sizeof a) == 0;
    } else if (same) {
        same = read == written;
    }
    if (same)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "read " << read.typeName() << " '" << read.toString().toStdString() << "' (null "
           << read.isNull() << "), written " << written.typeName() << " '"
           << written.toString().toStdString() << "' (null " << written.isNull() << ")";
}

void ExpectSameRow(const QVector<TValue> &read, const QVector<TValue> &written) {
    ASSERT_EQ(read.size(), written.size());
    for (int i = 0; i < read.size(); ++i)
        EXPECT_TRUE(SameValue(read[i], written[i])) << "column " << i;
}

QVector<TValue> EveryKindOfValue() {
    QVector<TValue> values;
    for (qint64 n :
         {qint64(0), qint64(1), qint64(-1), qint64(63), qint64(64), qint64(-64), qint64(-65),
          qint64(1) << 40, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max()})
        values << TValue(n);
    for (double d : {0.5, -0.0, -1e300, 46364.375, std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity()})
        values << TValue(d);
    values << TValue() << TValue(QString()) << TValue(QString(""))
           << TValue(QString("Zürich 北京 😀")) << TValue(QByteArray()) << TValue(QByteArray(""))
           << TValue(QByteArray("\0\1\xff", 3))
           // Types only a field's assignment brings keep their type too.
           << TValue(7) << TValue(true) << TValue(QDate(2026, 12, 8));
    return values;
}

TEST(SqliteRowFile, EveryKindOfValueComesBackWithItsType) {
    SqliteRowFile file;
    const QVector<TValue> values = EveryKindOfValue();
    const qint64 first = file.AppendValues(values);
    const qint64 empty = file.AppendValues({});
    ExpectSameRow(file.Read(first), values); // still gathered in memory
    file.Flush();
    ExpectSameRow(file.Read(first), values); // from the file
    EXPECT_TRUE(file.Read(empty).isEmpty());
}

TEST(SqliteRowFile, RowsReadBackInAnyOrderAcrossBlocks) {
    SqliteRowFile file;
    std::vector<qint64> offsets;
    std::vector<QVector<TValue>> rows;
    for (int i = 0; i < 30000; ++i) {
        QVector<TValue> row{qint64(i), QStringLiteral("Company %1 ").arg(i).repeated(1 + i % 4),
                            i % 3 ? TValue(i * 0.25) : TValue()};
        // A row far larger than a read block, between ordinary ones.
        if (i == 15000)
            row << TValue(QByteArray(300 * 1024, 'x'));
        offsets.push_back(file.AppendValues(row));
        rows.push_back(row);
        file.FlushIfFull();
    }
    EXPECT_GT(file.Size(), 1 << 20); // more than one block went to the file
    std::vector<int> order(rows.size());
    for (int i = 0; i < int(order.size()); ++i)
        order[size_t(i)] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(5));
    for (int i : order)
        ExpectSameRow(file.Read(offsets[size_t(i)]), rows[size_t(i)]);
    for (int i = 14990; i < 15010; ++i)
        ExpectSameRow(file.Read(offsets[size_t(i)]), rows[size_t(i)]);
}

// Rows stored straight from the engine read back as the engine's own values,
// normalized for their column's type as held rows are.
TEST(SqliteRowFile, StatementRowsMatchTheEnginesValues) {
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    const QVector<int> codes{ColumnType::Integer, ColumnType::Date, ColumnType::VarWChar,
                             ColumnType::Double, ColumnType::LongVarBinary};
    {
        SqliteStatement statement(
            db, "VALUES (1, 46000, 'Zürich', 2.5, x'00ff'), (-9223372036854775808, 46000.5, '', "
                "7, x''), (NULL, NULL, NULL, NULL, NULL), (42, 'text in a date', 3, 'x', 'blob')");
        SqliteRowFile file;
        int rows = 0;
        while (statement.Step()) {
            QVector<TValue> expected;
            for (int i = 0; i < codes.size(); ++i)
                expected << SqliteColumnType::Normalize(codes[i], statement.Column(i));
            const qint64 offset = file.AppendStatementRow(statement, codes);
            ExpectSameRow(file.Read(offset), expected);
            file.Flush();
            ExpectSameRow(file.Read(offset), expected);
            ++rows;
        }
        EXPECT_EQ(rows, 4);
    }
    sqlite3_close(db);
}

TEST(SqliteRowFile, AnOffsetOutsideTheRowsIsRefused) {
    SqliteRowFile file;
    file.AppendValues({TValue(qint64(1))});
    const std::string damaged =
        "The rows of the query cannot be read back from their temporary file: its contents are "
        "damaged.";
    EXPECT_EQ(ErrorOf([&] { file.Read(-1); }), damaged);
    EXPECT_EQ(ErrorOf([&] { file.Read(file.Size()); }), damaged);
    file.Flush();
    EXPECT_EQ(ErrorOf([&] { file.Read(file.Size() - 2); }), damaged);
}

TEST(SqliteRowFile, FileIsMadeOnTheFirstWriteAndRemovedWithIt) {
    QString name;
    {
        SqliteRowFile file;
        file.AppendValues({TValue(QStringLiteral("kept"))});
        EXPECT_TRUE(file.FileName().isEmpty());
        file.Flush();
        name = file.FileName();
        ASSERT_FALSE(name.isEmpty());
        EXPECT_TRUE(QFileInfo::exists(name));
    }
    EXPECT_FALSE(QFileInfo::exists(name));
}

} // namespace
