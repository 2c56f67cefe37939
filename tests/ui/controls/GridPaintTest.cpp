// The grid paints incrementally: a short move scrolls the painted pixels
// and repaints only what comes into view and the old and new current rows.
// These tests drive the search list's grid over a real query with random
// keys, wheel turns, scroll bar actions and clicks, and after every step
// compare the pixels the window really holds with a full repaint of the
// same state, check that the rows shown are the query's rows around the
// current one, and that a click loads the contact painted in the clicked row.
#include "ErrorBoxCapture.h"
#include "data/DBConnection.h"
#include "data/DataSource.h"
#include "data/QueryCursor.h"
#include "support/TempDatabase.h"
#include "ui/controls/TColumn.h"
#include "ui/controls/TDBGrid.h"
#include "ui/controls/TInplaceEdit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPaintEvent>
#include <QPixmap>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <random>

namespace {

enum Col { kId, kCompany, kPerson, kCity };

constexpr int kContacts = 200;
constexpr int kRowsShown = 10;
constexpr int kSteps = 60;
constexpr int kSeedsPerTest = 10;
// At least a tenth of the steps must scroll by pixels for the comparison to
// say much about the incremental painting.
constexpr int kFewestIncrementalScrolls = kSeedsPerTest * kSteps / 10;

// Paint events a widget receives while recording is on.
class PaintLog : public QObject {
public:
    bool recording = true;
    std::vector<QRegion> regions;

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (recording && event->type() == QEvent::Paint)
            regions.push_back(static_cast<QPaintEvent *>(event)->region());
        return false;
    }
};

struct Contact {
    int id;
    QString company;
};

class GridPaintTest : public ::testing::Test {
protected:
    GridPaintTest() : db(kContacts) {}

    void SetUp() override {
        conn.SetConnectionString(db.ConnectionString());
        query.SetConnection(&conn);
        query.SetLockType(ltReadOnly);
        query.SQL().Add(QStringLiteral("select * from Contacts"));
        source.SetAutoEdit(false);
        source.SetDataSet(&query);

        // Built as the main window builds its search list.
        grid = new TDBGrid(&window);
        grid->setObjectName(QStringLiteral("gridSearch"));
        QFont title(QStringLiteral("MS Sans Serif"));
        title.setPixelSize(11);
        grid->SetTitleFont(title);
        grid->SetDataSource(&source);
        for (const char *name : {"ContactID", "CompanyName", "ContactPerson", "City"}) {
            TColumn *column = grid->Columns().Add();
            column->SetFieldName(QString::fromLatin1(name));
            column->SetWidth(150);
        }
        grid->Columns()[kId]->SetVisible(false);
        // Half a row to spare below the rows that fit, and no horizontal bar.
        const int frame = 2 * grid->frameWidth();
        const int width = grid->TotalWidth() + grid->verticalScrollBar()->sizeHint().width();
        grid->setGeometry(0, 0, width + frame + 20,
                          grid->TitleHeight() + kRowsShown * grid->RowHeight() +
                              grid->RowHeight() / 2 + frame);
        window.resize(grid->size());
        grid->viewport()->installEventFilter(&paints);

        // The same statement on its own connection gives the rows in the
        // query's order.
        for (const QString &row : db.Rows(QStringLiteral("select ContactID, CompanyName "
                                                         "from Contacts"))) {
            const int bar = row.indexOf('|');
            contacts.push_back({row.left(bar).toInt(), row.mid(bar + 1)});
        }
        ASSERT_EQ(int(contacts.size()), kContacts);
    }

    void ShowFocused() {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        grid->setFocus();
        Settle();
        ASSERT_EQ(grid->DataRowCount(), kRowsShown);
        ASSERT_TRUE(grid->hasFocus());
    }

