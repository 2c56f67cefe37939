#include "ErrorBoxCapture.h"
#include "data/DataSource.h"
#include "data/DatabaseErrors.h"
#include "support/MemoryRowSource.h"
#include "ui/controls/TDBLookupComboBox.h"
#include "ui/controls/TLookupSearch.h"
#include "ui/controls/TPopupDataList.h"

#include <QApplication>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <vector>

namespace {

enum ContactCol { kId, kCompany, kCountry };

// Contacts pointing at a country, at none (null) and at a key no country has.
std::shared_ptr<MemoryTable> ContactsTable() {
    auto table = std::make_shared<MemoryTable>();
    table->Column("ContactID", ColumnType::Integer, 0, true)
        .Column("CompanyName", ColumnType::VarWChar, 50)
        .Column("CountryID", ColumnType::Integer);
    table->AddRow({TValue(), QStringLiteral("Acme"), qint64(3)});
    table->AddRow({TValue(), QStringLiteral("Bolt"), TValue()});
    table->AddRow({TValue(), QStringLiteral("Crux"), qint64(99)});
    table->AddRow({TValue(), QStringLiteral("Dyne"), qint64(5)});
    return table;
}

// Countries in list order; their keys are deliberately not in that order.
std::shared_ptr<MemoryTable> CountriesTable(int extra = 0) {
    auto table = std::make_shared<MemoryTable>();
    table->Column("CountryID", ColumnType::Integer).Column("Name", ColumnType::VarWChar, 50);
    const std::vector<std::pair<int, const char *>> rows = {
        {4, "Austria"}, {3, "Germany"}, {7, "Ghana"}, {5, "Greece"}, {1, "France"}};
    for (const auto &row : rows)
        table->AddRow({qint64(row.first), QString::fromUtf8(row.second)});
    for (int i = 0; i < extra; ++i)
        table->AddRow({qint64(100 + i), QStringLiteral("Zone %1").arg(i, 2, 10, QChar('0'))});
    return table;
}

TValue Stored(const MemoryTable &table, int row, int column) {
    return table.rows.at(size_t(row)).values.at(size_t(column));
}

class LookupComboBoxTest : public ::testing::Test {
protected:
    explicit LookupComboBoxTest(int extraCountries = 0)
        : contactsTable(ContactsTable()), contacts("rsContacts", contactsTable),
          countries("qryCountries", CountriesTable(extraCountries)), dsContacts("dsContacts"),
          dsCountries("dsCountries") {}

    void SetUp() override {
        TLookupSearch::SetClock([this] { return now; });
        TLookupSearch::ResetStamp();
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(&combo);
        layout->addWidget(&other);
        combo.setObjectName("cmbCountry");
        dsContacts.SetDataSet(&contacts);
        dsCountries.SetDataSet(&countries);
        combo.SetDataSource(&dsContacts);
        combo.SetDataField("CountryID");
        combo.SetListSource(&dsCountries);
        combo.SetKeyField("CountryID");
        combo.SetListField("Name");
        combo.OnClick = [this](TDBLookupComboBox &) { ++clicks; };
        dsContacts.OnDataChange = [this](TDataSource &, TField *field) {
            if (field)
                changedFields.push_back(field->FieldName());
        };
    }
    void TearDown() override { TLookupSearch::SetClock(nullptr); }

    void OpenAndShow() {
        countries.Open();
        contacts.Open();
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        combo.setFocus(Qt::MouseFocusReason);
        QApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), &combo);
    }
    // Moves the contacts to the row holding no country.
    void ToNullRow() {
        contacts.First();
        contacts.Next();
        ASSERT_TRUE(ValueIsNull(contacts.FieldNamed("CountryID")->Value()));
    }
    void Type(const QString &text) {
        for (QChar c : text)
            QTest::keyClick(&combo, c.toLatin1());
    }
    TValue Key() { return contacts.FieldNamed("CountryID")->Value(); }
    QString CountryRow() { return countries.FieldNamed("Name")->TextValue(); }

    qint64 now = 100000;
    std::shared_ptr<MemoryTable> contactsTable;
    MemoryCursor contacts;
    MemoryCursor countries;
    TDataSource dsContacts, dsCountries;
    QWidget window;
    TDBLookupComboBox combo;
    QLineEdit other;
    int clicks = 0;
    std::vector<QString> changedFields;
    ErrorBoxCapture errors;
};

