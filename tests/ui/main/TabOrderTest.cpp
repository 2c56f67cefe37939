// Tab and Shift+Tab pressed on a shown window: the editor's stops in their
// order, then the shown list's, and round to New again.

#include "data/DateTimeValue.h"
#include "support/TempDatabase.h"
#include "support/TempSettings.h"
#include "ui/controls/TDBEdit.h"
#include "ui/controls/TDBGrid.h"
#include "ui/controls/TDBLookupComboBox.h"
#include "ui/controls/TDBMemo.h"
#include "ui/controls/TDateTimePicker.h"
#include "ui/controls/TEdit.h"
#include "ui/main/ContactEditor.h"
#include "ui/main/ContactLists.h"
#include "ui/main/EditorCommands.h"
#include "ui/main/frmMain.h"

#include "data/Field.h"

#include <QApplication>
#include <QDateTimeEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

std::string Name(const QWidget *w) {
    if (!w)
        return "no focus";
    const QWidget *named = w;
    while (named && named->objectName().isEmpty())
        named = named->parentWidget();
    std::string name = named ? named->objectName().toStdString() : "?";
    if (named != w)
        name += std::string(" > ") + w->metaObject()->className();
    return name;
}

class TabOrder : public ::testing::Test {
protected:
    TabOrder() : db(4) {
        // One contact due today, so that the call-backs grid holds one row
        // and one Tab leaves it.
        const double today = DateTimeValue::FromDate(QDate::currentDate());
        db.Exec(QStringLiteral("update Contacts set CallbackDate = %1 + (ContactID = 2) * 30")
                    .arg(today - 30 + 0.5, 0, 'g', 17));
        window =
            std::make_unique<TfrmMain>(db.Folder(), [this](std::exception_ptr) { failed = true; });
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        EXPECT_FALSE(failed);
    }

    // The editor's stops from New to Last, as the widgets that take the focus.
    std::vector<QWidget *> EditorStops() const {
        const ContactEditor &e = *window->editor;
        const EditorCommands &c = *window->commands;
        return {c.btnNew,
                e.txtCompany,
                e.txtContactPerson,
                e.cmbCountry,
                e.txtState,
                e.txtCity,
                e.txtAddress,
                e.txtPostCode,
                e.txtPhone,
                e.txtFax,
                e.txtMobile,
                e.txtEmail,
                e.txtUrl,
                e.cmbStatus,
                c.dateLastCall->Editor(),
                c.timeLastCall->Editor(),
                c.dateCallback->Editor(),
                c.timeCallback->Editor(),
                e.txtNotes,
                c.btnNext,
                c.btnPrev,
                c.btnFirst,
                c.btnLast,
                window->PageControl1->tabBar()};
    }

    void Focus(QWidget *widget) {
        widget->setFocus(Qt::OtherFocusReason);
        QApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), widget) << Name(QApplication::focusWidget());
    }

    // Presses Tab (or Shift+Tab) on the focus widget once for each widget of
    // `expected` and checks that the focus reached it.
    void Walk(const std::vector<QWidget *> &expected, bool forward = true) {
        for (size_t i = 0; i < expected.size(); ++i) {
            QWidget *from = QApplication::focusWidget();
            ASSERT_NE(from, nullptr);
            QTest::keyClick(from, Qt::Key_Tab, forward ? Qt::NoModifier : Qt::ShiftModifier);
            ASSERT_EQ(QApplication::focusWidget(), expected[i])
                << "press " << i + 1 << " from " << Name(from) << " reached "
                << Name(QApplication::focusWidget()) << ", not " << Name(expected[i]);
        }
    }

    TempSettings settings;
    TempDatabase db;
    bool failed = false;
    std::unique_ptr<TfrmMain> window;
};

