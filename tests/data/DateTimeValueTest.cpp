#include "data/DateTimeValue.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace {

// The tests run in the en_US locale (see TestMain).
TEST(DateTimeValue, ShortDateFormatHasAFourDigitYear) {
    EXPECT_EQ(QLocale().dateFormat(QLocale::ShortFormat), "M/d/yy");
    EXPECT_EQ(DateTimeValue::ShortDateFormat(), "M/d/yyyy");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(DateTimeValue::ShortDateFormat(), "dd.MM.yyyy");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

TEST(DateTimeValue, DaysCountFromTheEpoch) {
    EXPECT_EQ(DateTimeValue::FromDate(QDate(1899, 12, 30)), 0.0);
    EXPECT_EQ(DateTimeValue::FromDate(QDate(1900, 1, 1)), 2.0);
    EXPECT_EQ(DateTimeValue::FromDate(QDate(2026, 12, 8)), 46364.0);
    EXPECT_EQ(DateTimeValue::FromDateTime(QDateTime(QDate(2026, 12, 8), QTime(18, 0))), 46364.75);
    EXPECT_EQ(DateTimeValue::ToDateTime(46364.75), QDateTime(QDate(2026, 12, 8), QTime(18, 0)));
}

TEST(DateTimeValue, MidnightShowsTheDateAlone) {
    EXPECT_EQ(DateTimeValue::DateTimeText(46364.0), "12/8/2026");
    const QString withTime = DateTimeValue::DateTimeText(46364.5);
    EXPECT_TRUE(withTime.startsWith("12/8/2026 12:00:00")) << withTime.toStdString();
    EXPECT_FALSE(withTime.contains("UTC"));
    EXPECT_EQ(DateTimeValue::ShortDateText(46364.9999), "12/8/2026");
}

TEST(DateTimeValue, DatesBeforeTheEpochCountTheTimeAwayFromZero) {
    EXPECT_EQ(DateTimeValue::FromDate(QDate(1899, 12, 29)), -1.0);
    const double value = DateTimeValue::FromDateTime(QDateTime(QDate(1899, 12, 29), QTime(6, 0)));
    EXPECT_EQ(value, -1.25);
    EXPECT_EQ(DateTimeValue::ToDate(value), QDate(1899, 12, 29));
    EXPECT_EQ(DateTimeValue::ToTime(value), QTime(6, 0));
    EXPECT_EQ(DateTimeValue::ShortDateText(-0.5), "12/30/1899");
    EXPECT_EQ(DateTimeValue::ShortDateText(DateTimeValue::FromDate(QDate(1850, 3, 1))), "3/1/1850");
}

TEST(DateTimeValue, ParseReadsWhatTheTextsWrite) {
    for (double day : {-20000.0, -1.0, 0.0, 2.0, 46364.0}) {
        const auto parsed = DateTimeValue::Parse(DateTimeValue::ShortDateText(day));
        ASSERT_TRUE(parsed.has_value()) << day;
        EXPECT_EQ(*parsed, day);
    }
    const auto withTime = DateTimeValue::Parse(DateTimeValue::DateTimeText(46364.75));
    ASSERT_TRUE(withTime.has_value());
    EXPECT_EQ(*withTime, 46364.75);
    EXPECT_FALSE(DateTimeValue::Parse("12/45/2026").has_value());
    EXPECT_FALSE(DateTimeValue::Parse("next week").has_value());
    EXPECT_FALSE(DateTimeValue::Parse("").has_value());
}

} // namespace
