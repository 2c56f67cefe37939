#include "ErrorBoxCapture.h"
#include "data/DataSource.h"
#include "data/DatabaseErrors.h"
#include "support/MemoryRowSource.h"
#include "ui/controls/TDBEdit.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QTest>
#include <QVBoxLayout>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <vector>

namespace {

enum Col { kId, kName, kAge, kCode };

std::shared_ptr<MemoryTable> PeopleTable() {
    auto table = std::make_shared<MemoryTable>();
    table->Column("ID", ColumnType::Integer, 0, true)
        .Column("Name", ColumnType::VarWChar, 50)
        .Column("Age", ColumnType::Integer)
        .Column("Code", ColumnType::VarChar, 10);
    table->AddRow({TValue(), QStringLiteral("Alpha"), qint64(30), QStringLiteral("A1")});
    table->AddRow({TValue(), QStringLiteral("Beta"), qint64(40), QStringLiteral("B2")});
    table->AddRow({TValue(), TValue(), TValue(), TValue()});
    return table;
}

QString Stored(const MemoryTable &table, int row, Col column) {
    const TValue &value = table.rows.at(size_t(row)).values.at(size_t(column));
    return ValueIsNull(value) ? QStringLiteral("<null>") : value.toString();
}

// A window with two edits on Name, one on Age and a plain edit to move the
// focus to, over an open cursor.
class DBEditTest : public ::testing::Test {
protected:
    DBEditTest() : table(PeopleTable()), cursor("rsPeople", table), source("dsPeople") {}

    void SetUp() override {
        auto *layout = new QVBoxLayout(&window);
        for (QWidget *w : {static_cast<QWidget *>(&name), static_cast<QWidget *>(&name2),
                           static_cast<QWidget *>(&age), static_cast<QWidget *>(&other)})
            layout->addWidget(w);
        name.setObjectName("txtName");
        name2.setObjectName("txtName2");
        age.setObjectName("txtAge");
        Bind(name, "Name");
        Bind(name2, "Name");
        Bind(age, "Age");
        source.SetDataSet(&cursor);
    }

    void Bind(TDBEdit &edit, const char *field) {
        edit.SetDataSource(&source);
        edit.SetDataField(field);
        edit.OnChange = [this, &edit](TDBEdit &sender) {
            EXPECT_EQ(&sender, &edit);
            ++changes[&edit];
        };
        edit.OnExit = [this](TDBEdit &sender) { exits.push_back(&sender); };
    }

    void OpenAndShow() {
        cursor.Open();
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    static void Focus(QWidget &widget) {
        widget.setFocus(Qt::MouseFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), &widget);
    }

    std::shared_ptr<MemoryTable> table;
    MemoryCursor cursor;
    TDataSource source;
    QWidget window;
    TDBEdit name, name2, age;
    QLineEdit other;
    std::map<TDBEdit *, int> changes;
    std::vector<TDBEdit *> exits;
    ErrorBoxCapture errors;
};

} // namespace

TEST_F(DBEditTest, ShowsTheFieldTextOfEveryRowAndCannotBeTypedIntoWhileBrowsing) {
    EXPECT_EQ(name.text(), "");
    OpenAndShow();
    EXPECT_EQ(name.text(), "Alpha");
    EXPECT_EQ(age.text(), "30");
    EXPECT_TRUE(name.isReadOnly());
    cursor.Next();
    EXPECT_EQ(name.text(), "Beta");
    EXPECT_EQ(name2.text(), "Beta");
    cursor.Next();
    EXPECT_EQ(name.text(), "") << "a null text field shows the empty text";
    EXPECT_EQ(age.text(), "");
    cursor.Prior();
    EXPECT_EQ(age.text(), "40");
    cursor.Close();
    EXPECT_EQ(name.text(), "");
    EXPECT_EQ(name.Field(), nullptr);
    EXPECT_TRUE(errors.shown.empty());
}