TEST_F(TabOrder, TabWalksTheEditorThenTheShownListAndComesRoundToNew) {
    ContactLists &lists = *window->lists;
    ASSERT_EQ(window->PageControl1->currentWidget(), window->tabCallBacks);
    ASSERT_EQ(window->qryCallBack.RecordCount(), 1);
    Focus(window->commands->btnNew);
    std::vector<QWidget *> stops = EditorStops();
    stops.erase(stops.begin()); // the walk starts on New
    stops.insert(stops.end(),
                 {lists.timeCallBacks->Editor(), lists.btnCallBacks, lists.gridCallBack,
                  lists.btnLoadCallback, window->commands->btnNew});
    Walk(stops);

    // With the search tab shown, its own stops follow the tab bar. The
    // search grid lists all four contacts: there Tab steps down its rows
    // and leaves it from the last one.
    window->PageControl1->setCurrentWidget(window->tabSearch);
    Focus(window->commands->btnLast);
    Walk({window->PageControl1->tabBar(), lists.btnSearch, lists.txtSearch, lists.gridSearch,
          lists.gridSearch, lists.gridSearch, lists.gridSearch});
    EXPECT_EQ(window->qrySearch.FieldNamed("ContactID")->IntegerValue(), 4);
    Walk({lists.btnLoadSearch, window->commands->btnNew, window->editor->txtCompany});
    EXPECT_FALSE(failed);
}

TEST_F(TabOrder, ShiftTabWalksTheSameStopsBackwards) {
    ContactLists &lists = *window->lists;
    Focus(window->commands->btnNew);
    std::vector<QWidget *> stops = EditorStops();
    stops.insert(stops.end(), {lists.timeCallBacks->Editor(), lists.btnCallBacks,
                               lists.gridCallBack, lists.btnLoadCallback});
    // From New back round through the list and the editor to New again.
    std::vector<QWidget *> back(stops.rbegin(), stops.rend());
    Walk(back, false);
}

TEST_F(TabOrder, OneTabLeavesAPickerFromWhicheverPartIsSelected) {
    EditorCommands &c = *window->commands;
    QDateTimeEdit *time = c.timeLastCall->Editor();
    Focus(time);
    // Right still moves from part to part inside the picker.
    const QDateTimeEdit::Section first = time->currentSection();
    QTest::keyClick(time, Qt::Key_Right);
    QTest::keyClick(time, Qt::Key_Right);
    ASSERT_NE(time->currentSection(), first);
    ASSERT_EQ(QApplication::focusWidget(), time);
    Walk({c.dateCallback->Editor()});
    // Shift+Tab from the year of the date goes back to the time before it.
    QDateTimeEdit *date = c.dateCallback->Editor();
    date->setCurrentSection(QDateTimeEdit::YearSection);
    Walk({time}, false);
    // The list's day picker behaves alike.
    window->lists->timeCallBacks->Editor()->setFocus();
    window->lists->timeCallBacks->Editor()->setCurrentSection(QDateTimeEdit::DaySection);
    QApplication::processEvents();
    Walk({window->lists->btnCallBacks});
}

TEST_F(TabOrder, ButtonsOffTheOrderNeverTakeATabAndHandItOnFromAClick) {
    EditorCommands &c = *window->commands;
    ContactEditor &e = *window->editor;
    // The title strip's picture buttons take no focus at all.
    EXPECT_EQ(window->btnPreview->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(window->btnPrint->focusPolicy(), Qt::NoFocus);
    for (QPushButton *b : {c.btnSave, c.btnCancel, c.btnDelete, c.btnMail, c.btnBrowse})
        EXPECT_EQ(b->focusPolicy(), Qt::ClickFocus) << b->objectName().toStdString();
    // A click gives Save, Cancel and Delete the focus; Tab then goes on to
    // Next, Shift+Tab back to Remarks.
    for (QPushButton *b : {c.btnSave, c.btnCancel, c.btnDelete}) {
        b->setFocus(Qt::MouseFocusReason);
        Walk({c.btnNext});
        b->setFocus(Qt::MouseFocusReason);
        Walk({e.txtNotes}, false);
    }
    // From the mail button to the web address below it.
    c.btnMail->setFocus(Qt::MouseFocusReason);
    Walk({e.txtUrl});
    c.btnBrowse->setFocus(Qt::MouseFocusReason);
    Walk({e.cmbStatus});
}

TEST_F(TabOrder, DisabledAndHiddenStopsAreSkipped) {
    EditorCommands &c = *window->commands;
    ContactEditor &e = *window->editor;
    e.txtContactPerson->setEnabled(false);
    c.btnPrev->hide();
    Focus(e.txtCompany);
    Walk({e.cmbCountry});
    Focus(e.txtNotes);
    Walk({c.btnNext, c.btnFirst});
    Walk({c.btnNext, e.txtNotes}, false);
}

} // namespace
