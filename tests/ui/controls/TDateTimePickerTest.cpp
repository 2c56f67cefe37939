#include "ui/controls/TDateTimePicker.h"
#include "ErrorBoxCapture.h"
#include "data/DateTimeValue.h"
#include "ui/controls/DateTimeErrors.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

double At(int y, int m, int d, int h = 0, int mi = 0, int s = 0) {
    return DateTimeValue::FromDateTime(QDateTime(QDate(y, m, d), QTime(h, mi, s)));
}

// A shown picker with its change count, as the windows set one up.
class PickerTest : public ::testing::Test {
protected:
    void Make(TDateTimePicker::TDateTimeKind kind) {
        picker.SetKind(kind);
        picker.OnChange = [this](TDateTimePicker *sender) {
            EXPECT_EQ(sender, &picker);
            ++changes;
            seenInHandler = sender->Date();
        };
        picker.show();
        picker.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&picker));
        picker.Editor()->setFocus();
        QCoreApplication::processEvents();
    }

    QString Shown() const { return picker.Editor()->text(); }

    // Moves to the n-th part of the shown date or time (0 the first) with
    // the keys a user would press: Home, then Tab from part to part.
    void MoveToPart(int n) {
        QTest::keyClick(picker.Editor(), Qt::Key_Home);
        for (int i = 0; i < n; ++i)
            QTest::keyClick(picker.Editor(), Qt::Key_Tab);
    }

    TDateTimePicker picker;
    int changes = 0;
    double seenInHandler = -1;
};

} // namespace

TEST_F(PickerTest, StartsWithNowAndTheDefaultSize) {
    const double before = DateTimeValue::FromDateTime(QDateTime::currentDateTime());
    TDateTimePicker fresh;
    const double after = DateTimeValue::FromDateTime(QDateTime::currentDateTime());
    EXPECT_GE(fresh.Date(), before - 1e-6);
    EXPECT_LE(fresh.Date(), after + 1e-6);
    EXPECT_EQ(fresh.width(), 186);
    EXPECT_EQ(fresh.height(), fresh.fontMetrics().height() + 8);
    QFont bigger = fresh.font();
    bigger.setPointSize(bigger.pointSize() * 2);
    fresh.setFont(bigger);
    EXPECT_EQ(fresh.height(), QFontMetrics(bigger).height() + 8);
}

TEST_F(PickerTest, KindsShowTheShortDateAndTheLongTime) {
    Make(TDateTimePicker::dtkDate);
    picker.SetDateTime(At(2006, 6, 26, 21, 41, 22));
    EXPECT_EQ(Shown(), "6/26/2006");
    EXPECT_TRUE(picker.Editor()->calendarPopup());
    picker.SetKind(TDateTimePicker::dtkTime);
    EXPECT_EQ(Shown(), "9:41:22 PM");
    EXPECT_FALSE(picker.Editor()->calendarPopup());
    picker.SetDateTime(0);
    EXPECT_EQ(Shown(), "12:00:00 AM");
    picker.SetKind(TDateTimePicker::dtkDate);
    EXPECT_EQ(Shown(), "12/30/1899");
    EXPECT_EQ(changes, 0);
}

TEST_F(PickerTest, WritesFromCodeNeverRaiseOnChange) {
    Make(TDateTimePicker::dtkDate);
    picker.SetDateTime(At(2006, 6, 26, 21, 41, 22));
    picker.SetDate(At(2011, 3, 4));
    picker.SetTime(At(2000, 1, 1, 8, 30));
    picker.SetMaxDate(At(2010, 1, 1));
    picker.SetMinDate(At(2000, 1, 1));
    picker.SetKind(TDateTimePicker::dtkTime);
    picker.SetDateTime(At(2005, 5, 5, 5, 5, 5));
    picker.SetTime(At(2005, 5, 5, 6, 6, 6));
    QTest::qWait(10);
    EXPECT_EQ(changes, 0);
    EXPECT_DOUBLE_EQ(picker.Date(), At(2005, 5, 5, 6, 6, 6));
}