TEST_F(DBEditTest, TypingOnABrowsingRowStartsTheEditButWritesOnlyWhenTheFocusLeaves) {
    OpenAndShow();
    Focus(name);
    QTest::keyClick(&name, Qt::Key_Home);
    QTest::keyClick(&name, Qt::Key_X);
    EXPECT_EQ(cursor.State(), stEdit);
    EXPECT_FALSE(name.isReadOnly());
    // The edit request reloads the row; the letter still lands at the caret.
    EXPECT_EQ(name.text(), "xAlpha");
    EXPECT_TRUE(name.FieldLink().Modified());
    EXPECT_EQ(name.Field()->TextValue(), "Alpha");
    EXPECT_FALSE(cursor.Modified());
    EXPECT_EQ(name2.text(), "Alpha");

    exits.clear();
    Focus(other);
    EXPECT_EQ(name.Field()->TextValue(), "xAlpha");
    EXPECT_EQ(name2.text(), "xAlpha");
    EXPECT_FALSE(name.FieldLink().Modified());
    EXPECT_EQ(exits.size(), 1u);
    EXPECT_EQ(cursor.State(), stEdit);
    cursor.Post();
    EXPECT_EQ(Stored(*table, 0, kName), "xAlpha");
    EXPECT_TRUE(name.isReadOnly());
}

TEST_F(DBEditTest, PostAndSettlingWriteTheTextOfTheFocusedEdit) {
    OpenAndShow();
    Focus(name);
    QTest::keyClick(&name, Qt::Key_End);
    QTest::keyClicks(&name, "!");
    cursor.Post();
    EXPECT_EQ(Stored(*table, 0, kName), "Alpha!");
    EXPECT_EQ(cursor.State(), stBrowse);

    // Moving on settles the edit: the typed text is stored, not lost.
    QTest::keyClicks(&name, "?");
    cursor.Next();
    EXPECT_EQ(Stored(*table, 0, kName), "Alpha!?");
    EXPECT_EQ(name.text(), "Beta");
    EXPECT_TRUE(errors.shown.empty());
}

TEST_F(DBEditTest, EscapeRestoresAndSelectsTheFieldTextAndTheRowStaysInEdit) {
    OpenAndShow();
    Focus(name);
    QTest::keyClick(&name, Qt::Key_End);
    QTest::keyClicks(&name, "zz");
    ASSERT_EQ(name.text(), "Alphazz");
    QTest::keyClick(&name, Qt::Key_Escape);
    EXPECT_EQ(name.text(), "Alpha");
    EXPECT_EQ(name.selectedText(), "Alpha");
    EXPECT_FALSE(name.FieldLink().Modified());
    EXPECT_EQ(cursor.State(), stEdit);

    Focus(other);
    EXPECT_FALSE(cursor.Modified()) << "leaving after Escape writes nothing";
    cursor.EnsureBrowse();
    EXPECT_EQ(cursor.State(), stBrowse);
    EXPECT_EQ(table->updates, 0) << "an unmodified row is cancelled, not rewritten";
}

TEST_F(DBEditTest, TwoEditsOnOneFieldTheWriterIsNotReloadedByItsOwnWrite) {
    TDBEdit age2;
    age2.setObjectName("txtAge2");
    window.layout()->addWidget(&age2);
    Bind(age2, "Age");
    OpenAndShow();
    QString writerTextDuringWrite, otherTextDuringWrite;
    source.OnDataChange = [&](TDataSource &, TField *field) {
        if (field && field->FieldName() == "Age") {
            writerTextDuringWrite = age.text();
            otherTextDuringWrite = age2.text();
        }
    };
    QString fieldOnEnter;
    age2.OnEnter = [&](TDBEdit &) { fieldOnEnter = age.Field()->TextValue(); };

    Focus(age);
    age.selectAll();
    QTest::keyClicks(&age, "+42");
    Focus(age2);
    EXPECT_EQ(writerTextDuringWrite, "+42");
    EXPECT_EQ(otherTextDuringWrite, "42");
    EXPECT_EQ(fieldOnEnter, "42") << "the text is written before the next control enters";
    EXPECT_EQ(age.text(), "42") << "leaving shows the field's text";
    EXPECT_EQ(age2.text(), "42");
}

