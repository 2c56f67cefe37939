#include "ErrorBoxCapture.h"
#include "data/DataSource.h"
#include "support/MemoryRowSource.h"
#include "ui/controls/TDBMemo.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>

namespace {

enum Col { kId, kName, kNote };

std::shared_ptr<MemoryTable> NotesTable() {
    auto table = std::make_shared<MemoryTable>();
    table->Column("ID", ColumnType::Integer, 0, true)
        .Column("Name", ColumnType::VarWChar, 50)
        .Column("Note", ColumnType::LongVarWChar);
    table->AddRow({TValue(), QStringLiteral("Alpha"), QStringLiteral("Line 1\r\nLine 2")});
    table->AddRow({TValue(), QStringLiteral("Beta"), TValue()});
    table->AddRow({TValue(), QStringLiteral("Gamma"), QString(5000, QLatin1Char('g'))});
    table->AddRow({TValue(), QStringLiteral("Delta"), QStringLiteral("Short")});
    return table;
}

class DBMemoTest : public ::testing::Test {
protected:
    DBMemoTest() : table(NotesTable()), cursor("rsNotes", table), source("dsNotes") {}

    void SetUp() override {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(&memo);
        layout->addWidget(&other);
        memo.setObjectName("txtNotes");
        memo.SetDataSource(&source);
        memo.SetDataField("Note");
        memo.OnChange = [this](TDBMemo &) { ++changes; };
        source.SetDataSet(&cursor);
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

    QString StoredNote(int row) const {
        const TValue &value = table->rows.at(size_t(row)).values.at(kNote);
        return ValueIsNull(value) ? QStringLiteral("<null>") : value.toString();
    }

    std::shared_ptr<MemoryTable> table;
    MemoryCursor cursor;
    TDataSource source;
    QWidget window;
    TDBMemo memo;
    QLineEdit other;
    int changes = 0;
    ErrorBoxCapture errors;
};

} // namespace

TEST_F(DBMemoTest, ShowsTheWholeNoteAfterEveryMoveWithoutMarkingItModified) {
    OpenAndShow();
    const auto expectShown = [this](const QString &text) {
        EXPECT_EQ(memo.toPlainText(), text);
        EXPECT_TRUE(memo.MemoLoaded());
        EXPECT_TRUE(memo.isReadOnly());
        EXPECT_FALSE(memo.FieldLink().Modified());
    };
    expectShown("Line 1\nLine 2");
    cursor.Next();
    expectShown("");
    cursor.Next();
    expectShown(QString(5000, QLatin1Char('g')));
    cursor.Last();
    expectShown("Short");
    cursor.Prior();
    expectShown(QString(5000, QLatin1Char('g')));
    cursor.First();
    expectShown("Line 1\nLine 2");
    EXPECT_TRUE(cursor.Locate("Name", QStringLiteral("Delta")));
    expectShown("Short");
    cursor.Close();
    EXPECT_EQ(memo.toPlainText(), "");
    EXPECT_FALSE(memo.MemoLoaded());
}

TEST_F(DBMemoTest, EnterBreaksTheLineStartsTheEditAndIsStoredOnLeaving) {
    OpenAndShow();
    Focus(memo);
    memo.moveCursor(QTextCursor::End);
    QTest::keyClick(&memo, Qt::Key_Return);
    EXPECT_EQ(cursor.State(), stEdit);
    QTest::keyClicks(&memo, "Line 3");
    EXPECT_EQ(memo.toPlainText(), "Line 1\nLine 2\nLine 3");
    EXPECT_EQ(memo.Field()->TextValue(), "Line 1\r\nLine 2") << "typing alone never writes";
    Focus(other);
    EXPECT_EQ(memo.Field()->TextValue(), "Line 1\r\nLine 2\r\nLine 3");
    cursor.Post();
    EXPECT_EQ(StoredNote(0), "Line 1\r\nLine 2\r\nLine 3");
    EXPECT_EQ(memo.toPlainText(), "Line 1\nLine 2\nLine 3");
}

TEST_F(DBMemoTest, PostWritesTheFocusedMemoAndEscapeRestoresTheField) {
    OpenAndShow();
    Focus(memo);
    memo.moveCursor(QTextCursor::Start);
    QTest::keyClicks(&memo, "Note: ");
    EXPECT_EQ(memo.toPlainText(), "Note: Line 1\nLine 2") << "typed at the caret";
    QTest::keyClick(&memo, Qt::Key_Escape);
    EXPECT_EQ(memo.toPlainText(), "Line 1\nLine 2");
    EXPECT_EQ(cursor.State(), stEdit);
    EXPECT_FALSE(memo.FieldLink().Modified());

    QTest::keyClicks(&memo, "x");
    cursor.Post();
    EXPECT_EQ(StoredNote(0), "xLine 1\r\nLine 2");
    EXPECT_TRUE(errors.shown.empty());
}

TEST_F(DBMemoTest, WithoutAutoDisplayTheTitleShowsUntilEnterOrADoubleClickLoads) {
    memo.SetAutoDisplay(false);
    OpenAndShow();
    EXPECT_EQ(memo.toPlainText(), "(Note)");
    EXPECT_FALSE(memo.MemoLoaded());
    Focus(memo);
    QTest::keyClicks(&memo, "abc");
    EXPECT_EQ(memo.toPlainText(), "(Note)") << "characters are swallowed while not loaded";
    EXPECT_EQ(cursor.State(), stBrowse);

    QTest::keyClick(&memo, Qt::Key_Return);
    EXPECT_TRUE(memo.MemoLoaded());
    EXPECT_EQ(memo.toPlainText(), "Line 1\nLine 2");
    EXPECT_EQ(cursor.State(), stBrowse) << "loading is no edit";
    EXPECT_FALSE(memo.FieldLink().Modified());

    Focus(other);
    cursor.Next();
    EXPECT_EQ(memo.toPlainText(), "(Note)");
    EXPECT_FALSE(memo.MemoLoaded());
    QTest::mouseDClick(memo.viewport(), Qt::LeftButton);
    EXPECT_TRUE(memo.MemoLoaded());
    EXPECT_EQ(memo.toPlainText(), "");
}

TEST_F(DBMemoTest, ALoadedMemoBeingEditedKeepsFollowingTheRowWithoutAutoDisplay) {
    memo.SetAutoDisplay(false);
    OpenAndShow();
    memo.LoadMemo();
    Focus(memo);
    QTest::keyClicks(&memo, "y");
    ASSERT_EQ(cursor.State(), stEdit);
    // Another control's change of the row reloads the memo's value.
    cursor.FieldNamed("Note")->SetTextValue("Replaced");
    EXPECT_EQ(memo.toPlainText(), "Replaced");
    EXPECT_TRUE(memo.MemoLoaded());
}

TEST_F(DBMemoTest, AReadOnlyMemoOrCursorRefusesEveryChangeSilently) {
    for (const bool readOnlyCursor : {false, true}) {
        SCOPED_TRACE(readOnlyCursor ? "read-only cursor" : "ReadOnly memo");
        cursor.Close();
        table->updatable = !readOnlyCursor;
        memo.SetReadOnly(!readOnlyCursor);
        OpenAndShow();
        Focus(memo);
        const int changesBefore = changes;
        QGuiApplication::clipboard()->setText("pasted");
        QTest::keyClicks(&memo, "xy");
        QTest::keyClick(&memo, Qt::Key_Return);
        QTest::keyClick(&memo, Qt::Key_Backspace);
        QTest::keyClick(&memo, Qt::Key_Delete);
        QTest::keyClick(&memo, Qt::Key_V, Qt::ControlModifier);
        memo.selectAll();
        QTest::keyClick(&memo, Qt::Key_X, Qt::ControlModifier);
        QTest::keyClick(&memo, Qt::Key_Z, Qt::ControlModifier);
        std::unique_ptr<QMenu> menu(memo.CreateContextMenu());
        for (const char *name : {"edit-paste", "edit-cut", "edit-undo", "edit-delete"}) {
            QAction *action = menu->findChild<QAction *>(name);
            ASSERT_NE(action, nullptr) << name;
            EXPECT_FALSE(action->isEnabled()) << name;
            action->trigger();
        }
        EXPECT_EQ(memo.toPlainText(), "Line 1\nLine 2");
        EXPECT_EQ(cursor.State(), stBrowse);
        EXPECT_EQ(changes, changesBefore);
        EXPECT_FALSE(memo.FieldLink().Modified());
        Focus(other);
    }
    EXPECT_EQ(table->updates, 0);
    EXPECT_TRUE(errors.shown.empty());
}

TEST_F(DBMemoTest, AMemoOnATextFieldIsLoadedAtOnceAndResetOnEntering) {
    memo.SetDataField("Name");
    memo.SetAutoDisplay(false);
    OpenAndShow();
    EXPECT_EQ(memo.toPlainText(), "Alpha");
    EXPECT_TRUE(memo.MemoLoaded());
    Focus(memo);
    QTest::keyClicks(&memo, "Z");
    EXPECT_EQ(cursor.State(), stEdit);
    Focus(other);
    EXPECT_EQ(memo.Field()->TextValue(), "ZAlpha");
}
