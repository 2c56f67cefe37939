#include "ui/main/ContactLists.h"
#include "data/DateTimeValue.h"
#include "support/TempDatabase.h"
#include "ui/controls/TColumn.h"
#include "ui/controls/TDBGrid.h"
#include "ui/controls/TDateTimePicker.h"
#include "ui/controls/TEdit.h"
#include "ui/controls/TErrorBox.h"
#include "ui/main/EditorCommands.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QDateTimeEdit>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Captures the error box for the life of a test.
struct BoxCapture {
    QStringList texts;
    BoxCapture() {
        TErrorBox::ShowHook = [this](const QString &, const QString &text) { texts << text; };
    }
    ~BoxCapture() { TErrorBox::ShowHook = nullptr; }
};

double Today() {
    return DateTimeValue::FromDate(QDate::currentDate());
}

QString Real(double value) {
    return QString::number(value, 'g', 17);
}

// Adds a contact; its call-back is `day` days from today at `hour` hours.
void AddContact(const TempDatabase &db, const QString &company, double day, double hour,
                const QString &city = QString(), const QString &address = QString(),
                const QString &fax = QString()) {
    auto text = [](const QString &value) {
        return value.isNull() ? QStringLiteral("NULL")
                              : "'" + QString(value).replace("'", "''") + "'";
    };
    db.Exec(QStringLiteral("INSERT INTO Contacts (CompanyName, City, Address, Fax, CountryID, "
                           "StatusID, CallbackDate) VALUES (%1, %2, %3, %4, 1, 1, %5)")
                .arg(text(company), text(city), text(address), text(fax),
                     Real(Today() + day + hour / 24.0)));
}

// The companies a grid's cursor lists, in order, leaving it on its first row.
QStringList Companies(TDBGrid *grid) {
    QStringList companies;
    TRecordCursor *cursor = grid->Cursor();
    if (!cursor->Active())
        return companies;
    for (cursor->First(); !cursor->Eof(); cursor->Next())
        companies << cursor->FieldNamed("CompanyName")->TextValue();
    cursor->First();
    return companies;
}

class ContactListsTest : public ::testing::Test {
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
    int EditorId() const { return window->rsContacts.FieldNamed("ContactID")->IntegerValue(); }

    TempDatabase db;
    BoxCapture box;
    QStringList reported;
    std::unique_ptr<TfrmMain> window;
    ContactLists *lists = nullptr;
};

