#include "ErrorBoxCapture.h"
#include "data/DataSource.h"
#include "support/MemoryRowSource.h"
#include "ui/controls/TColumn.h"
#include "ui/controls/TDBGrid.h"
#include "ui/controls/TGridPainter.h"
#include "ui/controls/TInplaceEdit.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

enum Col { kId, kCompany, kCity, kCallback };

std::shared_ptr<MemoryTable> Contacts(int rows, bool updatable) {
    auto table = std::make_shared<MemoryTable>();
    table->Column("ContactID", ColumnType::Integer, 0, true)
        .Column("CompanyName", ColumnType::VarWChar, 50)
        .Column("City", ColumnType::VarWChar, 50)
        .Column("CallbackDate", ColumnType::Date);
    for (int i = 1; i <= rows; ++i)
        table->AddRow({TValue(), QStringLiteral("Company %1").arg(i, 2, 10, QChar('0')),
                       QStringLiteral("City %1").arg(i), 46000.0 + i});
    // A read-only result's columns cannot be written either.
    table->updatable = updatable;
    for (TColumnInfo &column : table->columns)
        column.updatable = updatable;
    return table;
}

class DBGridTest : public ::testing::Test {
protected:
    explicit DBGridTest(int rows = 30, bool updatable = false)
        : table(Contacts(rows, updatable)), cursor("qrySearch", table), source("dsSearch") {}

    void SetUp() override {
        auto *layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        grid = new TDBGrid;
        grid->setObjectName("gridSearch");
        layout->addWidget(grid);
        layout->addWidget(&other);
        window.resize(600, 200);
        source.SetAutoEdit(false);
        source.SetDataSet(&cursor);
        grid->SetDataSource(&source);
        for (const char *name : {"ContactID", "CompanyName", "City", "CallbackDate"}) {
            TColumn *column = grid->Columns().Add();
            column->SetFieldName(name);
        }
        grid->Columns()[kId]->SetVisible(false);
        grid->Columns()[kCompany]->SetWidth(150);
        grid->Columns()[kCity]->SetWidth(150);
    }

    void ShowFocused() {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        grid->setFocus();
        QApplication::processEvents();
    }

    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget *target = grid->EditorShown() ? static_cast<QWidget *>(grid->InplaceEditor())
                                              : static_cast<QWidget *>(grid);
        QTest::keyClick(target, Qt::Key(key), modifiers);
    }

    QPoint CellCentre(int column, int row) const { return grid->CellRect(column, row).center(); }

    int CurrentId() const { return cursor.FieldNamed("ContactID")->IntegerValue(); }

    // Black pixels in the indicator cell of a shown row.
    int IndicatorInk(int row) {
        const QImage image = grid->viewport()->grab().toImage();
        int ink = 0;
        const int top = grid->DataTop() + row * grid->RowHeight();
        for (int y = top; y < top + grid->RowHeight() - 1; ++y)
            for (int x = 1; x < TDBGrid::kIndicatorWidth - 1; ++x)
                ink += image.pixelColor(x, y) == Qt::black ? 1 : 0;
        return ink;
    }

    ErrorBoxCapture errors;
    std::shared_ptr<MemoryTable> table;
    MemoryCursor cursor;
    TDataSource source;
    QWidget window;
    TDBGrid *grid = nullptr;
    QWidget other;
};

TEST_F(DBGridTest, ClosedAndEmptyCursorsShowTitlesAndOneEmptyRow) {
    ShowFocused();
    EXPECT_FALSE(cursor.Active());
    EXPECT_EQ(grid->CurrentRow(), -1);
    EXPECT_EQ(grid->CellText(kCompany, 0), "");
    EXPECT_FALSE(grid->verticalScrollBar()->isEnabled());
    // Without an open cursor a column has no field and its title is its name.
    EXPECT_EQ(grid->Columns()[kCompany]->TitleCaption(), "CompanyName");
    EXPECT_EQ(grid->Columns()[kCallback]->Width(), 64);
    EXPECT_EQ(IndicatorInk(0), 0);

    table->rows.clear();
    cursor.Open();
    EXPECT_TRUE(cursor.IsEmpty());
    EXPECT_EQ(grid->CurrentRow(), -1);
    EXPECT_EQ(grid->CellText(kCompany, 0), "");
    EXPECT_FALSE(grid->verticalScrollBar()->isEnabled());
    EXPECT_EQ(IndicatorInk(0), 0);
    // Keys on an empty list move nothing and raise nothing.
    Key(Qt::Key_Down);
    Key(Qt::Key_End, Qt::ControlModifier);
    Key(Qt::Key_Insert);
    EXPECT_TRUE(errors.shown.empty());
    EXPECT_EQ(cursor.State(), stBrowse);
}

