#include "support/CursorRecorder.h"
#include "support/MemoryRowSource.h"

#include <gtest/gtest.h>

namespace {

std::shared_ptr<MemoryTable> PeopleTable(int rows) {
    auto table = std::make_shared<MemoryTable>();
    table->Column("ID", ColumnType::Integer, 0, true)
        .Column("Name", ColumnType::VarWChar, 50)
        .Column("Count", ColumnType::Integer)
        .Column("When", ColumnType::Date);
    for (int i = 1; i <= rows; ++i)
        table->AddRow({TValue(), QStringLiteral("Person %1").arg(i), qint64(i * 10), TValue()});
    return table;
}

class CursorNavigation : public ::testing::Test {
protected:
    void Make(int rows, int bufferCount = 1) {
        recorder.reset();
        cursor = std::make_unique<MemoryCursor>("rsPeople", PeopleTable(rows));
        recorder = std::make_unique<CursorRecorder>(*cursor, bufferCount);
    }
    int CurrentId() { return cursor->FieldNamed("ID")->IntegerValue(); }

    std::unique_ptr<MemoryCursor> cursor;
    std::unique_ptr<CursorRecorder> recorder;
};

TEST_F(CursorNavigation, OpenShowsFirstRowAndAnnouncesItByStateChangeAlone) {
    Make(3);
    cursor->Open();
    EXPECT_EQ(recorder->Joined(), "BeforeOpen, neStateChanged, AfterOpen, AfterScroll");
    EXPECT_EQ(cursor->State(), stBrowse);
    EXPECT_TRUE(cursor->Bof());
    EXPECT_FALSE(cursor->Eof());
    EXPECT_EQ(CurrentId(), 1);
    EXPECT_EQ(cursor->FieldCount(), 4);
}

TEST_F(CursorNavigation, EmptyCursorHasBothEndsAndNoAfterScroll) {
    Make(0);
    cursor->Open();
    EXPECT_EQ(recorder->Joined(), "BeforeOpen, neStateChanged, AfterOpen");
    EXPECT_TRUE(cursor->Eof());
    EXPECT_TRUE(cursor->Bof());
    EXPECT_TRUE(cursor->IsEmpty());
    EXPECT_TRUE(cursor->RowSource()->SourceEOF());
    EXPECT_TRUE(cursor->RowSource()->SourceBOF());
    int rounds = 0;
    while (!cursor->Eof()) {
        ++rounds;
        cursor->Next();
    }
    EXPECT_EQ(rounds, 0);
    // Edit on an empty cursor begins a new row instead.
    cursor->Edit();
    EXPECT_EQ(cursor->State(), stInsert);
}

TEST_F(CursorNavigation, NextOnLastRowSetsEofOnceThenDoesNothing) {
    Make(2);
    cursor->Open();
    recorder->Clear();
    EXPECT_EQ(cursor->MoveBy(1), 1);
    EXPECT_EQ(recorder->Joined(), "neSettle, BeforeScroll, neScrolled:-1, AfterScroll");
    EXPECT_FALSE(cursor->Eof());
    EXPECT_FALSE(cursor->Bof());
    recorder->Clear();
    EXPECT_EQ(cursor->MoveBy(1), 0);
    EXPECT_EQ(recorder->Joined(), "neSettle, BeforeScroll, neScrolled:0, AfterScroll");
    EXPECT_TRUE(cursor->Eof());
    EXPECT_EQ(CurrentId(), 2);
    recorder->Clear();
    cursor->Next();
    EXPECT_EQ(recorder->Joined(), "neSettle, BeforeScroll");
    EXPECT_TRUE(cursor->Eof());
}

TEST_F(CursorNavigation, PriorRightAfterOpenOrFirstDoesNothing) {
    Make(3);
    cursor->Open();
    recorder->Clear();
    EXPECT_EQ(cursor->MoveBy(-1), 0);
    EXPECT_EQ(recorder->Joined(), "neSettle, BeforeScroll");
    cursor->Last();
    cursor->First();
    EXPECT_TRUE(cursor->Bof());
    recorder->Clear();
    cursor->Prior();
    EXPECT_EQ(recorder->Joined(), "neSettle, BeforeScroll");
    EXPECT_EQ(CurrentId(), 1);
}

TEST_F(CursorNavigation, FirstAndLastRefillAndSetTheirEnd) {
    Make(4);
    cursor->Open();
    recorder->Clear();
    cursor->Last();
    EXPECT_EQ(recorder->Joined(), "neSettle, BeforeScroll, neRowsRefilled, AfterScroll");
    EXPECT_TRUE(cursor->Eof());
    EXPECT_FALSE(cursor->Bof());
    EXPECT_EQ(CurrentId(), 4);
    // Last followed by Next moves nothing.
    EXPECT_EQ(cursor->MoveBy(1), 0);
    EXPECT_TRUE(cursor->Eof());
    EXPECT_EQ(cursor->MoveBy(-2), -2);
    EXPECT_EQ(CurrentId(), 2);
    EXPECT_FALSE(cursor->Eof());
    cursor->First();
    EXPECT_TRUE(cursor->Bof());
    EXPECT_FALSE(cursor->Eof());
    EXPECT_EQ(CurrentId(), 1);
}

TEST_F(CursorNavigation, MoveByRunningOutReportsRowsActuallyMoved) {
    Make(5);
    cursor->Open();
    EXPECT_EQ(cursor->MoveBy(10), 4);
    EXPECT_TRUE(cursor->Eof());
    EXPECT_EQ(CurrentId(), 5);
    EXPECT_EQ(cursor->MoveBy(-10), -4);
    EXPECT_TRUE(cursor->Bof());
    EXPECT_EQ(CurrentId(), 1);
    EXPECT_EQ(cursor->MoveBy(0), 0);
}

TEST_F(CursorNavigation, SourceFlagsStayPastTheEndsUntilTheSourceMovesAgain) {
    Make(3);
    cursor->Open();
    cursor->Prior();
    EXPECT_FALSE(cursor->RowSource()->SourceBOF()); // Prior did nothing at all
    cursor->Last();
    cursor->First();
    cursor->Next();
    cursor->Prior();
    EXPECT_EQ(CurrentId(), 1); // shown, as a bound control would show it
    cursor->Prior();           // runs past the first row
    EXPECT_TRUE(cursor->Bof());
    EXPECT_TRUE(cursor->RowSource()->SourceBOF());
    EXPECT_EQ(CurrentId(), 1); // a value already read: the source stays put
    EXPECT_TRUE(cursor->RowSource()->SourceBOF());

    cursor->Last(); // Eof already: a Next now would not move the source at all
    cursor->Prior();
    cursor->Next();
    EXPECT_EQ(CurrentId(), 3);
    EXPECT_FALSE(cursor->RowSource()->SourceEOF());
    cursor->Next(); // runs past the last row
    EXPECT_TRUE(cursor->Eof());
    EXPECT_TRUE(cursor->RowSource()->SourceEOF());
    EXPECT_EQ(CurrentId(), 3);
    EXPECT_TRUE(cursor->RowSource()->SourceEOF());
    // A new row begun after it keeps the flag; Edit moves the source back.
    cursor->Insert();
    EXPECT_TRUE(cursor->RowSource()->SourceEOF());
    cursor->Cancel();
    EXPECT_FALSE(cursor->RowSource()->SourceEOF());
    cursor->Last();
    cursor->Prior();
    cursor->Next();
    cursor->Next();
    EXPECT_TRUE(cursor->RowSource()->SourceEOF());
    cursor->Edit();
    EXPECT_FALSE(cursor->RowSource()->SourceEOF());
}

TEST_F(CursorNavigation, ValuesAreReadOnFirstUseAndKept) {
    Make(5);
    cursor->Open();
    EXPECT_EQ(cursor->table->valueReads, 0);
    EXPECT_EQ(cursor->FieldNamed("Name")->TextValue(), "Person 1");
    EXPECT_EQ(cursor->table->valueReads, 1);
    EXPECT_EQ(cursor->FieldNamed("Name")->TextValue(), "Person 1");
    EXPECT_EQ(cursor->table->valueReads, 1);
    cursor->Next();
    EXPECT_EQ(cursor->table->valueReads, 1);
    EXPECT_EQ(cursor->FieldNamed("Name")->TextValue(), "Person 2");
    EXPECT_EQ(cursor->table->valueReads, 2);
}

TEST_F(CursorNavigation, ClosedCursorRefusesMovesWithItsName) {
    Make(2);
    try {
        cursor->Next();
        FAIL() << "Next on a closed cursor must fail";
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Message(), "rsPeople: Cannot perform this operation on a closed dataset");
    }
    EXPECT_THROW(cursor->First(), EDatabaseError);
    EXPECT_THROW(cursor->Insert(), EDatabaseError);
    EXPECT_THROW(cursor->Delete(), EDatabaseError);
    EXPECT_THROW(cursor->Locate("ID", 1), EDatabaseError);
    EXPECT_TRUE(cursor->Eof());
    EXPECT_TRUE(cursor->Bof());
    // Reading a field of a closed cursor is not possible: there are no fields.
    EXPECT_EQ(cursor->FieldCount(), 0);
    cursor->Cancel(); // nothing, no error
}