TEST_F(PickerTest, DateKeepsTheTimeOfDayAndZeroNeedsOne) {
    Make(TDateTimePicker::dtkDate);
    // dateCallback: the window stores 21:41:22 as its time of day.
    picker.SetDateTime(At(2006, 6, 26, 21, 41, 22));
    picker.SetDate(At(2010, 1, 5, 9, 0, 0));
    EXPECT_DOUBLE_EQ(picker.Date(), At(2010, 1, 5, 21, 41, 22));
    picker.SetDate(0);
    // The time of day goes through the subtraction of the whole days.
    EXPECT_NEAR(picker.Date(), At(1899, 12, 30, 21, 41, 22), 1e-9);
    EXPECT_EQ(Shown(), "12/30/1899");

    // With midnight as its time of day the result would be 0 exactly.
    picker.SetDateTime(At(2006, 6, 26));
    try {
        picker.SetDate(0);
        FAIL() << "no error";
    } catch (const EDateTimeError &e) {
        EXPECT_EQ(e.Message(), "You must be in ShowCheckbox mode to set to this date");
    }
    EXPECT_DOUBLE_EQ(picker.Date(), At(2006, 6, 26));
    EXPECT_EQ(Shown(), "6/26/2006");

    picker.SetShowCheckbox(true);
    picker.SetDate(0);
    EXPECT_DOUBLE_EQ(picker.Date(), 0.0);
    EXPECT_FALSE(picker.Checked());
    EXPECT_EQ(changes, 0);
}

TEST_F(PickerTest, DateAndTimeBeforeTheEpochCountTheFractionAwayFromZero) {
    Make(TDateTimePicker::dtkDate);
    picker.SetDateTime(-1.25);
    picker.SetDate(-5.75);
    EXPECT_DOUBLE_EQ(picker.Date(), -5.25);
    picker.SetDate(3.5);
    EXPECT_DOUBLE_EQ(picker.Date(), 3.25);
    picker.SetDateTime(-2.25);
    picker.SetTime(0.5);
    EXPECT_DOUBLE_EQ(picker.Date(), -2.5);
}

TEST_F(PickerTest, TimeKeepsTheDateAndIgnoresTheSameTimeOfDay) {
    Make(TDateTimePicker::dtkTime);
    // timeCallback: the window stores 26 June 2006 as its date.
    picker.SetDateTime(At(2006, 6, 26, 21, 41, 22));
    picker.SetTime(At(1999, 1, 1, 21, 41, 22));
    EXPECT_DOUBLE_EQ(picker.Date(), At(2006, 6, 26, 21, 41, 22));
    picker.SetTime(At(1999, 1, 1, 7, 15, 0));
    EXPECT_DOUBLE_EQ(picker.Date(), At(2006, 6, 26, 7, 15, 0));
    picker.SetTime(0);
    EXPECT_DOUBLE_EQ(picker.Date(), At(2006, 6, 26));
    EXPECT_EQ(Shown(), "12:00:00 AM");

    // Leaving exactly 0 needs the check box.
    picker.SetDateTime(At(1899, 12, 30, 12, 0, 0));
    EXPECT_THROW(picker.SetTime(At(2006, 1, 1)), EDateTimeError);
    EXPECT_DOUBLE_EQ(picker.Date(), 0.5);
    picker.SetShowCheckbox(true);
    picker.SetTime(At(2006, 1, 1));
    EXPECT_FALSE(picker.Checked());
    EXPECT_DOUBLE_EQ(picker.Date(), 0.5);
    EXPECT_EQ(changes, 0);
}