TEST_F(LookupComboBoxTest, ShownTextFollowsTheKeyOfTheCurrentRow) {
    EXPECT_EQ(combo.Text(), "");
    EXPECT_FALSE(combo.ListActive());
    OpenAndShow();
    EXPECT_TRUE(combo.ListActive());
    EXPECT_EQ(combo.Text(), "Germany");
    EXPECT_EQ(CountryRow(), "Germany") << "showing the key moves the list cursor to its row";
    contacts.Next();
    EXPECT_EQ(combo.Text(), "") << "a null key shows nothing";
    EXPECT_TRUE(ValueIsNull(combo.KeyValue()));
    contacts.Next();
    EXPECT_EQ(combo.Text(), "") << "a key the list lacks shows nothing";
    EXPECT_EQ(combo.KeyValue().toInt(), 99);
    contacts.Next();
    EXPECT_EQ(combo.Text(), "Greece");
    EXPECT_EQ(CountryRow(), "Greece");
    // Moving the list cursor by itself does not change the shown text.
    countries.First();
    EXPECT_EQ(combo.Text(), "Greece");
    // A closed list cursor empties the text and makes the list inactive.
    countries.Close();
    EXPECT_FALSE(combo.ListActive());
    EXPECT_EQ(combo.Text(), "");
    QTest::keyClick(&combo, Qt::Key_Down);
    EXPECT_EQ(contacts.State(), stBrowse) << "the arrow keys do nothing without a list";
    combo.DropDown();
    EXPECT_FALSE(combo.ListVisible());
    EXPECT_TRUE(errors.shown.empty());
}

TEST_F(LookupComboBoxTest, ArrowKeysSelectAndWriteTheKeyAtOnce) {
    OpenAndShow();
    ToNullRow();
    changedFields.clear();
    QTest::keyClick(&combo, Qt::Key_Down);
    EXPECT_EQ(contacts.State(), stEdit) << "the selection starts the edit";
    EXPECT_EQ(Key().toInt(), 4) << "Down on a key not in the list selects the first row";
    EXPECT_EQ(combo.Text(), "Austria");
    EXPECT_EQ(changedFields, std::vector<QString>{"CountryID"}) << "OnDataChange ran at once";
    EXPECT_EQ(clicks, 1);
    QTest::keyClick(&combo, Qt::Key_Down);
    QTest::keyClick(&combo, Qt::Key_Down);
    EXPECT_EQ(combo.Text(), "Ghana");
    EXPECT_EQ(Key().toInt(), 7);
    QTest::keyClick(&combo, Qt::Key_Up);
    EXPECT_EQ(combo.Text(), "Germany");
    QTest::keyClick(&combo, Qt::Key_Up);
    QTest::keyClick(&combo, Qt::Key_Up);
    EXPECT_EQ(combo.Text(), "Austria") << "Up on the first row stays there";
    EXPECT_EQ(clicks, 6);
    // The key is in the row only; Post stores it.
    EXPECT_TRUE(ValueIsNull(Stored(*contactsTable, 1, kCountry)));
    contacts.Post();
    EXPECT_EQ(Stored(*contactsTable, 1, kCountry).toInt(), 4);
    // Down on the last row selects it again and still starts an edit.
    contacts.Last();
    QTest::keyClick(&combo, Qt::Key_Down);
    QTest::keyClick(&combo, Qt::Key_Down);
    QTest::keyClick(&combo, Qt::Key_Down);
    EXPECT_EQ(combo.Text(), "France");
    contacts.Post();
    QTest::keyClick(&combo, Qt::Key_Down);
    EXPECT_EQ(contacts.State(), stEdit);
    EXPECT_EQ(combo.Text(), "France");
    EXPECT_TRUE(errors.shown.empty());
}