TEST_F(DBGridTest, LayoutFollowsFontsColumnsAndTheRowsThatFit) {
    window.show();
    QApplication::processEvents();
    cursor.Open();
    const QFontMetrics cell(grid->font());
    const QFontMetrics title(grid->TitleFont());
    EXPECT_EQ(grid->RowHeight(), cell.height() + 3 + 1);
    EXPECT_EQ(grid->TitleHeight(), title.height() + 4);
    const int fit = (grid->viewport()->height() - grid->TitleHeight()) / grid->RowHeight();
    EXPECT_EQ(grid->DataRowCount(), std::max(1, fit));
    EXPECT_EQ(cursor.BufferCount(), grid->DataRowCount());

    // The hidden key column takes no space: the first shown column begins
    // right after the indicator.
    EXPECT_EQ(grid->ShownColumns(), (std::vector<int>{kCompany, kCity, kCallback}));
    EXPECT_TRUE(grid->CellRect(kId, 0).isEmpty());
    EXPECT_EQ(grid->CellRect(kCompany, 0).left(), TDBGrid::kIndicatorWidth);
    EXPECT_EQ(grid->CellRect(kCity, 0).left(), TDBGrid::kIndicatorWidth + 151);

    // A date-time column without a width: 18 zeros plus 4, or its title plus 4.
    const int zeros = 18 * cell.horizontalAdvance(QLatin1Char('0')) + 4;
    const int caption = title.horizontalAdvance(QStringLiteral("CallbackDate")) + 4;
    EXPECT_EQ(grid->Columns()[kCallback]->Width(), std::max(zeros, caption));
    QFont wide = grid->TitleFont();
    wide.setPixelSize(60);
    grid->SetTitleFont(wide);
    EXPECT_EQ(grid->Columns()[kCallback]->Width(),
              QFontMetrics(wide).horizontalAdvance(QStringLiteral("CallbackDate")) + 4);

    // Growing the grid buffers more rows.
    const int before = grid->DataRowCount();
    window.resize(600, 400);
    QApplication::processEvents();
    EXPECT_GT(grid->DataRowCount(), before);
    EXPECT_EQ(cursor.BufferCount(), grid->DataRowCount());

    // A column naming no field of the cursor shows empty cells.
    grid->Columns()[kCity]->SetFieldName("NoSuchField");
    EXPECT_EQ(grid->Columns()[kCity]->Field(), nullptr);
    EXPECT_EQ(grid->CellText(kCity, 0), "");
    EXPECT_EQ(grid->DataLink().FieldMap(), (std::vector<int>{0, 1, -1, 3}));
}

TEST_F(DBGridTest, HiddenKeyColumnGivesTheCurrentRowsKey) {
    cursor.Open();
    cursor.Locate("ContactID", 17);
    EXPECT_EQ(grid->Columns()[kId]->Field()->IntegerValue(), 17);
    EXPECT_EQ(grid->CellText(kCompany, grid->CurrentRow()), "Company 17");
    EXPECT_EQ(grid->CellText(kCallback, grid->CurrentRow()),
              cursor.FieldNamed("CallbackDate")->TextOf(46017.0));
}

TEST_F(DBGridTest, ClickingTheThirdRowMovesTheCursorAndTheIndicator) {
    ShowFocused();
    cursor.Open();
    QApplication::processEvents();
    EXPECT_EQ(grid->CurrentRow(), 0);
    EXPECT_GT(IndicatorInk(0), 0);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellCentre(kCity, 2));
    EXPECT_EQ(CurrentId(), 3);
    EXPECT_EQ(grid->CurrentRow(), 2);
    EXPECT_EQ(grid->SelectedIndex(), kCity);
    EXPECT_FALSE(grid->EditorShown());
    EXPECT_EQ(IndicatorInk(0), 0);
    EXPECT_GT(IndicatorInk(2), 0);
    // A second click on the current cell opens the in-place editor with the
    // field's text.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellCentre(kCity, 2));
    ASSERT_TRUE(grid->EditorShown());
    EXPECT_EQ(grid->InplaceEditor()->text(), "City 3");
    // A click below the rows, or on a title, moves nothing.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellCentre(kCompany, -1));
    EXPECT_EQ(CurrentId(), 3);
}