TEST_F(PickerTest, RangeBoundsRefuseDatesAndPullTheValueIn) {
    Make(TDateTimePicker::dtkDate);
    picker.SetDateTime(At(2006, 6, 26, 10, 0, 0));
    picker.SetMaxDate(At(2010, 1, 1));
    picker.SetMinDate(At(2000, 1, 1));
    try {
        picker.SetDate(At(2010, 1, 2));
        FAIL() << "no error";
    } catch (const EDateTimeError &e) {
        EXPECT_EQ(e.Message(), "Date exceeds maximum of 1/1/2010");
    }
    try {
        picker.SetDate(At(1999, 12, 31));
        FAIL() << "no error";
    } catch (const EDateTimeError &e) {
        EXPECT_EQ(e.Message(), "Date is less than minimum of 1/1/2000");
    }
    EXPECT_DOUBLE_EQ(picker.Date(), At(2006, 6, 26, 10, 0, 0));
    EXPECT_EQ(Shown(), "6/26/2006");

    try {
        picker.SetMaxDate(At(1995, 1, 1));
        FAIL() << "no error";
    } catch (const EDateTimeError &e) {
        EXPECT_EQ(e.Message(), "Date is less than minimum of 1/1/2000");
    }
    try {
        picker.SetMinDate(At(2011, 1, 1));
        FAIL() << "no error";
    } catch (const EDateTimeError &e) {
        EXPECT_EQ(e.Message(), "Date exceeds maximum of 1/1/2010");
    }
    EXPECT_DOUBLE_EQ(picker.MaxDate(), At(2010, 1, 1));

    picker.SetMaxDate(At(2003, 3, 3));
    EXPECT_DOUBLE_EQ(picker.Date(), At(2003, 3, 3, 10, 0, 0));
    picker.SetMaxDate(0);
    picker.SetMinDate(At(2008, 8, 8));
    EXPECT_DOUBLE_EQ(picker.Date(), At(2008, 8, 8, 10, 0, 0));
    EXPECT_EQ(changes, 0);
}

TEST_F(PickerTest, ValuesAndRangesTheEditorCannotHoldAreRefused) {
    Make(TDateTimePicker::dtkDate);
    picker.SetDateTime(At(2006, 6, 26));
    try {
        picker.SetDateTime(DateTimeValue::FromDate(QDate(50, 1, 1)));
        FAIL() << "no error";
    } catch (const ECommonCalendarError &e) {
        EXPECT_EQ(e.Message(), "Failed to set calendar date or time");
    }
    EXPECT_DOUBLE_EQ(picker.Date(), At(2006, 6, 26));
    EXPECT_EQ(Shown(), "6/26/2006");
    try {
        picker.SetMinDate(DateTimeValue::FromDate(QDate(50, 1, 1)));
        FAIL() << "no error";
    } catch (const ECommonCalendarError &e) {
        EXPECT_EQ(e.Message(), "Failed to set calendar min/max range");
    }
    EXPECT_DOUBLE_EQ(picker.MinDate(), 0.0);
}

TEST_F(PickerTest, UserArrowAndDigitChangesRaiseOnChangeAndKeepTheTimeOfDay) {
    Make(TDateTimePicker::dtkDate);
    picker.SetDateTime(At(2006, 6, 26, 21, 41, 22));
    MoveToPart(1);
    QTest::keyClick(picker.Editor(), Qt::Key_Up);
    EXPECT_EQ(changes, 1);
    EXPECT_DOUBLE_EQ(picker.Date(), At(2006, 6, 27, 21, 41, 22));
    EXPECT_DOUBLE_EQ(seenInHandler, picker.Date());
    EXPECT_EQ(Shown(), "6/27/2006");

    // Back to the month, selected as Shift+Tab leaves it, and a digit typed.
    QTest::keyClick(picker.Editor(), Qt::Key_Backtab, Qt::ShiftModifier);
    QTest::keyClick(picker.Editor(), Qt::Key_8);
    EXPECT_GE(changes, 2);
    EXPECT_DOUBLE_EQ(picker.Date(), At(2006, 8, 27, 21, 41, 22));
}