TEST_F(LookupComboBoxTest, SelectionOnARowThatCannotEditWritesNothingButStillClicks) {
    OpenAndShow();
    dsContacts.SetAutoEdit(false);
    QTest::keyClick(&combo, Qt::Key_Down);
    EXPECT_EQ(contacts.State(), stBrowse);
    EXPECT_EQ(Key().toInt(), 3);
    EXPECT_EQ(combo.Text(), "Germany");
    EXPECT_EQ(clicks, 1);
    Type("gr");
    EXPECT_EQ(Key().toInt(), 3) << "the search selects, but nothing is written";
    EXPECT_EQ(combo.Text(), "Germany");
    EXPECT_EQ(contacts.State(), stBrowse);
    EXPECT_EQ(clicks, 3);

    dsContacts.SetAutoEdit(true);
    combo.SetReadOnly(true);
    EXPECT_FALSE(combo.CanModify());
    QTest::keyClick(&combo, Qt::Key_Down);
    EXPECT_EQ(contacts.State(), stBrowse);
    EXPECT_EQ(combo.Text(), "Germany");
    EXPECT_EQ(clicks, 4);
    now += 5000;
    Type("f");
    EXPECT_EQ(clicks, 4) << "a read-only control does not search";
    EXPECT_EQ(combo.SearchText(), "gr") << "the ignored letter leaves the search as it was";
    combo.SetReadOnly(false);
    EXPECT_TRUE(combo.CanModify());
    EXPECT_TRUE(errors.shown.empty());
}

TEST_F(LookupComboBoxTest, QuickLettersExtendTheSearchAndASlowOneStartsAgain) {
    OpenAndShow();
    ToNullRow();
    QTest::keyClick(&combo, 'g');
    EXPECT_EQ(combo.Text(), "Germany") << "the first name in list order";
    now += 1999;
    QTest::keyClick(&combo, 'R');
    EXPECT_EQ(combo.Text(), "Greece") << "two letters within 2000 ms, any letter case";
    EXPECT_EQ(Key().toInt(), 5);
    EXPECT_EQ(combo.SearchText(), "gR");
    now += 500;
    QTest::keyClick(&combo, 'x');
    EXPECT_EQ(combo.Text(), "Greece") << "a letter that matches nothing changes nothing";
    EXPECT_EQ(combo.SearchText(), "gR");
    now += 2001;
    QTest::keyClick(&combo, 'f');
    EXPECT_EQ(combo.Text(), "France") << "more than 2000 ms later the search starts afresh";
    EXPECT_EQ(combo.SearchText(), "f");
    EXPECT_EQ(contacts.State(), stEdit);
    QTest::keyClick(&combo, Qt::Key_Backspace);
    EXPECT_EQ(combo.SearchText(), "");
    EXPECT_TRUE(errors.shown.empty());
}

TEST_F(LookupComboBoxTest, TheSearchStopsAtThirtyTwoCharacters) {
    countries.table->AddRow({qint64(50), QString(40, QChar('a'))});
    OpenAndShow();
    for (int i = 0; i < 33; ++i)
        QTest::keyClick(&combo, 'a');
    EXPECT_EQ(combo.SearchText().size(), 32);
    EXPECT_EQ(Key().toInt(), 50);
    EXPECT_EQ(combo.Text(), QString(40, QChar('a')));
}

TEST_F(LookupComboBoxTest, TheSearchClockIsSharedByAllLookupControls) {
    TDBLookupComboBox second;
    second.SetListSource(&dsCountries);
    second.SetKeyField("CountryID");
    second.SetListField("Name");
    window.layout()->addWidget(&second);
    OpenAndShow();
    QTest::keyClick(&combo, 'g');
    now += 1500;
    QTest::keyClick(&second, 'f');
    EXPECT_EQ(second.Text(), "France") << "without a data source the key is the control's own";
    now += 1500;
    QTest::keyClick(&combo, 'h');
    EXPECT_EQ(combo.SearchText(), "gh") << "the keystroke in the other control kept the timing";
    EXPECT_EQ(combo.Text(), "Ghana");
}