TEST_F(CursorNavigation, CloseDropsFieldsAndRunsItsEvents) {
    Make(2);
    cursor->Open();
    recorder->Clear();
    cursor->Close();
    EXPECT_EQ(recorder->Joined(), "BeforeClose, neStateChanged, AfterClose");
    EXPECT_EQ(cursor->FieldCount(), 0);
    EXPECT_EQ(cursor->RowSource(), nullptr);
    EXPECT_TRUE(cursor->Eof() && cursor->Bof());
    recorder->Clear();
    cursor->Close();
    EXPECT_EQ(recorder->Joined(), "");
}

TEST_F(CursorNavigation, WindowOfSeveralRowsScrollsOnlyAtItsEdges) {
    Make(6, 3);
    cursor->Open();
    EXPECT_EQ(cursor->BufferedRowCount(), 3);
    EXPECT_EQ(cursor->ActiveBufferIndex(), 0);
    recorder->Clear();
    cursor->Next();
    cursor->Next();
    EXPECT_EQ(recorder->Joined(), "neSettle, BeforeScroll, neScrolled:0, AfterScroll, "
                                  "neSettle, BeforeScroll, neScrolled:0, AfterScroll");
    recorder->Clear();
    cursor->Next();
    EXPECT_EQ(recorder->Joined(), "neSettle, BeforeScroll, neScrolled:-1, AfterScroll");
    EXPECT_EQ(CurrentId(), 4);
    EXPECT_EQ(cursor->ActiveBufferIndex(), 2);
    EXPECT_EQ(cursor->BufferedValue(0, cursor->FieldNamed("ID")).toInt(), 2);
    cursor->First();
    recorder->Clear();
    cursor->MoveBy(-1);
    EXPECT_EQ(recorder->Joined(), "neSettle, BeforeScroll");
    // A window not yet full grows: the row count changes, so it is a refill.
    Make(2, 3);
    cursor->Open();
    EXPECT_EQ(cursor->BufferedRowCount(), 2);
}