TEST_F(ContactListsTest, ControlsColumnsAndTabOrder) {
    Open();
    EXPECT_EQ(lists->btnLoadCallback->geometry(), QRect(3, 2, 75, 25));
    EXPECT_EQ(lists->btnLoadCallback->text(), "Load");
    EXPECT_EQ(lists->lblCallBackDate->text(), "Call Back Date");
    EXPECT_EQ(lists->timeCallBacks->geometry(), QRect(158, 3, 121, 21));
    EXPECT_EQ(lists->btnCallBacks->text(), "Display");
    EXPECT_EQ(lists->btnCallBacks->geometry(), QRect(284, 1, 83, 25));
    EXPECT_EQ(lists->gridCallBack->geometry().topLeft(), QPoint(0, 36));
    EXPECT_EQ(lists->btnLoadSearch->geometry(), QRect(3, 2, 75, 25));
    EXPECT_EQ(lists->lblSearchFor->text(), "Search For:");
    EXPECT_EQ(lists->txtSearch->geometry(), QRect(142, 4, 203, 21));
    EXPECT_EQ(lists->btnSearch->geometry(), QRect(351, 1, 71, 25));
    EXPECT_EQ(lists->btnSearch->text(), "Display");

    QStringList titles;
    for (int i = 0; i < lists->gridCallBack->Columns().Count(); ++i) {
        const TColumn *column = lists->gridCallBack->Columns()[i];
        titles << column->TitleCaption() + (column->Visible() ? "" : "(hidden)");
    }
    EXPECT_EQ(titles.join(","), "ContactID(hidden),CompanyName,ContactPerson,CallbackDate,Phone,"
                                "Fax,Mobile,Email,Url");
    titles.clear();
    for (int i = 0; i < lists->gridSearch->Columns().Count(); ++i)
        titles << lists->gridSearch->Columns()[i]->TitleCaption();
    EXPECT_EQ(titles.join(","), "ContactID,CompanyName,ContactPerson,City,Phone,Mobile");
    EXPECT_EQ(lists->gridSearch->Columns()[1]->Width(), 150);
    EXPECT_FALSE(lists->gridCallBack->Columns()[3]->WidthSet());

    // Tab walks each tab page in its own order.
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    auto nextStop = [](QWidget *from) {
        QWidget *w = from->nextInFocusChain();
        // A composite control's own parts are not stops of their own.
        while (w != from &&
               (from->isAncestorOf(w) || !(w->focusPolicy() & Qt::TabFocus) || !w->isVisible()))
            w = w->nextInFocusChain();
        return w;
    };
    // The chain runs through the picker's editor, which takes its focus.
    EXPECT_EQ(nextStop(lists->timeCallBacks->Editor()), lists->btnCallBacks);
    EXPECT_EQ(nextStop(lists->btnCallBacks), lists->gridCallBack);
    EXPECT_EQ(nextStop(lists->gridCallBack), lists->btnLoadCallback)
        << nextStop(lists->gridCallBack)->metaObject()->className() << " "
        << nextStop(lists->gridCallBack)->objectName().toStdString();
    window->PageControl1->setCurrentWidget(window->tabSearch);
    EXPECT_EQ(nextStop(lists->btnSearch), lists->txtSearch);
    EXPECT_EQ(nextStop(lists->txtSearch), lists->gridSearch);
    EXPECT_EQ(nextStop(lists->gridSearch), lists->btnLoadSearch);
}

TEST_F(ContactListsTest, TodaysCallBacksByCalendarDay) {
    AddContact(db, "Morning", 0, 9);
    AddContact(db, "Evening", 0, 17.5);
    AddContact(db, "Yesterday", -1, 17.5);
    AddContact(db, "Tomorrow", 1, 0);
    db.Exec("INSERT INTO Contacts (CompanyName, CallbackDate) VALUES ('Never', NULL)");
    Open();
    window->show();
    QApplication::processEvents();
    EXPECT_TRUE(reported.isEmpty()) << reported.join(";").toStdString();
    EXPECT_EQ(Companies(lists->gridCallBack), (QStringList{"Morning", "Evening"}));
    EXPECT_EQ(lists->gridCallBack->CellText(1, 0), "Morning");
    EXPECT_EQ(lists->gridCallBack->CellText(3, 1),
              DateTimeValue::DateTimeText(Today() + 17.5 / 24.0));

    // Another day shows only after Display.
    lists->timeCallBacks->SetDateTime(Today() + 1 + 0.3);
    EXPECT_EQ(Companies(lists->gridCallBack), (QStringList{"Morning", "Evening"}));
    QTest::mouseClick(lists->btnCallBacks, Qt::LeftButton);
    EXPECT_EQ(Companies(lists->gridCallBack), (QStringList{"Tomorrow"}));
    lists->timeCallBacks->SetDateTime(Today() - 1);
    lists->btnCallBacksClick();
    EXPECT_EQ(Companies(lists->gridCallBack), (QStringList{"Yesterday"}));
    EXPECT_TRUE(box.texts.isEmpty());
}

TEST_F(ContactListsTest, ChangedCallBackLeavesTheListOnlyAtDisplay) {
    AddContact(db, "Alpha", 0, 10);
    AddContact(db, "Beta", 0, 11);
    Open();
    EXPECT_EQ(Companies(lists->gridCallBack), (QStringList{"Alpha", "Beta"}));
    // The editor stands on Alpha: move its call-back to tomorrow and save.
    window->rsContacts.Edit();
    window->rsContacts.FieldNamed("CallbackDate")->SetDateTimeValue(Today() + 1.5);
    window->rsContacts.Post();
    EXPECT_EQ(Companies(lists->gridCallBack), (QStringList{"Alpha", "Beta"}));
    lists->btnCallBacksClick();
    EXPECT_EQ(Companies(lists->gridCallBack), (QStringList{"Beta"}));
}