    // Lets every pending paint happen. Posted events come last, so that a
    // repaint asked for by a timer (the editor's caret) is not left pending.
    static void Settle() {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents();
        }
    }

    // The viewport's pixels as the window's backing store holds them: what
    // the incremental scrolls and partial repaints have left there.
    QImage OnScreen() {
        QWidget *viewport = grid->viewport();
        const QPoint at = viewport->mapTo(&window, QPoint(0, 0));
        return window.screen()
            ->grabWindow(window.winId(), at.x(), at.y(), viewport->width(), viewport->height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }

    // The viewport painted afresh from the grid's present state.
    QImage Repainted() {
        paints.recording = false;
        QImage image = grid->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        paints.recording = true;
        return image;
    }

    // The bands of the viewport whose pixels differ, named for the reader.
    QString Differences(const QImage &shown, const QImage &fresh) const {
        if (shown.size() != fresh.size())
            return QStringLiteral("image sizes differ");
        QStringList bands;
        int lastBand = -2;
        for (int y = 0; y < shown.height(); ++y) {
            if (std::memcmp(shown.constScanLine(y), fresh.constScanLine(y),
                            std::size_t(shown.bytesPerLine())) == 0)
                continue;
            const int band = y < grid->DataTop() ? -1 : (y - grid->DataTop()) / grid->RowHeight();
            if (band != lastBand)
                bands << (band < 0 ? QStringLiteral("titles") : QStringLiteral("row %1").arg(band));
            lastBand = band;
        }
        return bands.join(", ");
    }

    int IndexOfId(int id) const {
        for (int i = 0; i < int(contacts.size()); ++i)
            if (contacts[std::size_t(i)].id == id)
                return i;
        return -1;
    }

    // The key of the current row, read as Load reads it: through the grid's
    // hidden first column.
    int LoadedId() const { return grid->Columns()[kId]->Field()->IntegerValue(); }

    // Pixels of a rectangle in one colour.
    static int Count(const QImage &image, const QRect &area, QColor colour) {
        int count = 0;
        const QRgb wanted = colour.rgb();
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                count += (image.pixel(x, y) & 0xFFFFFF) == (wanted & 0xFFFFFF) ? 1 : 0;
        return count;
    }

    // Everything that must hold after a step; empty when it does.
    QString Problem() {
        const QImage shown = OnScreen();
        if (shown.isNull())
            return QStringLiteral("the window's pixels cannot be read");
        const QImage fresh = Repainted();
        if (shown != fresh)
            return QStringLiteral("painted pixels differ from a full repaint in ") +
                   Differences(shown, fresh);
        if (!errors.shown.empty())
            return QStringLiteral("error box: ") + errors.shown.front().text;

        // The rows shown are the query's rows around the current one.
        TDataLink &link = grid->DataLink();
        const int current = grid->CurrentRow();
        const int at = IndexOfId(LoadedId());
        if (link.ShownRowCount() != kRowsShown)
            return QStringLiteral("%1 rows shown").arg(link.ShownRowCount());
        if (current < 0 || at < 0)
            return QStringLiteral("no current row");
        const int top = at - current;
        if (top < 0 || top + kRowsShown > kContacts)
            return QStringLiteral("the query's row %1 cannot be shown on row %2")
                .arg(at + 1)
                .arg(current);
        for (int row = 0; row < kRowsShown; ++row) {
            const Contact &expected = contacts[std::size_t(top + row)];
            if (grid->CellText(kId, row) != QString::number(expected.id) ||
                grid->CellText(kCompany, row) != expected.company)
                return QStringLiteral("row %1 shows %2 \"%3\", the query has %4 \"%5\" there")
                    .arg(row)
                    .arg(grid->CellText(kId, row), grid->CellText(kCompany, row))
                    .arg(expected.id)
                    .arg(expected.company);
        }
        if (query.RecordCount() >= 0 && query.RecNo() != at + 1)
            return QStringLiteral("record number %1 on the query's row %2")
                .arg(query.RecNo())
                .arg(at + 1);

        // The current row is the one painted as current: the indicator's
        // glyph, and the highlight or the in-place editor in its cell.
        const QColor highlight = grid->palette().color(QPalette::Active, QPalette::Highlight);
        for (int row = 0; row < kRowsShown; ++row) {
            const QRect indicator(0, grid->DataTop() + row * grid->RowHeight(),
                                  TDBGrid::kIndicatorWidth, grid->RowHeight() - 1);
            const bool glyph = Count(shown, indicator, Qt::black) > 0;
            const QRect cell = grid->CellRect(grid->SelectedIndex(), row);
            // The in-place editor covers the current cell with its own
            // (selected, so highlighted) text: that cell is not looked at.
            const bool editorCell = row == current && grid->EditorShown();
            const bool lit = Count(shown, cell, highlight) * 2 > cell.width() * cell.height();
            if (glyph != (row == current) || (!editorCell && lit != (row == current)))
                return QStringLiteral("row %1 is painted with%2 the indicator and with%3 the "
                                      "highlight; the current row is %4%5")
                    .arg(row)
                    .arg(glyph ? QString() : QStringLiteral("out"))
                    .arg(lit ? QString() : QStringLiteral("out"))
                    .arg(current)
                    .arg(grid->hasFocus() ? QString() : QStringLiteral(", the grid has no focus"));
        }
        if (grid->EditorShown() && !grid->CellRect(grid->SelectedIndex(), current)
                                        .contains(grid->InplaceEditor()->geometry()))
            return QStringLiteral("the in-place editor is not on the current row");
        return QString();
    }

    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget *target = grid->EditorShown() ? static_cast<QWidget *>(grid->InplaceEditor())
                                              : static_cast<QWidget *>(grid);
        QTest::keyClick(target, Qt::Key(key), modifiers);
    }

    void Wheel(QWidget *target, QPoint at, int notches) {
        QWheelEvent wheel(at, target->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, 120 * notches),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &wheel);
    }

    // One random step; returns what it did. A click checks at once that it
    // loaded the contact of the row clicked, into `problem`.
    QString Step(std::mt19937 &random, QString &problem);
    // Runs seeded sequences on a query of the given type.
    void RunSeeds(TCursorType type, int firstSeed, int seeds);

    ErrorBoxCapture errors;
    TempDatabase db;
    TDBConnection conn{QStringLiteral("connDB")};
    TQueryCursor query{QStringLiteral("qrySearch")};
    TDataSource source{QStringLiteral("dsSearch")};
    QWidget window;
    TDBGrid *grid = nullptr;
    PaintLog paints;
    std::vector<Contact> contacts;
    int incrementalScrolls = 0; // steps that moved the rows by partial repaints only
};

