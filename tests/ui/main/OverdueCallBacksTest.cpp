#include "data/DateTimeValue.h"
#include "support/TempDatabase.h"
#include "support/TempSettings.h"
#include "ui/controls/TDBGrid.h"
#include "ui/controls/TDateTimePicker.h"
#include "ui/controls/TErrorBox.h"
#include "ui/main/ContactLists.h"
#include "ui/main/frmMain.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

double Today() {
    return DateTimeValue::FromDate(QDate::currentDate());
}

QString Real(double value) {
    return QString::number(value, 'g', 17);
}

// A contact as the model sees it: its call-back and last call, null as NaN.
struct Stored {
    qint64 id;
    double callback;
    double lastCall;
};

class OverdueCallBacks : public ::testing::Test {
protected:
    void Open() {
        window = std::make_unique<TfrmMain>(db.Folder(), [this](std::exception_ptr error) {
            try {
                std::rethrow_exception(error);
            } catch (const EError &e) {
                reported << e.Message();
            }
        });
        lists = window->lists.get();
    }

    // The ids the call-backs list shows, in order.
    QList<qint64> Listed() {
        QList<qint64> ids;
        TRecordCursor &query = window->qryCallBack;
        if (!query.Active())
            return ids;
        for (query.First(); !query.Eof(); query.Next())
            ids << query.FieldNamed("ContactID")->IntegerValue();
        query.First();
        return ids;
    }

    qint64 Add(const QString &company, const QString &callback, const QString &lastCall) {
        db.Exec(QStringLiteral("INSERT INTO Contacts (CompanyName, CountryID, StatusID, "
                               "CallbackDate, LastCallDate) VALUES ('%1', 1, 1, %2, %3)")
                    .arg(company, callback, lastCall));
        return db.Scalar(QStringLiteral("SELECT max(ContactID) FROM Contacts")).toLongLong();
    }

    TempSettings settings;
    TempDatabase db;
    QStringList reported;
    std::unique_ptr<TfrmMain> window;
    ContactLists *lists = nullptr;
};

// What the list must hold for a day: the day's call-backs, then those before
// it not called since, oldest first; ties in the order of the key, as the
// call-back index keeps them.
QList<qint64> Expected(std::vector<Stored> rows, double day, bool overdue) {
    auto byCallback = [](const Stored &a, const Stored &b) {
        return a.callback != b.callback ? a.callback < b.callback : a.id < b.id;
    };
    // Null call-backs are due on no day (and would not order).
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [](const Stored &row) { return std::isnan(row.callback); }),
               rows.end());
    std::sort(rows.begin(), rows.end(), byCallback);
    QList<qint64> ids;
    for (const Stored &row : rows)
        if (row.callback >= day && row.callback < day + 1)
            ids << row.id;
    if (!overdue)
        return ids;
    for (const Stored &row : rows)
        if (row.callback < day && (std::isnan(row.lastCall) || row.lastCall < row.callback))
            ids << row.id;
    return ids;
}