TEST_F(LookupComboBoxTest, EnterInTheDropDownWritesTheHighlightedKeyAndEscapeWritesNothing) {
    OpenAndShow();
    int drops = 0, closes = 0;
    combo.OnDropDown = [&](TDBLookupComboBox &) { ++drops; };
    combo.OnCloseUp = [&](TDBLookupComboBox &) { ++closes; };
    QTest::keyClick(&combo, Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(combo.ListVisible());
    EXPECT_EQ(drops, 1);
    TPopupDataList *list = combo.List();
    EXPECT_TRUE(list->isVisible());
    EXPECT_EQ(list->RowCount(), 5) << "a short list shows all its rows";
    EXPECT_EQ(list->height(), list->HeightFor(5));
    EXPECT_EQ(list->width(), combo.width());
    EXPECT_EQ(list->HighlightedRow(), 1) << "Germany is highlighted";
    QTest::keyClick(&combo, Qt::Key_Down);
    QTest::keyClick(&combo, Qt::Key_Down);
    EXPECT_EQ(list->HighlightedRow(), 3);
    EXPECT_EQ(list->KeyValue().toInt(), 5);
    EXPECT_EQ(contacts.State(), stBrowse) << "nothing is written while the list is open";
    QTest::keyClick(&combo, Qt::Key_Escape);
    EXPECT_FALSE(combo.ListVisible());
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(contacts.State(), stBrowse);
    EXPECT_EQ(Key().toInt(), 3);
    EXPECT_EQ(clicks, 0);

    QTest::keyClick(&combo, Qt::Key_Down, Qt::AltModifier);
    QTest::keyClick(&combo, Qt::Key_End);
    QTest::keyClick(&combo, Qt::Key_Up);
    EXPECT_EQ(list->KeyValue().toInt(), 5);
    QTest::keyClick(&combo, Qt::Key_Return);
    EXPECT_FALSE(combo.ListVisible());
    EXPECT_EQ(contacts.State(), stEdit);
    EXPECT_EQ(Key().toInt(), 5);
    EXPECT_EQ(combo.Text(), "Greece");
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(closes, 2);
    EXPECT_EQ(QApplication::focusWidget(), &combo);
    EXPECT_TRUE(errors.shown.empty());
}

TEST_F(LookupComboBoxTest, ClickingARowOfTheDropDownWritesItsKey) {
    OpenAndShow();
    QTest::mouseClick(&combo, Qt::LeftButton, Qt::NoModifier, QPoint(combo.width() - 5, 5));
    ASSERT_TRUE(combo.ListVisible());
    TPopupDataList *list = combo.List();
    const int rowHeight = list->RowHeight();
    QTest::mouseClick(list, Qt::LeftButton, Qt::NoModifier, QPoint(10, 1 + 2 * rowHeight + 2));
    EXPECT_FALSE(combo.ListVisible());
    EXPECT_EQ(Key().toInt(), 7);
    EXPECT_EQ(combo.Text(), "Ghana");
    EXPECT_EQ(contacts.State(), stEdit);

    // A click on the control while the list is open closes it, writing nothing.
    QTest::mouseClick(&combo, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    ASSERT_TRUE(combo.ListVisible());
    QTest::keyClick(&combo, Qt::Key_Home);
    QTest::mouseClick(&combo, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_FALSE(combo.ListVisible());
    EXPECT_EQ(Key().toInt(), 7);
    // Losing the focus closes the list without writing.
    QTest::mouseClick(&combo, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::keyClick(&combo, Qt::Key_Home);
    other.setFocus(Qt::MouseFocusReason);
    QApplication::processEvents();
    EXPECT_FALSE(combo.ListVisible());
    EXPECT_EQ(Key().toInt(), 7);
    EXPECT_TRUE(errors.shown.empty());
}

TEST_F(LookupComboBoxTest, TheDropDownOpensAboveWhenThereIsNoRoomBelow) {
    OpenAndShow();
    const QRect screen = combo.screen()->geometry();
    window.move(screen.left() + 10, screen.top() + 10);
    QApplication::processEvents();
    combo.DropDown();
    const QPoint comboTop = combo.mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(combo.List()->y(), comboTop.y() + combo.height()) << "below by default";
    EXPECT_EQ(combo.List()->x(), comboTop.x());
    combo.CloseUp(false);

    window.move(screen.left() + 10, screen.bottom() + 1 - window.frameGeometry().height());
    QApplication::processEvents();
    combo.SetDropDownWidth(300);
    combo.SetDropDownAlign(TDBLookupComboBox::TDropDownAlign::Right);
    combo.DropDown();
    const QPoint top = combo.mapToGlobal(QPoint(0, 0));
    const QRect list = combo.List()->geometry();
    EXPECT_EQ(list.bottom() + 1, top.y()) << "just above the control";
    EXPECT_EQ(list.width(), 300);
    EXPECT_EQ(list.right(), top.x() + combo.width() - 1) << "right edges meet";
    combo.CloseUp(false);
}

template <class F> QString ErrorOf(F action) {
    try {
        action();
    } catch (const EError &e) {
        return e.Message();
    }
    return QStringLiteral("no error");
}

TEST_F(LookupComboBoxTest, MissingFieldNamesAreReportedAndLeaveTheListInactive) {
    OpenAndShow();
    EXPECT_EQ(ErrorOf([&] { combo.SetKeyField("Nope"); }), "cmbCountry: Field 'Nope' not found");
    EXPECT_FALSE(combo.ListActive());
    EXPECT_EQ(combo.Text(), "");
    combo.SetKeyField("CountryID");
    EXPECT_EQ(combo.Text(), "Germany");
    EXPECT_EQ(ErrorOf([&] { combo.SetListField("Name;Capital"); }), "Field 'cmbCountry' not found");
    EXPECT_FALSE(combo.ListActive());
    EXPECT_EQ(combo.Text(), "");
    combo.SetListField("CountryID;Name");
    combo.SetListFieldIndex(1);
    EXPECT_EQ(combo.Text(), "Germany") << "the closed control shows the indexed list field";
    combo.SetListFieldIndex(5);
    EXPECT_EQ(combo.Text(), "3") << "an index out of range shows the first list field";
    EXPECT_EQ(ErrorOf([&] { combo.SetDataField("Nope"); }), "cmbCountry: Field 'Nope' not found");
    EXPECT_TRUE(ValueIsNull(combo.KeyValue()));
    EXPECT_EQ(combo.Text(), "");
}

class LongLookupListTest : public LookupComboBoxTest {
protected:
    LongLookupListTest() : LookupComboBoxTest(45) {}
};

TEST_F(LongLookupListTest, ALongListShowsDropDownRowsAndScrolls) {
    OpenAndShow();
    contacts.Last(); // Greece
    combo.DropDown();
    TPopupDataList *list = combo.List();
    EXPECT_EQ(list->RowCount(), 7);
    EXPECT_EQ(list->ShownRowCount(), 7);
    EXPECT_TRUE(list->ScrollBar()->isVisible());
    EXPECT_EQ(list->height(), list->HeightFor(7));
    EXPECT_GE(list->HighlightedRow(), 0);
    QTest::keyClick(&combo, Qt::Key_PageDown);
    EXPECT_EQ(list->KeyValue().toInt(), 104) << "Greece is 4th; six rows on is Zone 04";
    QTest::keyClick(&combo, Qt::Key_End);
    EXPECT_EQ(list->KeyValue().toInt(), 144);
    EXPECT_EQ(list->HighlightedRow(), 6);
    QTest::keyClick(&combo, Qt::Key_Home);
    EXPECT_EQ(list->KeyValue().toInt(), 4);
    EXPECT_EQ(list->HighlightedRow(), 0);
    // Scrolling moves the shown rows, not the highlighted key.
    list->ScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(list->KeyValue().toInt(), 4);
    EXPECT_EQ(list->HighlightedRow(), -1);
    // A move from a key no longer shown first shows the key again.
    QTest::keyClick(&combo, Qt::Key_Down);
    EXPECT_EQ(list->KeyValue().toInt(), 4);
    EXPECT_GE(list->HighlightedRow(), 0);
    QTest::keyClick(&combo, Qt::Key_Escape);
    EXPECT_EQ(Key().toInt(), 5);
    EXPECT_TRUE(errors.shown.empty());
}

} // namespace