QString GridPaintTest::Step(std::mt19937 &random, QString &problem) {
    auto pick = [&](int n) { return int(random() % std::uint32_t(n)); };
    QScrollBar *bar = grid->verticalScrollBar();
    // Single rows and wheel turns most often: they scroll by pixels.
    static const int kWeights[] = {8, 8, 2, 2, 1, 1, 3, 3, 5, 2, 4, 1, 4};
    int total = 0;
    for (int weight : kWeights)
        total += weight;
    int kind = 0;
    for (int roll = pick(total); roll >= kWeights[kind]; roll -= kWeights[kind])
        ++kind;
    switch (kind) {
    case 0:
        Key(Qt::Key_Down);
        return QStringLiteral("Down");
    case 1:
        Key(Qt::Key_Up);
        return QStringLiteral("Up");
    case 2:
        Key(Qt::Key_PageDown);
        return QStringLiteral("PageDown");
    case 3:
        Key(Qt::Key_PageUp);
        return QStringLiteral("PageUp");
    case 4:
        Key(Qt::Key_Home, Qt::ControlModifier);
        return QStringLiteral("Ctrl+Home");
    case 5:
        Key(Qt::Key_End, Qt::ControlModifier);
        return QStringLiteral("Ctrl+End");
    case 6:
        Key(Qt::Key_Up, Qt::ControlModifier);
        return QStringLiteral("Ctrl+Up");
    case 7:
        Key(Qt::Key_Down, Qt::ControlModifier);
        return QStringLiteral("Ctrl+Down");
    case 8: {
        const int notches = (1 + pick(3)) * (pick(2) ? 1 : -1);
        const QPoint at(1 + pick(grid->viewport()->width() - 2),
                        1 + pick(grid->viewport()->height() - 2));
        Wheel(grid->viewport(), at, notches);
        return QStringLiteral("wheel %1").arg(notches);
    }
    case 9: {
        const int notches = pick(2) ? 1 : -1;
        Wheel(bar, bar->rect().center(), notches);
        return QStringLiteral("wheel %1 on the bar").arg(notches);
    }
    case 10: {
        static const QAbstractSlider::SliderAction kActions[] = {
            QAbstractSlider::SliderSingleStepAdd, QAbstractSlider::SliderSingleStepSub,
            QAbstractSlider::SliderPageStepAdd,   QAbstractSlider::SliderPageStepSub,
            QAbstractSlider::SliderToMinimum,     QAbstractSlider::SliderToMaximum};
        const int action = pick(6);
        bar->triggerAction(kActions[action]);
        return QStringLiteral("bar action %1").arg(int(kActions[action]));
    }
    case 11: {
        const int position = bar->minimum() + pick(bar->maximum() - bar->minimum() + 1);
        bar->setSliderDown(true);
        bar->setSliderPosition(position);
        bar->setSliderDown(false);
        return QStringLiteral("thumb to %1 of %2..%3")
            .arg(position)
            .arg(bar->minimum())
            .arg(bar->maximum());
    }
    default: {
        // Anywhere in a row of a shown column, its line below included.
        const int row = pick(grid->DataLink().ShownRowCount());
        const std::vector<int> &shown = grid->ShownColumns();
        const int column = shown[std::size_t(pick(int(shown.size())))];
        const QRect cell = grid->CellRect(column, row);
        const QPoint at(cell.left() + pick(cell.width()), cell.top() + pick(grid->RowHeight()));
        TRecordCursor &cursor = query;
        const int buffer = grid->DataLink().FirstShownRow() + row;
        const int id = cursor.BufferedValue(buffer, cursor.FieldNamed("ContactID")).toInt();
        const QString company =
            cursor.BufferedValue(buffer, cursor.FieldNamed("CompanyName")).toString();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        const QString what =
            QStringLiteral("click row %1 at (%2,%3)").arg(row).arg(at.x()).arg(at.y());
        if (LoadedId() != id || query.FieldNamed("CompanyName")->TextValue() != company ||
            grid->CurrentRow() != row)
            problem = QStringLiteral("the click on row %1 (contact %2 \"%3\") loaded contact %4 "
                                     "\"%5\" on row %6")
                          .arg(row)
                          .arg(id)
                          .arg(company)
                          .arg(LoadedId())
                          .arg(query.FieldNamed("CompanyName")->TextValue())
                          .arg(grid->CurrentRow());
        return what;
    }
    }
}