TEST_F(OverdueCallBacks, RandomContactsListTheDayThenTheMissedOnesOldestFirst) {
    std::mt19937 random(20261209);
    std::vector<Stored> rows;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int i = 0; i < 300; ++i) {
        const int kind = int(random() % 12);
        double callback = nan;
        QString callbackSql = QStringLiteral("NULL");
        if (kind == 0) {
            // Texts sort after every number; they are due on no day.
            callbackSql = QStringLiteral("'soon'");
        } else if (kind == 1) {
            callback = DateTimeValue::FromDate(QDate(1, 3, 1)) + 0.5;
        } else if (kind == 2) {
            callback = DateTimeValue::FromDate(QDate(9999, 3, 1));
        } else if (kind > 3) {
            // Whole minutes across a few weeks, many on the same day.
            callback = Today() + int(random() % 40) - 30 + int(random() % 1440) / 1440.0;
        }
        if (!std::isnan(callback))
            callbackSql = Real(callback);
        double lastCall = nan;
        const int called = int(random() % 4);
        if (called == 1 && !std::isnan(callback))
            lastCall = callback - 2;
        else if (called == 2 && !std::isnan(callback))
            lastCall = callback; // called at the call-back's own time: done
        else if (called == 3)
            lastCall = Today() - 10 + int(random() % 20);
        const qint64 id = Add(QStringLiteral("Contact %1").arg(i), callbackSql,
                              std::isnan(lastCall) ? QStringLiteral("NULL") : Real(lastCall));
        if (kind != 0)
            rows.push_back({id, callback, lastCall});
    }
    Open();
    ASSERT_FALSE(lists->chkOverdue->isChecked());
    EXPECT_EQ(lists->chkOverdue->text(), "Include overdue");
    for (int round = 0; round < 12; ++round) {
        const double day = Today() + int(random() % 12) - 9;
        lists->timeCallBacks->SetDateTime(day + 0.25);
        const bool overdue = round % 3 != 0;
        if (lists->chkOverdue->isChecked() != overdue)
            QTest::mouseClick(lists->chkOverdue, Qt::LeftButton);
        QTest::mouseClick(lists->btnCallBacks, Qt::LeftButton);
        QList<qint64> expected = Expected(rows, day, overdue);
        QList<qint64> listed = Listed();
        if (!overdue) {
            // The day's own list is as it always was; its order is the
            // engine's.
            std::sort(expected.begin(), expected.end());
            std::sort(listed.begin(), listed.end());
        }
        EXPECT_EQ(listed, expected) << "round " << round << " day " << day;
    }
    EXPECT_TRUE(reported.isEmpty()) << reported.join(";").toStdString();
}

TEST_F(OverdueCallBacks, TickingListsAtOnceIsKeptAndACallTakesAContactOff) {
    const qint64 missed = Add("Missed", Real(Today() - 3 + 0.4), "NULL");
    const qint64 older = Add("Older", Real(Today() - 20 + 0.6), Real(Today() - 40));
    Add("Called since", Real(Today() - 2), Real(Today() - 1));
    const qint64 due = Add("Due today", Real(Today() + 0.7), "NULL");
    Open();
    window->show();
    QApplication::processEvents();
    EXPECT_EQ(Listed(), (QList<qint64>{due}));
    // Tab from Display still goes to the list: the box is no tab stop.
    EXPECT_EQ(lists->chkOverdue->focusPolicy(), Qt::NoFocus);
    EXPECT_GE(lists->chkOverdue->x(), lists->btnCallBacks->geometry().right());

    QTest::mouseClick(lists->chkOverdue, Qt::LeftButton);
    EXPECT_EQ(Listed(), (QList<qint64>{due, older, missed}));

    // Load the missed one, record the call, save: Display leaves it out.
    window->qryCallBack.First();
    window->qryCallBack.Next();
    window->qryCallBack.Next();
    QTest::mouseClick(lists->btnLoadCallback, Qt::LeftButton);
    ASSERT_EQ(window->rsContacts.FieldNamed("ContactID")->IntegerValue(), missed);
    window->rsContacts.Edit();
    window->rsContacts.FieldNamed("LastCallDate")->SetDateTimeValue(Today() + 0.1);
    window->rsContacts.Post();
    QTest::mouseClick(lists->btnCallBacks, Qt::LeftButton);
    EXPECT_EQ(Listed(), (QList<qint64>{due, older}));

    // The tick is there at the next start; unticked, the day's list alone.
    window.reset();
    Open();
    EXPECT_TRUE(lists->chkOverdue->isChecked());
    EXPECT_EQ(Listed(), (QList<qint64>{due, older}));
    QTest::mouseClick(lists->chkOverdue, Qt::LeftButton);
    EXPECT_EQ(Listed(), (QList<qint64>{due}));
    window.reset();
    Open();
    EXPECT_FALSE(lists->chkOverdue->isChecked());
    EXPECT_TRUE(reported.isEmpty()) << reported.join(";").toStdString();
}

} // namespace