TEST_F(PickerTest, UserTimeChangeKeepsTheDate) {
    Make(TDateTimePicker::dtkTime);
    picker.SetDateTime(At(2006, 6, 26, 21, 41, 22));
    MoveToPart(0);
    QTest::keyClick(picker.Editor(), Qt::Key_Down);
    EXPECT_EQ(changes, 1);
    EXPECT_DOUBLE_EQ(picker.Date(), At(2006, 6, 26, 20, 41, 22));
    EXPECT_EQ(Shown(), "8:41:22 PM");
}

TEST_F(PickerTest, HandlerMaySetThePickerWithoutAnotherOnChange) {
    Make(TDateTimePicker::dtkDate);
    picker.SetDateTime(At(2006, 6, 26, 21, 41, 22));
    picker.OnChange = [this](TDateTimePicker *sender) {
        ++changes;
        sender->SetDate(At(2020, 2, 2));
    };
    MoveToPart(1);
    QTest::keyClick(picker.Editor(), Qt::Key_Up);
    EXPECT_EQ(changes, 1);
    EXPECT_DOUBLE_EQ(picker.Date(), At(2020, 2, 2, 21, 41, 22));
    EXPECT_EQ(Shown(), "2/2/2020");
}

TEST_F(PickerTest, ErrorInTheHandlerGoesToTheErrorBoxAndTheEditorGoesOn) {
    ErrorBoxCapture box;
    Make(TDateTimePicker::dtkDate);
    picker.SetDateTime(At(2006, 6, 26, 21, 41, 22));
    picker.OnChange = [this](TDateTimePicker *) {
        ++changes;
        throw EDatabaseError("rsContacts: Cannot perform this operation on a closed dataset");
    };
    MoveToPart(1);
    QTest::keyClick(picker.Editor(), Qt::Key_Up);
    QTest::keyClick(picker.Editor(), Qt::Key_Up);
    EXPECT_EQ(changes, 2);
    ASSERT_EQ(box.shown.size(), 2u);
    EXPECT_EQ(box.shown[0].text, "rsContacts: Cannot perform this operation on a closed dataset.");
    // What the handler did before the error stays done: the value is taken.
    EXPECT_DOUBLE_EQ(picker.Date(), At(2006, 6, 28, 21, 41, 22));
}

TEST_F(PickerTest, UserChangeThatTheSetterRefusesIsShownAndUndone) {
    ErrorBoxCapture box;
    Make(TDateTimePicker::dtkDate);
    picker.SetDateTime(At(1899, 12, 31));
    MoveToPart(1);
    QTest::keyClick(picker.Editor(), Qt::Key_Down);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "You must be in ShowCheckbox mode to set to this date.");
    EXPECT_DOUBLE_EQ(picker.Date(), At(1899, 12, 31));
    EXPECT_EQ(Shown(), "12/31/1899");
    EXPECT_EQ(changes, 0);
}

TEST_F(PickerTest, CalendarReportsWhileOpenAndAppliesTheDayOnClose) {
    Make(TDateTimePicker::dtkDate);
    picker.SetDateTime(At(2006, 6, 26, 21, 41, 22));
    int dropDowns = 0, closeUps = 0;
    picker.OnDropDown = [&](TDateTimePicker *) { ++dropDowns; };
    picker.OnCloseUp = [&](TDateTimePicker *) { ++closeUps; };

    // The drop-down button at the editor's right edge.
    QDateTimeEdit *editor = picker.Editor();
    QTest::mouseClick(editor, Qt::LeftButton, {},
                      QPoint(editor->width() - 4, editor->height() / 2));
    ASSERT_TRUE(picker.DroppedDown());
    EXPECT_EQ(dropDowns, 1);
    QCalendarWidget *calendar = picker.Editor()->calendarWidget();
    ASSERT_TRUE(calendar->isVisible());
    QWidget *days = calendar->focusProxy() ? calendar->focusProxy() : calendar;
    QTest::keyClick(days, Qt::Key_Right);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(picker.DroppedDown());
    EXPECT_DOUBLE_EQ(picker.Date(), At(2006, 6, 27, 21, 41, 22));

    QTest::keyClick(days, Qt::Key_Return);
    EXPECT_FALSE(picker.DroppedDown());
    EXPECT_EQ(closeUps, 1);
    EXPECT_DOUBLE_EQ(picker.Date(), At(2006, 6, 27, 21, 41, 22));
    EXPECT_EQ(Shown(), "6/27/2006");
}

