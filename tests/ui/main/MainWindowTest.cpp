#include "support/TempDatabase.h"
#include "support/TempSettings.h"
#include "ui/controls/TDBEdit.h"
#include "ui/controls/TDBLookupComboBox.h"
#include "ui/controls/TDBMemo.h"
#include "ui/controls/TDateTimePicker.h"
#include "ui/main/ContactEditor.h"
#include "ui/main/EditorCommands.h"
#include "ui/main/frmMain.h"
#include <QPushButton>

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

struct Reported {
    QStringList messages;
    TfrmMain::TErrorReporter Reporter() {
        return [this](std::exception_ptr error) {
            try {
                std::rethrow_exception(error);
            } catch (const EError &e) {
                messages << e.Message();
            } catch (const std::exception &e) {
                messages << QString::fromUtf8(e.what());
            }
        };
    }
};

QStringList MenuTexts(QMenu *menu) {
    QStringList texts;
    for (QAction *action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

TEST(MainWindow, StartsOnTheFirstContactWithItsListsOpen) {
    TempDatabase db(25);
    Reported reported;
    TfrmMain window(db.Folder(), reported.Reporter());
    EXPECT_TRUE(reported.messages.isEmpty()) << reported.messages.join("; ").toStdString();
    EXPECT_EQ(window.windowTitle(), "Corvana - Business Contacts Database");
    EXPECT_TRUE(window.rsContacts.Active());
    EXPECT_EQ(window.rsContacts.FieldNamed("ContactID")->IntegerValue(), 1);
    EXPECT_TRUE(window.qryCountries.Active());
    EXPECT_TRUE(window.rsStatus.Active());
    EXPECT_TRUE(window.qrySearch.Active());
    EXPECT_TRUE(window.qryCallBack.Active());
    EXPECT_EQ(window.dsContacts.State(), stBrowse);
    EXPECT_FALSE(window.dsSearch.AutoEdit());
    EXPECT_FALSE(window.dsCallback.AutoEdit());
    // The call-back list holds today's contacts only.
    const double today = DateTimeValue::FromDate(QDate::currentDate());
    for (; !window.qryCallBack.Eof(); window.qryCallBack.Next())
        EXPECT_EQ(
            DateTimeValue::DayOf(window.qryCallBack.FieldNamed("CallbackDate")->DateTimeValue()),
            today);
}

TEST(MainWindow, AreasMenuAndTitleStripSitWhereTheyBelong) {
    TempDatabase db;
    Reported reported;
    TfrmMain window(db.Folder(), reported.Reporter());
    EXPECT_EQ(window.Panel1->geometry(), QRect(0, 0, 752, 33));
    EXPECT_EQ(window.Panel2->geometry(), QRect(0, 33, 752, 310));
    EXPECT_EQ(window.PageControl1->geometry(), QRect(0, 344, 753, 184));
    EXPECT_EQ(window.PageControl1->currentWidget(), window.tabCallBacks);
    EXPECT_EQ(window.PageControl1->tabText(0), "Call Backs");
    EXPECT_EQ(window.PageControl1->tabText(1), "Search / Filter");
    EXPECT_EQ(window.btnPreview->geometry(), QRect(679, 4, 30, 25));
    EXPECT_EQ(window.btnPrint->geometry(), QRect(712, 4, 30, 25));
    EXPECT_EQ(window.btnPreview->property("hint").toString(), "Print Preview Contact");
    EXPECT_EQ(window.btnPrint->property("hint").toString(), "Print Contact");
    EXPECT_FALSE(window.btnPrint->icon().pixmap(16, 16).isNull());
    EXPECT_FALSE(window.btnPreview->icon().pixmap(16, 16).isNull());
    EXPECT_TRUE(window.btnPrint->toolTip().isEmpty());
    EXPECT_EQ(window.lblTitle->text(), "Contact Details");
    EXPECT_EQ(window.lblTitle->pos(), QPoint(31, 5));

    const QList<QAction *> menus = window.MainMenu1->actions();
    ASSERT_EQ(menus.size(), 3);
    EXPECT_EQ(menus[0]->text(), "&File");
    EXPECT_EQ(menus[1]->text(), "&Tools");
    EXPECT_EQ(menus[2]->text(), "&Help");
    EXPECT_EQ(
        MenuTexts(menus[0]->menu()),
        (QStringList{"New", "Save Contacts ...", "-", "Print Preview", "Print ...", "-", "E&xit"}));
    EXPECT_EQ(MenuTexts(menus[1]->menu()),
              (QStringList{"&Options", "-", "&Import Contacts ...", "Export &vCards ...",
                           "&Undo Last Import", "-", "&Back Up Database ...", "&Restore Backup ...",
                           "U&ndo Delete", "-", "Export Call-&Backs to Calendar ..."}));
    EXPECT_EQ(MenuTexts(menus[2]->menu()), (QStringList{"Help", "-", "A&bout"}));
}

TEST(MainWindow, AreasFollowTheirAnchorsWhenTheWindowGrows) {
    TempDatabase db;
    Reported reported;
    TfrmMain window(db.Folder(), reported.Reporter());
    window.show();
    window.resize(window.width() + 100, window.height() + 50);
    QApplication::processEvents();
    EXPECT_EQ(window.Panel1->geometry(), QRect(0, 0, 852, 33));
    EXPECT_EQ(window.Panel2->geometry(), QRect(0, 33, 852, 310));
    EXPECT_EQ(window.PageControl1->geometry(), QRect(0, 344, 853, 234));
}

TEST(MainWindow, CentresByTruncatingDivisionEvenOnANarrowScreen) {
    EXPECT_EQ(TfrmMain::CentredPosition(QSize(1920, 1080)), QPoint(580, 249));
    EXPECT_EQ(TfrmMain::CentredPosition(QSize(641, 480)), QPoint(-59, -51));
}

TEST(MainWindow, MissingDatabaseIsReportedAndTheWindowOpensAllTheSame) {
    QTemporaryDir empty;
    Reported reported;
    TfrmMain window(empty.path() + "/", reported.Reporter());
    ASSERT_EQ(reported.messages.size(), 1);
    EXPECT_TRUE(reported.messages[0].contains("_db.mdb")) << reported.messages[0].toStdString();
    EXPECT_EQ(window.windowTitle(), "Corvana - Business Contacts Database");
    EXPECT_FALSE(window.rsContacts.Active());
    EXPECT_FALSE(window.qrySearch.Active());
    EXPECT_FALSE(QFile::exists(empty.path() + "/_db.mdb"));
    try {
        window.rsContacts.Next();
        FAIL();
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Message(), "rsContacts: Cannot perform this operation on a closed dataset");
    }
    window.show();
    EXPECT_TRUE(window.isVisible());
    window.close();
}

TEST(MainWindow, OpensOnAnEmptyContactTable) {
    TempDatabase db(0);
    Reported reported;
    TfrmMain window(db.Folder(), reported.Reporter());
    EXPECT_TRUE(reported.messages.isEmpty());
    EXPECT_TRUE(window.rsContacts.IsEmpty());
    EXPECT_TRUE(window.qrySearch.IsEmpty());
}

TEST(MainWindow, ClosingDuringAnInsertWritesNothing) {
    TempSettings settings;
    TempDatabase db(3);
    Reported reported;
    {
        TfrmMain window(db.Folder(), reported.Reporter());
        window.show();
        window.rsContacts.Insert();
        window.rsContacts.FieldNamed("CompanyName")->SetTextValue("Never saved");
        window.mniExit->trigger();
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(window.rsContacts.State(), stBrowse);
        EXPECT_FALSE(window.qryCountries.Active());
        EXPECT_FALSE(window.rsStatus.Active());
    }
    EXPECT_TRUE(reported.messages.isEmpty());
    EXPECT_EQ(db.Scalar("select count(*) from Contacts").toInt(), 3);
}

TEST(MainWindow, EditorShowsTheFirstContactAndTypingStartsAnEdit) {
    TempDatabase db(10);
    db.Exec("update Contacts set CompanyName = 'Acme Tools', Note = 'Line one' "
            "where ContactID = 1");
    Reported reported;
    TfrmMain window(db.Folder(), reported.Reporter());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ContactEditor &editor = *window.editor;
    EXPECT_EQ(editor.txtCompany->text(), "Acme Tools");
    EXPECT_EQ(editor.txtCompany->geometry(), QRect(103, 15, 233, 21));
    EXPECT_EQ(editor.txtNotes->geometry(), QRect(352, 152, 387, 125));
    EXPECT_EQ(editor.txtNotes->toPlainText(), "Line one");
    window.rsContacts.Next();
    // The next reload takes the limit from the field's size.
    EXPECT_EQ(editor.txtCompany->maxLength(), 100);
    EXPECT_EQ(editor.txtPhone->maxLength(), 30);
    EXPECT_EQ(editor.txtCompany->text(), window.rsContacts.FieldNamed("CompanyName")->TextValue());

    window.activateWindow();
    QTest::qWaitForWindowActive(&window);
    editor.txtCity->setFocus();
    QApplication::processEvents();
    QTest::keyClick(editor.txtCity, Qt::Key_Z);
    EXPECT_EQ(window.rsContacts.State(), stEdit);
    EXPECT_TRUE(reported.messages.isEmpty());
}

TEST(MainWindow, CountryAndStatusShowTheirNamesAndTabOrderFollowsTheEditor) {
    TempDatabase db(3);
    db.Exec("update Contacts set CountryID = 1, StatusID = 3 where ContactID = 1");
    Reported reported;
    TfrmMain window(db.Folder(), reported.Reporter());
    EXPECT_EQ(window.editor->cmbCountry->Text(), "United States");
    EXPECT_EQ(window.editor->cmbStatus->Text(), "Customer");
    EXPECT_EQ(window.editor->cmbCountry->pos(), QPoint(103, 45));
    EXPECT_EQ(window.editor->cmbCountry->width(), 235);
    EXPECT_EQ(window.commands->btnNew->nextInFocusChain(), window.editor->txtCompany);
    EXPECT_EQ(window.editor->txtContactPerson->nextInFocusChain(), window.editor->cmbCountry);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.editor->cmbStatus->setFocus();
    QApplication::processEvents();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget *afterStatus = QApplication::focusWidget();
    EXPECT_TRUE(afterStatus == window.commands->dateLastCall ||
                window.commands->dateLastCall->isAncestorOf(afterStatus))
        << (afterStatus ? afterStatus->objectName().toStdString() : "none");
    EXPECT_TRUE(reported.messages.isEmpty());
}

} // namespace