TEST_F(CursorNavigation, ChangingTheBufferCountRereadsAroundTheCurrentRow) {
    Make(10);
    cursor->Open();
    cursor->MoveBy(4);
    recorder->Clear();
    recorder->SetBufferCount(4);
    EXPECT_EQ(recorder->Joined(), "neRowsRefilled");
    EXPECT_EQ(cursor->BufferedRowCount(), 4);
    EXPECT_EQ(CurrentId(), 5);
    recorder->SetBufferCount(1);
    EXPECT_EQ(cursor->BufferedRowCount(), 1);
    EXPECT_EQ(CurrentId(), 5);
}

TEST_F(CursorNavigation, LocateFindsPlacesInMiddleAndSkipsUnknowns) {
    Make(9, 5);
    cursor->Open();
    recorder->Clear();
    EXPECT_TRUE(cursor->Locate("id", 6));
    EXPECT_EQ(recorder->Joined(), "BeforeScroll, neSettle, neRowsRefilled, AfterScroll");
    EXPECT_EQ(CurrentId(), 6);
    EXPECT_EQ(cursor->ActiveBufferIndex(), 2);
    EXPECT_FALSE(cursor->Eof());
    EXPECT_FALSE(cursor->Bof());

    recorder->Clear();
    EXPECT_FALSE(cursor->Locate("ID", 99));
    EXPECT_EQ(recorder->Joined(), "BeforeScroll, neSettle");
    EXPECT_EQ(CurrentId(), 6);
    EXPECT_FALSE(cursor->Locate("NoSuchField", 1));
    EXPECT_EQ(CurrentId(), 6);
    // Near the end the window is filled from before the found row.
    EXPECT_TRUE(cursor->Locate("ID", 9));
    EXPECT_EQ(cursor->BufferedRowCount(), 5);
    EXPECT_EQ(cursor->ActiveBufferIndex(), 4);
}