TEST_F(DBGridTest, KeysMoveTheCursor) {
    ShowFocused();
    cursor.Open();
    const int page = grid->DataRowCount();
    Key(Qt::Key_Down);
    EXPECT_EQ(CurrentId(), 2);
    Key(Qt::Key_PageDown);
    EXPECT_EQ(CurrentId(), 2 + page);
    EXPECT_EQ(grid->CurrentRow(), page - 1); // the rows scrolled under it
    Key(Qt::Key_Up, Qt::ControlModifier);    // first row shown
    EXPECT_EQ(grid->CurrentRow(), 0);
    EXPECT_EQ(CurrentId(), 3);
    Key(Qt::Key_PageDown, Qt::ControlModifier); // last row shown
    EXPECT_EQ(grid->CurrentRow(), page - 1);
    Key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(CurrentId(), 30);
    EXPECT_EQ(grid->CurrentRow(), page - 1);
    EXPECT_EQ(grid->CellText(kCompany, grid->CurrentRow()), "Company 30");
    Key(Qt::Key_PageUp);
    EXPECT_EQ(CurrentId(), 30 - page);
    Key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(CurrentId(), 1);
    Key(Qt::Key_Up);
    EXPECT_EQ(CurrentId(), 1);

    // Columns: End, Home, Right, Left; the hidden key column is never current.
    Key(Qt::Key_End);
    EXPECT_EQ(grid->SelectedIndex(), kCallback);
    Key(Qt::Key_Home);
    EXPECT_EQ(grid->SelectedIndex(), kCompany);
    Key(Qt::Key_Right);
    EXPECT_EQ(grid->SelectedIndex(), kCity);
    Key(Qt::Key_Left);
    Key(Qt::Key_Left);
    EXPECT_EQ(grid->SelectedIndex(), kCompany);
    EXPECT_TRUE(errors.shown.empty());
}

TEST_F(DBGridTest, ReadOnlyListRefusesEveryEdit) {
    int asked = 0;
    TDBGrid::ConfirmHook = [&](const QString &) {
        ++asked;
        return true;
    };
    ShowFocused();
    cursor.Open();
    Key(Qt::Key_End, Qt::ControlModifier);
    // Typing opens the in-place editor and changes nothing.
    QTest::keyClicks(grid, "xy");
    EXPECT_TRUE(grid->EditorShown());
    EXPECT_EQ(grid->InplaceEditor()->text(), "Company 30");
    EXPECT_EQ(cursor.State(), stBrowse);
    Key(Qt::Key_Escape);
    EXPECT_FALSE(grid->EditorShown());
    // Insert, Ctrl+Delete and Down on the last row neither add nor remove.
    Key(Qt::Key_Insert);
    Key(Qt::Key_Delete, Qt::ControlModifier);
    Key(Qt::Key_Down);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(table->rows.size(), 30u);
    EXPECT_EQ(cursor.State(), stBrowse);
    EXPECT_EQ(CurrentId(), 30);
    // Read-only fields are no tab stops: Tab moves a row on and keeps the column.
    Key(Qt::Key_Home, Qt::ControlModifier);
    Key(Qt::Key_Right);
    Key(Qt::Key_Tab);
    EXPECT_EQ(CurrentId(), 2);
    EXPECT_EQ(grid->SelectedIndex(), kCity);
    EXPECT_TRUE(errors.shown.empty());
    TDBGrid::ConfirmHook = nullptr;
}

TEST_F(DBGridTest, ReopenedQueryShowsItsFirstRowsWithTheFirstCurrent) {
    cursor.Open();
    cursor.Last();
    EXPECT_GT(grid->CurrentRow(), 0);
    cursor.Close();
    EXPECT_EQ(grid->CurrentRow(), -1);
    table->rows.erase(table->rows.begin()); // the new result begins elsewhere
    cursor.Open();
    EXPECT_EQ(grid->CurrentRow(), 0);
    EXPECT_EQ(grid->DataLink().FirstShownRow(), 0);
    EXPECT_EQ(grid->CellText(kCompany, 0), "Company 02");
    EXPECT_EQ(grid->CellText(kCompany, 1), "Company 03");
}