void GridPaintTest::RunSeeds(TCursorType type, int firstSeed, int seeds) {
    ShowFocused();
    for (int seed = firstSeed; seed < firstSeed + seeds; ++seed) {
        query.Close();
        query.SetCursorType(type);
        query.Open();
        grid->setFocus();
        Settle();
        QStringList steps;
        QString problem = Problem();
        std::mt19937 random{std::uint32_t(seed)};
        for (int i = 0; i < kSteps && problem.isEmpty(); ++i) {
            const int topBefore = IndexOfId(LoadedId()) - grid->CurrentRow();
            paints.regions.clear();
            steps << Step(random, problem);
            Settle();
            if (problem.isEmpty())
                problem = Problem();
            const int topAfter = IndexOfId(LoadedId()) - grid->CurrentRow();
            const QRegion whole(grid->viewport()->rect());
            const bool partial = !paints.regions.empty() &&
                                 std::none_of(paints.regions.begin(), paints.regions.end(),
                                              [&](const QRegion &r) { return r == whole; });
            if (topAfter != topBefore && partial)
                ++incrementalScrolls;
        }
        if (!problem.isEmpty()) {
            ADD_FAILURE() << "seed " << seed << ", step " << steps.size() << ": "
                          << problem.toStdString() << "\nsteps: " << steps.join(", ").toStdString();
        }
    }
}

TEST_F(GridPaintTest, OnScreenPixelsKeepWhatAScrollLeftUntilTheyAreRepainted) {
    // The check below is only worth something if the pixels it reads are
    // the ones scrolled and partly repainted, not a fresh rendering.
    ShowFocused();
    query.SetCursorType(ctOpenForwardOnly);
    query.Open();
    Settle();
    ASSERT_FALSE(OnScreen().isNull());
    EXPECT_EQ(OnScreen(), Repainted());
    const QRect rows(0, grid->DataTop(), grid->viewport()->width(), kRowsShown * grid->RowHeight());
    grid->viewport()->scroll(0, -grid->RowHeight(), rows);
    Settle();
    EXPECT_NE(OnScreen(), Repainted());
    grid->viewport()->update();
    Settle();
    EXPECT_EQ(OnScreen(), Repainted());
}

TEST_F(GridPaintTest, ClicksOnTheEdgesOfACellPickThatCell) {
    ShowFocused();
    query.SetCursorType(ctOpenForwardOnly);
    query.Open();
    Settle();
    for (int row : {0, 4, kRowsShown - 1}) {
        for (int column : {kCity, kCompany, kPerson}) {
            const QRect cell = grid->CellRect(column, row);
            // The top left pixel of the cell, and the bottom right one of its
            // band, the lines right of and below it included.
            const QPoint corners[] = {cell.topLeft(),
                                      QPoint(cell.right() + 1, cell.top() + grid->RowHeight() - 1)};
            for (const QPoint &at : corners) {
                const int id = grid->CellText(kId, row).toInt();
                QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
                EXPECT_EQ(grid->CurrentRow(), row) << "at " << at.x() << "," << at.y();
                EXPECT_EQ(grid->SelectedIndex(), column) << "at " << at.x() << "," << at.y();
                EXPECT_EQ(LoadedId(), id);
            }
        }
    }
    EXPECT_TRUE(errors.shown.empty());
}

TEST_F(GridPaintTest, RandomMovesOnAForwardOnlyQueryPaintWhatAFullRepaintPaints) {
    QElapsedTimer timer;
    timer.start();
    RunSeeds(ctOpenForwardOnly, 1, kSeedsPerTest);
    EXPECT_GE(incrementalScrolls, kFewestIncrementalScrolls);
    std::printf("[          ] %d of %d steps scrolled by pixels, %lld ms\n", incrementalScrolls,
                kSeedsPerTest * kSteps, static_cast<long long>(timer.elapsed()));
}

TEST_F(GridPaintTest, RandomMovesOnAStaticQueryPaintWhatAFullRepaintPaints) {
    QElapsedTimer timer;
    timer.start();
    RunSeeds(ctStatic, 1 + kSeedsPerTest, kSeedsPerTest);
    EXPECT_GE(incrementalScrolls, kFewestIncrementalScrolls);
    std::printf("[          ] %d of %d steps scrolled by pixels, %lld ms\n", incrementalScrolls,
                kSeedsPerTest * kSteps, static_cast<long long>(timer.elapsed()));
}

} // namespace