TEST_F(ContactListsTest, LoadMovesTheEditorToTheChosenContact) {
    AddContact(db, "Alpha", 5, 10);
    AddContact(db, "Beta", 0, 11);
    AddContact(db, "Gamma", 0, 12);
    Open();
    EXPECT_EQ(EditorId(), 1);
    window->show();
    QApplication::processEvents();
    // Choose the second row with the mouse, then Load.
    TDBGrid *grid = lists->gridCallBack;
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(1, 1).center());
    EXPECT_EQ(grid->CellText(1, grid->CurrentRow()), "Gamma");
    QTest::mouseClick(lists->btnLoadCallback, Qt::LeftButton);
    EXPECT_EQ(EditorId(), 3);
    EXPECT_EQ(window->rsContacts.FieldNamed("CompanyName")->TextValue(), "Gamma");

    // A pending edit in the editor is saved before the editor moves.
    window->rsContacts.Edit();
    window->rsContacts.FieldNamed("City")->SetTextValue("Leeds");
    grid->Cursor()->First();
    lists->btnLoadCallbackClick();
    EXPECT_EQ(EditorId(), 2);
    EXPECT_EQ(db.Scalar("SELECT City FROM Contacts WHERE ContactID = 3").toString(), "Leeds");

    // Load on an empty list moves nothing and shows nothing.
    lists->timeCallBacks->SetDateTime(Today() + 30);
    lists->btnCallBacksClick();
    EXPECT_TRUE(grid->Cursor()->IsEmpty());
    lists->btnLoadCallbackClick();
    EXPECT_EQ(EditorId(), 2);
    EXPECT_TRUE(box.texts.isEmpty());
}

TEST_F(ContactListsTest, SearchFindsFragmentsInCityAndMidAddress) {
    AddContact(db, "Northwind", 2, 0, "Hamburg", "12 Elm Street");
    AddContact(db, "Contoso", 2, 0, "Oslo", "Bahnhofstrasse 4");
    AddContact(db, "Fabrikam", 2, 0, "Paris", "1 Rue de Hamel", "555-0199");
    AddContact(db, "Müller GmbH", 2, 0, "Zürich", "Seeweg 1");
    Open();
    // At start the search list holds every contact.
    EXPECT_EQ(Companies(lists->gridSearch).size(), 4);
    lists->txtSearch->setText("ham");
    lists->btnSearchClick();
    EXPECT_EQ(Companies(lists->gridSearch), (QStringList{"Northwind", "Fabrikam"}));
    lists->txtSearch->setText("hofs");
    lists->RunSearch();
    EXPECT_EQ(Companies(lists->gridSearch), (QStringList{"Contoso"}));
    // Fax is not searched.
    lists->txtSearch->setText("0199");
    lists->RunSearch();
    EXPECT_TRUE(Companies(lists->gridSearch).isEmpty());
    // Letter case beyond ASCII.
    lists->txtSearch->setText("MÜLLER");
    lists->RunSearch();
    EXPECT_EQ(Companies(lists->gridSearch), (QStringList{"Müller GmbH"}));
    // Wildcards stay wildcards.
    lists->txtSearch->setText("H_mb%g");
    lists->RunSearch();
    EXPECT_EQ(Companies(lists->gridSearch), (QStringList{"Northwind"}));
    EXPECT_TRUE(box.texts.isEmpty()) << box.texts.join(";").toStdString();
}