TEST_F(DBGridTest, CursorMovesElsewhereAreFollowed) {
    cursor.Open();
    const int page = grid->DataRowCount();
    cursor.MoveBy(page); // one past the shown rows: the rows scroll by one
    EXPECT_EQ(grid->CurrentRow(), page - 1);
    EXPECT_EQ(grid->CellText(kCompany, 0), "Company 02");
    cursor.Locate("ContactID", 20);
    EXPECT_EQ(grid->CellText(kCompany, grid->CurrentRow()), "Company 20");
    cursor.First();
    EXPECT_EQ(grid->CurrentRow(), 0);
    EXPECT_EQ(grid->CellText(kCompany, 0), "Company 01");
}

TEST_F(DBGridTest, ColumnsResizeAndMoveByDraggingTitles) {
    ShowFocused();
    cursor.Open();
    int titleClicks = 0;
    grid->OnTitleClick = [&](TColumn *) { ++titleClicks; };
    QWidget *view = grid->viewport();
    const QRect company = grid->CellRect(kCompany, -1);
    const QPoint edge(company.right() + 1, company.center().y());
    QTest::mousePress(view, Qt::LeftButton, {}, edge);
    QTest::mouseMove(view, edge + QPoint(40, 0));
    QTest::mouseRelease(view, Qt::LeftButton, {}, edge + QPoint(40, 0));
    EXPECT_EQ(grid->Columns()[kCompany]->Width(), 190);
    EXPECT_TRUE(grid->Columns()[kCompany]->WidthSet());

    // Dragging the City title onto CompanyName puts City first.
    const QPoint city = grid->CellRect(kCity, -1).center();
    QTest::mousePress(view, Qt::LeftButton, {}, city);
    QTest::mouseMove(view, grid->CellRect(kCompany, -1).center());
    QTest::mouseRelease(view, Qt::LeftButton, {}, grid->CellRect(kCompany, -1).center());
    EXPECT_EQ(grid->Columns()[kCompany]->FieldName(), "City");
    EXPECT_EQ(grid->Columns()[kCity]->FieldName(), "CompanyName");
    EXPECT_EQ(grid->CellText(kCompany, 0), "City 1");
    EXPECT_EQ(titleClicks, 0);
    QTest::mouseClick(view, Qt::LeftButton, {}, grid->CellRect(kCity, -1).center());
    EXPECT_EQ(titleClicks, 1);
}

TEST_F(DBGridTest, GlyphsAreSixByElevenAndDistinct) {
    std::vector<QImage> images;
    for (auto glyph :
         {TGridPainter::Glyph::Arrow, TGridPainter::Glyph::IBeam, TGridPainter::Glyph::Asterisk}) {
        QImage image(20, 20, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        TGridPainter::DrawGlyph(painter, QPoint(5, 5), glyph);
        painter.end();
        QRect ink;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x)
                if (image.pixelColor(x, y) == Qt::black)
                    ink |= QRect(x, y, 1, 1);
        EXPECT_TRUE(QRect(5, 5, 6, 11).contains(ink)) << ink.x() << "," << ink.y();
        images.push_back(image);
    }
    EXPECT_NE(images[0], images[1]);
    EXPECT_NE(images[1], images[2]);
}

// Moves the scroll bar's thumb to a position as a drag released there does.
void DragThumb(QScrollBar *bar, int position) {
    bar->setSliderDown(true);
    bar->setSliderPosition(position);
    bar->setSliderDown(false);
}

TEST_F(DBGridTest, ScrollBarWithRecordNumbers) {
    ShowFocused();
    cursor.Open();
    QScrollBar *bar = grid->verticalScrollBar();
    const int page = grid->DataRowCount();
    EXPECT_TRUE(bar->isEnabled());
    EXPECT_EQ(bar->minimum(), 1);
    EXPECT_EQ(bar->maximum(), 30);
    EXPECT_EQ(bar->pageStep(), page);
    EXPECT_EQ(bar->value(), 1);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd); // the row below the shown rows
    EXPECT_EQ(CurrentId(), page + 1);
    EXPECT_EQ(bar->value(), page + 1);
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub); // the row above them
    EXPECT_EQ(CurrentId(), 1);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(CurrentId(), 1 + page);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(CurrentId(), 30);
    EXPECT_EQ(bar->value(), 30);
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(CurrentId(), 1);
    DragThumb(bar, 12);
    EXPECT_EQ(CurrentId(), 12);
    EXPECT_EQ(bar->value(), 12);
    EXPECT_EQ(grid->CellText(kCompany, grid->CurrentRow()), "Company 12");
    DragThumb(bar, 30);
    EXPECT_EQ(CurrentId(), 30);
    DragThumb(bar, 1);
    EXPECT_EQ(CurrentId(), 1);
    // The wheel moves one row per notch.
    QWheelEvent wheel(QPointF(20, 40), grid->mapToGlobal(QPointF(20, 40)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid->viewport(), &wheel);
    EXPECT_EQ(CurrentId(), 2);
    EXPECT_TRUE(errors.shown.empty());
}

