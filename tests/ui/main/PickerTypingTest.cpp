// Typing a call-back day into the editor's date picker, as a user does:
// click into the day, type its digits; the contact is stored with that day.

#include "data/DateTimeValue.h"
#include "support/TempDatabase.h"
#include "support/TempSettings.h"
#include "ui/controls/TDateTimePicker.h"
#include "ui/controls/TErrorBox.h"
#include "ui/main/EditorCommands.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Clicks into the part of a picker's text until that part is current.
void ClickInto(TDateTimePicker *picker, QDateTimeEdit::Section section) {
    QLineEdit *text = picker->Editor()->findChild<QLineEdit *>();
    ASSERT_NE(text, nullptr);
    for (int x = 1; x < text->width() && picker->Editor()->currentSection() != section; x += 2)
        QTest::mouseClick(text, Qt::LeftButton, {}, QPoint(x, text->height() / 2));
    ASSERT_EQ(picker->Editor()->currentSection(), section);
}

TEST(PickerTyping, TheCallbackDayTypedIntoThePickerIsStored) {
    TempSettings settings;
    TempDatabase db(2);
    QStringList shown;
    TErrorBox::ShowHook = [&](const QString &, const QString &text) { shown << text; };
    const double day = DateTimeValue::FromDate(QDate(2026, 12, 9));
    db.Exec(QStringLiteral("update Contacts set CallbackDate = %1 where ContactID = 1")
                .arg(day + 0.5625, 0, 'f', 6));
    TfrmMain window(db.Folder(), [&](std::exception_ptr) { shown << "FormCreate failed"; });
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    TDateTimePicker *date = window.commands->dateCallback;
    date->Editor()->setFocus();
    QApplication::processEvents();
    ClickInto(date, QDateTimeEdit::DaySection);
    QTest::keyClicks(date->Editor(), "17");
    TDateTimePicker *time = window.commands->timeCallback;
    time->Editor()->setFocus();
    QApplication::processEvents();
    ClickInto(time, QDateTimeEdit::MinuteSection);
    QTest::keyClicks(time->Editor(), "45");
    EXPECT_DOUBLE_EQ(db.Scalar("select CallbackDate from Contacts where ContactID = 1").toDouble(),
                     DateTimeValue::FromDate(QDate(2026, 12, 17)) + (13 * 60 + 45) / 1440.0);
    EXPECT_TRUE(shown.isEmpty()) << shown.join("; ").toStdString();
    TErrorBox::ShowHook = nullptr;
}

} // namespace