TEST_F(ContactListsTest, EnterRunsTheSearchAndOtherKeysDoNot) {
    AddContact(db, "Northwind", 2, 0, "Hamburg");
    AddContact(db, "Contoso", 2, 0, "Oslo");
    Open();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->PageControl1->setCurrentWidget(window->tabSearch);
    lists->txtSearch->setFocus();
    QTest::keyClicks(lists->txtSearch, "oslo");
    EXPECT_EQ(Companies(lists->gridSearch).size(), 2);
    QTest::keyClick(lists->txtSearch, Qt::Key_Return);
    EXPECT_EQ(Companies(lists->gridSearch), (QStringList{"Contoso"}));
    // A contact saved after the search appears only when it runs again.
    db.Exec("INSERT INTO Contacts (CompanyName, City) VALUES ('Oslo Fjord', 'Bergen')");
    EXPECT_EQ(Companies(lists->gridSearch), (QStringList{"Contoso"}));
    QTest::keyClick(lists->txtSearch, Qt::Key_Enter);
    EXPECT_EQ(Companies(lists->gridSearch), (QStringList{"Contoso", "Oslo Fjord"}));
    // Load takes the grid's current row.
    lists->gridSearch->Cursor()->Last();
    QTest::mouseClick(lists->btnLoadSearch, Qt::LeftButton);
    EXPECT_EQ(window->rsContacts.FieldNamed("CompanyName")->TextValue(), "Oslo Fjord");
}

TEST_F(ContactListsTest, UnsafeSearchTextIsOnlyEverText) {
    AddContact(db, "O\"Brien & Sons", 2, 0, "Cork");
    AddContact(db, "Plain", 2, 0, "Dublin");
    AddContact(db, "100% Pure", 2, 0, "Galway", "Unit_7");
    Open();
    lists->txtSearch->setText("O\"Brien");
    lists->RunSearch();
    EXPECT_EQ(Companies(lists->gridSearch), (QStringList{"O\"Brien & Sons"}));
    lists->txtSearch->setText("x\" or \"1\"=\"1");
    lists->RunSearch();
    EXPECT_TRUE(window->qrySearch.Active());
    EXPECT_TRUE(Companies(lists->gridSearch).isEmpty());
    lists->txtSearch->setText("'; DROP TABLE Contacts; --");
    lists->RunSearch();
    EXPECT_TRUE(Companies(lists->gridSearch).isEmpty());
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM Contacts").toInt(), 3);
    // An empty text lists every contact with anything in the searched columns.
    lists->txtSearch->setText("");
    lists->RunSearch();
    EXPECT_EQ(Companies(lists->gridSearch).size(), 3);
    // "%" and "_" match any run and any one character.
    lists->txtSearch->setText("t_7");
    lists->RunSearch();
    EXPECT_EQ(Companies(lists->gridSearch), (QStringList{"100% Pure"}));
    // A NUL pasted into the text is no engine error; it is dropped.
    lists->txtSearch->setText(QStringLiteral("t_") + QChar(0) + QStringLiteral("7"));
    lists->RunSearch();
    EXPECT_EQ(Companies(lists->gridSearch), (QStringList{"100% Pure"}));
    EXPECT_TRUE(box.texts.isEmpty()) << box.texts.join(";").toStdString();
    EXPECT_EQ(ContactLists::SearchLines("a\"b").first(),
              "select * from Contacts where CompanyName like \"%a\"\"b%\"");
    EXPECT_EQ(ContactLists::SearchLines("x").size(), 9);
    EXPECT_EQ(ContactLists::SearchLines("x").last(), " or Address like \"%x%\"");
}

TEST_F(ContactListsTest, AFailedListIsReportedAndStaysClosed) {
    Open();
    db.Exec("ALTER TABLE Contacts RENAME TO Gone");
    QTest::mouseClick(lists->btnCallBacks, Qt::LeftButton);
    EXPECT_FALSE(window->qryCallBack.Active());
    EXPECT_EQ(lists->gridCallBack->CurrentRow(), -1);
    QTest::mouseClick(lists->btnSearch, Qt::LeftButton);
    EXPECT_FALSE(window->qrySearch.Active());
    ASSERT_EQ(box.texts.size(), 2);
    EXPECT_TRUE(box.texts[0].contains("Contacts")) << box.texts[0].toStdString();
    // Load on the closed list reads no key and moves nothing.
    const int before = EditorId();
    QTest::mouseClick(lists->btnLoadSearch, Qt::LeftButton);
    EXPECT_EQ(EditorId(), before);
}

} // namespace