TEST_F(DBEditTest, AWriteBackTheFieldRefusesKeepsTheFocusAndTheTypedText) {
    OpenAndShow();
    Focus(age);
    // Letters are dropped before they can start an edit.
    QTest::keyClick(&age, Qt::Key_Q);
    EXPECT_EQ(age.text(), "30");
    EXPECT_EQ(cursor.State(), stBrowse);

    QGuiApplication::clipboard()->setText("abc");
    age.selectAll();
    QTest::keyClick(&age, Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(age.text(), "abc");
    ASSERT_EQ(cursor.State(), stEdit);

    other.setFocus(Qt::MouseFocusReason);
    ASSERT_EQ(errors.shown.size(), 1u);
    EXPECT_TRUE(errors.shown[0].text.contains("'abc' is not a valid integer value"))
        << errors.shown[0].text.toStdString();
    EXPECT_EQ(QApplication::focusWidget(), &age);
    EXPECT_EQ(age.text(), "abc");
    EXPECT_EQ(age.selectedText(), "abc");
    EXPECT_EQ(std::count(exits.begin(), exits.end(), &age), 0);
    EXPECT_EQ(age.Field()->TextValue(), "30");

    // Posting with the refused text fails the same way and keeps the row.
    EXPECT_THROW(cursor.Post(), EDatabaseError);
    EXPECT_EQ(cursor.State(), stEdit);
    EXPECT_EQ(age.text(), "abc");

    QTest::keyClicks(&age, "41");
    Focus(other);
    EXPECT_EQ(age.Field()->TextValue(), "41");
    EXPECT_EQ(std::count(exits.begin(), exits.end(), &age), 1);
    cursor.Post();
    EXPECT_EQ(Stored(*table, 0, kAge), "41");
}

TEST_F(DBEditTest, MaxLengthComesFromTheSizeOfATextFieldAndIsResetWithTheField) {
    OpenAndShow();
    Focus(name);
    EXPECT_EQ(name.MaxLength(), 50);
    name.selectAll();
    QTest::keyClicks(&name, QString(60, QLatin1Char('w')));
    EXPECT_EQ(name.text(), QString(50, QLatin1Char('w')));
    EXPECT_EQ(age.MaxLength(), 0) << "an integer field sets no limit";

    // A limit taken from one field's size gives way to the next field's.
    Focus(other);
    cursor.Cancel();
    name.SetDataField("Code");
    EXPECT_EQ(name.MaxLength(), 10);
    EXPECT_EQ(name.text(), "A1");
    // A limit the window set stays.
    name.SetMaxLength(5);
    name.SetDataField("Name");
    EXPECT_EQ(name.MaxLength(), 5);
}

TEST_F(DBEditTest, AStoredTextLongerThanTheFieldSizeIsShownWhole) {
    const QString longName(60, QLatin1Char('L'));
    table->rows[1].values[kName] = longName;
    OpenAndShow();
    Focus(name);
    cursor.Next();
    EXPECT_EQ(name.text(), longName);
    QTest::keyClick(&name, Qt::Key_End);
    QTest::keyClicks(&name, "x");
    EXPECT_EQ(name.text(), longName) << "nothing more can be typed";
    QTest::keyClick(&name, Qt::Key_Backspace);
    EXPECT_EQ(name.text(), longName.left(59));
}

namespace {

// Tries every way of changing the text and checks that none had any effect.
void ExpectEveryChangeRefused(TDBEdit &edit, TRecordCursor &cursor, int changesBefore,
                              const std::map<TDBEdit *, int> &changes) {
    const QString before = edit.text();
    QGuiApplication::clipboard()->setText("pasted");
    QTest::keyClicks(&edit, "xy");
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QTest::keyClick(&edit, Qt::Key_Delete);
    QTest::keyClick(&edit, Qt::Key_Home);
    QTest::keyClick(&edit, Qt::Key_Delete);
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(&edit, Qt::Key_Insert, Qt::ShiftModifier);
    edit.selectAll();
    QTest::keyClick(&edit, Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(&edit, Qt::Key_Z, Qt::ControlModifier);
    std::unique_ptr<QMenu> menu(edit.CreateContextMenu());
    for (const char *name : {"edit-paste", "edit-cut", "edit-undo", "edit-delete"}) {
        QAction *action = menu->findChild<QAction *>(name);
        ASSERT_NE(action, nullptr) << name;
        action->trigger();
    }
    EXPECT_EQ(edit.text(), before);
    EXPECT_EQ(cursor.State(), stBrowse);
    EXPECT_FALSE(cursor.Modified());
    EXPECT_FALSE(edit.FieldLink().Modified());
    const auto it = changes.find(&edit);
    EXPECT_EQ(it == changes.end() ? 0 : it->second, changesBefore);
}

} // namespace

TEST_F(DBEditTest, AutoEditOffRefusesKeysPasteCutAndUndoSilently) {
    source.SetAutoEdit(false);
    OpenAndShow();
    Focus(name);
    ExpectEveryChangeRefused(name, cursor, changes[&name], changes);
    EXPECT_TRUE(errors.shown.empty());
}

TEST_F(DBEditTest, AReadOnlyCursorRefusesKeysPasteCutAndUndoSilently) {
    table->updatable = false;
    OpenAndShow();
    Focus(name);
    EXPECT_FALSE(name.FieldLink().CanModify());
    ExpectEveryChangeRefused(name, cursor, changes[&name], changes);
    EXPECT_TRUE(errors.shown.empty());
}

TEST_F(DBEditTest, AReadOnlyEditRefusesKeysAndNeverWritesBack) {
    name.SetReadOnly(true);
    OpenAndShow();
    Focus(name);
    ExpectEveryChangeRefused(name, cursor, changes[&name], changes);
    // Even while another control edits the row, the read-only edit stays shut.
    Focus(age);
    age.selectAll();
    QTest::keyClicks(&age, "5");
    ASSERT_EQ(cursor.State(), stEdit);
    Focus(name);
    QTest::keyClicks(&name, "q");
    EXPECT_EQ(name.text(), "Alpha");
    EXPECT_TRUE(name.isReadOnly());
    EXPECT_TRUE(errors.shown.empty());
}

TEST_F(DBEditTest, ContextMenuPasteStartsTheEditLikeTheKeyboard) {
    OpenAndShow();
    Focus(name);
    QGuiApplication::clipboard()->setText("Gamma");
    name.selectAll();
    std::unique_ptr<QMenu> menu(name.CreateContextMenu());
    QAction *paste = menu->findChild<QAction *>("edit-paste");
    ASSERT_NE(paste, nullptr);
    EXPECT_TRUE(paste->isEnabled());
    paste->trigger();
    EXPECT_EQ(cursor.State(), stEdit);
    EXPECT_EQ(name.text(), "Gamma");
    EXPECT_EQ(name.Field()->TextValue(), "Alpha");
}

TEST_F(DBEditTest, AnUnknownFieldNameRaisesWithTheControlName) {
    OpenAndShow();
    try {
        name.SetDataField("Nope");
        FAIL() << "no error";
    } catch (const EDatabaseError &error) {
        EXPECT_EQ(error.Message(), "txtName: Field 'Nope' not found");
    }
    EXPECT_EQ(name.Field(), nullptr);
    EXPECT_EQ(name.text(), "");
}

TEST_F(DBEditTest, AFocusRequestForAFieldFocusesOneOfItsControls) {
    OpenAndShow();
    Focus(other);
    cursor.DataEvent(neFocusField, cursor.FieldNamed("Name"));
    // The last attached control hears the request first and takes it.
    EXPECT_EQ(QApplication::focusWidget(), &name2);
    cursor.DataEvent(neFocusField, cursor.FieldNamed("Age"));
    EXPECT_EQ(QApplication::focusWidget(), &age);
}

TEST_F(DBEditTest, ADestroyedDataSourceLeavesTheEditEmptyAndUnbound) {
    auto owned = std::make_unique<TDataSource>("dsOther");
    TDBEdit edit;
    edit.SetDataSource(owned.get());
    edit.SetDataField("Name");
    owned->SetDataSet(&cursor);
    cursor.Open();
    EXPECT_EQ(edit.text(), "Alpha");
    owned.reset();
    EXPECT_EQ(edit.DataSource(), nullptr);
    EXPECT_EQ(edit.text(), "");
    cursor.Next();
    EXPECT_EQ(edit.text(), "");
}