TEST_F(CursorNavigation, LocateOnASingleRowWindowAndOnFailingSearch) {
    Make(4);
    cursor->Open();
    EXPECT_TRUE(cursor->Locate("Name", QStringLiteral("Person 3")));
    EXPECT_EQ(CurrentId(), 3);
    // A failure of the source during the search is "not found", not an error.
    cursor->table->failFind = "search failed";
    EXPECT_FALSE(cursor->Locate("Name", QStringLiteral("Person 1")));
    EXPECT_EQ(CurrentId(), 3);
}

TEST_F(CursorNavigation, FieldNamesIgnoreCaseAndMissingOnesCarryTheCursorName) {
    Make(1);
    cursor->Open();
    EXPECT_EQ(cursor->FieldNamed("name"), cursor->FieldNamed("NAME"));
    EXPECT_EQ(cursor->FindField("nope"), nullptr);
    try {
        cursor->FieldNamed("Nope");
        FAIL();
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Message(), "rsPeople: Field 'Nope' not found");
    }
}

TEST_F(CursorNavigation, SourceWithoutBookmarksCannotFeedSeveralRows) {
    Make(3, 2);
    cursor->table->bookmarks = false;
    try {
        cursor->Open();
        FAIL();
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Message(), "Dataset does not support bookmarks, which are required for "
                               "multi-record data controls");
    }
    EXPECT_FALSE(cursor->Active());
    EXPECT_EQ(cursor->FieldCount(), 0);
    recorder->SetBufferCount(1);
    cursor->Open();
    EXPECT_EQ(CurrentId(), 1);
}

TEST_F(CursorNavigation, DuplicateAndUnnamedColumnsGetFreeNames) {
    auto table = std::make_shared<MemoryTable>();
    table->Column("Name", ColumnType::VarWChar)
        .Column("", ColumnType::Integer)
        .Column("name", ColumnType::VarWChar)
        .Column("", ColumnType::Integer)
        .Column("Name_1", ColumnType::VarWChar);
    MemoryCursor cursor("q", table);
    cursor.Open();
    std::vector<QString> names;
    for (int i = 0; i < cursor.FieldCount(); ++i)
        names.push_back(cursor.Fields(i)->FieldName());
    EXPECT_EQ(names, (std::vector<QString>{"Name", "COLUMN1", "name_1", "COLUMN2", "Name_1_1"}));
}

} // namespace