TEST_F(PickerTest, UserTogglingTheCheckBoxRaisesOnChange) {
    Make(TDateTimePicker::dtkDate);
    picker.SetDateTime(At(2006, 6, 26, 21, 41, 22));
    picker.SetShowCheckbox(true);
    auto *box = picker.findChild<QCheckBox *>();
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(box->isVisible());
    EXPECT_TRUE(picker.Checked());

    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() / 2, box->height() / 2));
    EXPECT_FALSE(picker.Checked());
    EXPECT_FALSE(picker.Editor()->isEnabled());
    EXPECT_EQ(changes, 1);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() / 2, box->height() / 2));
    EXPECT_TRUE(picker.Checked());
    EXPECT_EQ(changes, 2);
    EXPECT_DOUBLE_EQ(picker.Date(), At(2006, 6, 26, 21, 41, 22));

    // From code: no OnChange.
    picker.SetChecked(false);
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(changes, 2);
}

// A user clicks into a part and types its digits, as in any date edit; the
// handler stores and writes the value back each time, as the editor does.
TEST_F(PickerTest, DigitsTypedIntoAPartSetThatPartWhileTheHandlerWritesBack) {
    Make(TDateTimePicker::dtkDate);
    picker.SetDateTime(At(2026, 12, 9, 13, 30));
    picker.OnChange = [this](TDateTimePicker *sender) {
        ++changes;
        sender->SetDate(sender->Date());
        sender->SetTime(sender->Date());
    };
    // The day is the second part of "12/9/2026": click on it.
    QLineEdit *text = picker.Editor()->findChild<QLineEdit *>();
    ASSERT_NE(text, nullptr);
    // Where the day is drawn depends on the style's margins: the first
    // place a click selects it.
    for (int x = 1;
         x < text->width() && picker.Editor()->currentSection() != QDateTimeEdit::DaySection;
         x += 2)
        QTest::mouseClick(text, Qt::LeftButton, {}, QPoint(x, text->height() / 2));
    ASSERT_EQ(picker.Editor()->currentSection(), QDateTimeEdit::DaySection);
    QTest::keyClicks(picker.Editor(), "17");
    EXPECT_EQ(Shown(), "12/17/2026");
    EXPECT_DOUBLE_EQ(picker.Date(), At(2026, 12, 17, 13, 30));
    // The year, typed whole.
    MoveToPart(2);
    QTest::keyClicks(picker.Editor(), "2031");
    EXPECT_EQ(Shown(), "12/17/2031");
    EXPECT_GE(changes, 2);

    TDateTimePicker time;
    time.SetKind(TDateTimePicker::dtkTime);
    time.SetDateTime(At(2026, 12, 9, 13, 30));
    time.OnChange = [](TDateTimePicker *sender) { sender->SetTime(sender->Date()); };
    time.show();
    time.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&time));
    time.Editor()->setFocus();
    QTest::keyClick(time.Editor(), Qt::Key_Home);
    QTest::keyClick(time.Editor(), Qt::Key_Tab); // the minutes
    QTest::keyClicks(time.Editor(), "45");
    EXPECT_EQ(time.Editor()->text(), "1:45:00 PM");
    EXPECT_DOUBLE_EQ(time.Date(), At(2026, 12, 9, 13, 45));
}