TEST_F(DBGridTest, FivePositionScrollBarWithoutRecordNumbers) {
    table->rowNumbers = false;
    ShowFocused();
    cursor.Open();
    QScrollBar *bar = grid->verticalScrollBar();
    const int page = grid->DataRowCount();
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 4);
    EXPECT_EQ(bar->value(), 0);
    Key(Qt::Key_Down);
    EXPECT_EQ(bar->value(), 2);
    DragThumb(bar, 3);
    EXPECT_EQ(CurrentId(), 2 + page);
    DragThumb(bar, 1);
    EXPECT_EQ(CurrentId(), 2);
    DragThumb(bar, 4);
    EXPECT_EQ(CurrentId(), 30);
    EXPECT_EQ(bar->value(), 4);
    DragThumb(bar, 0);
    EXPECT_EQ(CurrentId(), 1);
    EXPECT_EQ(bar->value(), 0);
}

class EditableGridTest : public DBGridTest {
protected:
    EditableGridTest() : DBGridTest(5, true) {}
};

TEST_F(EditableGridTest, TypingEditsTheFieldAndEnterWritesIt) {
    source.SetAutoEdit(true);
    ShowFocused();
    cursor.Open();
    Key(Qt::Key_Down);
    Key(Qt::Key_F2);
    ASSERT_TRUE(grid->EditorShown());
    grid->InplaceEditor()->selectAll();
    QTest::keyClicks(grid->InplaceEditor(), "Zeta");
    EXPECT_EQ(cursor.State(), stEdit);
    EXPECT_GT(IndicatorInk(1), 0);
    Key(Qt::Key_Return); // writes and closes
    EXPECT_FALSE(grid->EditorShown());
    EXPECT_EQ(cursor.FieldNamed("CompanyName")->TextValue(), "Zeta");
    Key(Qt::Key_Down); // leaving the row saves it
    EXPECT_EQ(cursor.State(), stBrowse);
    EXPECT_EQ(table->rows[1].values[kCompany].toString(), "Zeta");

    // Escape drops the typed text first, then the edit.
    Key(Qt::Key_F2);
    QTest::keyClicks(grid->InplaceEditor(), "q");
    Key(Qt::Key_Escape);
    EXPECT_FALSE(grid->EditorShown());
    EXPECT_EQ(cursor.State(), stEdit);
    Key(Qt::Key_Escape);
    EXPECT_EQ(cursor.State(), stBrowse);
    EXPECT_EQ(table->rows[2].values[kCompany].toString(), "Company 03");
}

TEST_F(EditableGridTest, TabVisitsEditableColumnsAndWrapsToTheNextRow) {
    ShowFocused();
    cursor.Open();
    EXPECT_EQ(grid->SelectedIndex(), kCompany);
    Key(Qt::Key_Tab);
    EXPECT_EQ(grid->SelectedIndex(), kCity);
    Key(Qt::Key_Tab);
    EXPECT_EQ(grid->SelectedIndex(), kCallback);
    Key(Qt::Key_Tab); // the hidden key column is skipped; on to the next row
    EXPECT_EQ(grid->SelectedIndex(), kCompany);
    EXPECT_EQ(CurrentId(), 2);
    Key(Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(grid->SelectedIndex(), kCallback);
    EXPECT_EQ(CurrentId(), 1);
}

TEST_F(EditableGridTest, InsertAndConfirmedDelete) {
    bool answer = false;
    int asked = 0;
    TDBGrid::ConfirmHook = [&](const QString &question) {
        EXPECT_EQ(question, "Delete record?");
        ++asked;
        return answer;
    };
    ShowFocused();
    cursor.Open();
    Key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(table->rows.size(), 5u);
    answer = true;
    Key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(table->rows.size(), 4u);
    Key(Qt::Key_Insert);
    EXPECT_EQ(cursor.State(), stInsert);
    EXPECT_GT(IndicatorInk(grid->CurrentRow()), 0);
    // Leaving the grid with an untouched new row drops it.
    other.setFocus();
    QApplication::processEvents();
    EXPECT_EQ(cursor.State(), stBrowse);
    EXPECT_EQ(table->rows.size(), 4u);
    TDBGrid::ConfirmHook = nullptr;
}

} // namespace
