#include "support/CursorRecorder.h"
#include "support/MemoryRowSource.h"

#include <gtest/gtest.h>

namespace {

std::shared_ptr<MemoryTable> PeopleTable(int rows) {
    auto table = std::make_shared<MemoryTable>();
    table->Column("ID", ColumnType::Integer, 0, true)
        .Column("Name", ColumnType::VarWChar, 50)
        .Column("Count", ColumnType::Integer)
        .Column("Small", ColumnType::SmallInt)
        .Column("When", ColumnType::Date);
    for (int i = 1; i <= rows; ++i)
        table->AddRow({TValue(), QStringLiteral("Person %1").arg(i), qint64(i * 10)});
    return table;
}

// The message of the EDatabaseError an action raises, or "no error".
template <class F> std::string ErrorOf(F action) {
    try {
        action();
    } catch (const EDatabaseError &e) {
        return e.Message().toStdString();
    }
    return "no error";
}

class CursorEditing : public ::testing::Test {
protected:
    void Make(int rows, int bufferCount = 1) {
        recorder.reset();
        cursor = std::make_unique<MemoryCursor>("rsPeople", PeopleTable(rows));
        recorder = std::make_unique<CursorRecorder>(*cursor, bufferCount);
        cursor->Open();
        recorder->Clear();
    }
    TField *F(const char *name) { return cursor->FieldNamed(name); }
    int CurrentId() { return F("ID")->IntegerValue(); }
    size_t Rows() { return cursor->table->rows.size(); }

    std::unique_ptr<MemoryCursor> cursor;
    std::unique_ptr<CursorRecorder> recorder;
};

TEST_F(CursorEditing, InsertRunsItsEventsInOrderAndAfterInsertDefaultsCount) {
    Make(2);
    cursor->AfterInsert = [&](TRecordCursor &c) {
        recorder->Note("AfterInsert");
        c.FieldNamed("Count")->SetIntegerValue(7);
    };
    cursor->Next();
    recorder->Clear();
    cursor->Insert();
    EXPECT_EQ(recorder->Joined(),
              "neSettle, BeforeInsert, BeforeScroll, neStateChanged, OnNewRecord, neRowsRefilled, "
              "AfterInsert, neFieldEdited:Count, AfterScroll");
    EXPECT_EQ(cursor->State(), stInsert);
    EXPECT_TRUE(cursor->Modified());
    EXPECT_TRUE(F("Name")->IsNull());
    EXPECT_EQ(F("Count")->IntegerValue(), 7);
    // Eof and Bof keep their values through Insert.
    EXPECT_FALSE(cursor->Bof());
    EXPECT_FALSE(cursor->Eof());
    // Moving away posts the defaults although nothing was typed.
    cursor->First();
    EXPECT_EQ(Rows(), 3u);
    EXPECT_EQ(cursor->table->rows.back().values[2].toInt(), 7);
}

TEST_F(CursorEditing, ValuesSetInOnNewRecordAreNotChanges) {
    Make(1);
    cursor->OnNewRecord = [](TRecordCursor &c) { c.FieldNamed("Count")->SetIntegerValue(1); };
    cursor->Insert();
    EXPECT_FALSE(cursor->Modified());
    EXPECT_EQ(F("Count")->IntegerValue(), 1);
    cursor->EnsureBrowse();
    EXPECT_EQ(cursor->State(), stBrowse);
    EXPECT_EQ(Rows(), 1u);
    EXPECT_EQ(cursor->table->updates, 0);
}

TEST_F(CursorEditing, FailingOnNewRecordReturnsToTheRowBefore) {
    Make(3);
    cursor->Next();
    cursor->OnNewRecord = [](TRecordCursor &) { throw EDatabaseError("no new rows today"); };
    EXPECT_EQ(ErrorOf([&] { cursor->Insert(); }), "no new rows today");
    EXPECT_EQ(cursor->State(), stBrowse);
    EXPECT_EQ(CurrentId(), 2);
}

TEST_F(CursorEditing, PostOfANewRowShowsItsCounterAtOnce) {
    Make(2);
    cursor->Insert();
    F("Name")->SetTextValue("Newcomer");
    recorder->Clear();
    cursor->Post();
    EXPECT_EQ(recorder->Joined(), "neFlushControls, neSettle, BeforePost, neStateChanged, "
                                  "neRowsRefilled, AfterPost");
    EXPECT_EQ(cursor->State(), stBrowse);
    EXPECT_EQ(CurrentId(), 3);
    EXPECT_EQ(F("Name")->TextValue(), "Newcomer");
    EXPECT_FALSE(cursor->Eof());
    EXPECT_FALSE(cursor->Bof());
    EXPECT_FALSE(cursor->Modified());
    // Only the assigned column was written.
    EXPECT_EQ(cursor->table->lastWrittenColumns, std::vector<int>{1});
}

TEST_F(CursorEditing, PostWritesOnlyModifiedFieldsInOrderOfFirstAssignment) {
    Make(2);
    cursor->Edit();
    F("Count")->SetIntegerValue(5);
    F("Name")->SetTextValue("A");
    F("Count")->SetIntegerValue(6);
    EXPECT_EQ(cursor->ModifiedFields().size(), 2u);
    cursor->Post();
    EXPECT_EQ(cursor->table->lastWrittenColumns, (std::vector<int>{2, 1}));
    EXPECT_EQ(cursor->table->rows[0].values[2].toInt(), 6);
    EXPECT_EQ(cursor->table->rows[1].values[1].toString(), "Person 2");
}

TEST_F(CursorEditing, RefusedPostKeepsValuesAndSendsEveryFieldAgain) {
    Make(1);
    cursor->Insert();
    F("Name")->SetTextValue("Too long a name");
    F("Count")->SetIntegerValue(3);
    cursor->table->failUpdate = "The value for field 'Name' is too long";
    EXPECT_EQ(ErrorOf([&] { cursor->Post(); }), "The value for field 'Name' is too long");
    EXPECT_EQ(cursor->State(), stInsert);
    EXPECT_EQ(F("Name")->TextValue(), "Too long a name");
    EXPECT_EQ(F("Count")->IntegerValue(), 3);
    EXPECT_TRUE(cursor->Modified());
    EXPECT_EQ(Rows(), 1u);

    F("Name")->SetTextValue("Short");
    cursor->Post();
    EXPECT_EQ(cursor->table->lastWrittenColumns, (std::vector<int>{1, 2}));
    EXPECT_EQ(Rows(), 2u);
    EXPECT_EQ(F("Name")->TextValue(), "Short");
    EXPECT_EQ(F("Count")->IntegerValue(), 3);
}

TEST_F(CursorEditing, EditRunsItsEventsAndTakesNoLockNorRereads) {
    Make(2);
    F("Name")->TextValue();
    const int readsBefore = cursor->table->valueReads;
    cursor->Edit();
    EXPECT_EQ(recorder->Joined(),
              "neSettle, BeforeEdit, neStateChanged, neRecordEdited, AfterEdit");
    EXPECT_EQ(cursor->table->valueReads, readsBefore);
    recorder->Clear();
    cursor->Edit();
    EXPECT_EQ(recorder->Joined(), "");
}

TEST_F(CursorEditing, EnsureBrowseCancelsAnUntouchedEdit) {
    Make(2);
    cursor->Edit();
    recorder->Clear();
    cursor->EnsureBrowse();
    EXPECT_EQ(recorder->Joined(), "neSettle, neFlushControls, neSettle, BeforeCancel, "
                                  "neStateChanged, neRowsRefilled, AfterCancel");
    EXPECT_EQ(cursor->table->updates, 0);
}

TEST_F(CursorEditing, CancelRestoresStoredValuesOrThePreviousRow) {
    Make(3);
    cursor->Next();
    cursor->Edit();
    F("Name")->SetTextValue("Changed");
    cursor->Cancel();
    EXPECT_EQ(F("Name")->TextValue(), "Person 2");
    EXPECT_EQ(cursor->State(), stBrowse);

    recorder->Clear();
    cursor->Insert();
    cursor->Cancel();
    EXPECT_EQ(CurrentId(), 2);
    EXPECT_FALSE(cursor->Eof());
    EXPECT_FALSE(cursor->Bof());
    const std::string log = recorder->Joined();
    EXPECT_NE(log.find("BeforeCancel, BeforeScroll, neStateChanged, neRowsRefilled, "
                       "AfterCancel, AfterScroll"),
              std::string::npos)
        << log;

    recorder->Clear();
    cursor->Cancel();
    EXPECT_EQ(recorder->Joined(), "");
}

TEST_F(CursorEditing, CancelOfAnInsertIntoAnEmptyCursorLeavesItEmpty) {
    Make(0);
    cursor->Insert();
    EXPECT_EQ(cursor->State(), stInsert);
    cursor->Cancel();
    EXPECT_TRUE(cursor->IsEmpty());
    EXPECT_TRUE(cursor->Eof());
    EXPECT_TRUE(cursor->Bof());
}

TEST_F(CursorEditing, DeleteMovesToTheNextElseThePreviousElseEmpty) {
    Make(3);
    cursor->Next();
    recorder->Clear();
    cursor->Delete();
    EXPECT_EQ(recorder->Joined(),
              "neSettle, BeforeDelete, BeforeScroll, neRowsRefilled, AfterDelete, AfterScroll");
    EXPECT_EQ(CurrentId(), 3);
    EXPECT_FALSE(cursor->Eof());
    EXPECT_FALSE(cursor->Bof());
    cursor->Delete(); // the last row: the one before it becomes current
    EXPECT_EQ(CurrentId(), 1);
    cursor->Delete(); // the only row: empty
    EXPECT_TRUE(cursor->IsEmpty());
    EXPECT_TRUE(cursor->Eof());
    EXPECT_TRUE(cursor->Bof());
    EXPECT_EQ(Rows(), 0u);
    EXPECT_EQ(ErrorOf([&] { cursor->Delete(); }),
              "rsPeople: Cannot perform this operation on an empty dataset");
}

TEST_F(CursorEditing, DeleteWhileInsertingOnlyCancelsAndWhileEditingDropsChanges) {
    Make(2);
    cursor->Insert();
    F("Name")->SetTextValue("Never stored");
    cursor->Delete();
    EXPECT_EQ(Rows(), 2u);
    EXPECT_EQ(CurrentId(), 1);

    cursor->Edit();
    F("Name")->SetTextValue("Changed");
    recorder->Clear();
    cursor->Delete();
    EXPECT_EQ(recorder->Joined(), "neSettle, BeforeDelete, BeforeScroll, neStateChanged, "
                                  "neRowsRefilled, AfterDelete, AfterScroll");
    EXPECT_EQ(Rows(), 1u);
    EXPECT_EQ(cursor->table->rows[0].values[1].toString(), "Person 2");
    EXPECT_EQ(cursor->State(), stBrowse);
}

TEST_F(CursorEditing, RefusedDeleteKeepsTheRowAndItsState) {
    Make(2);
    cursor->Edit();
    cursor->table->failDelete = "The row is locked";
    EXPECT_EQ(ErrorOf([&] { cursor->Delete(); }), "The row is locked");
    EXPECT_EQ(cursor->State(), stEdit);
    EXPECT_EQ(Rows(), 2u);
    EXPECT_EQ(CurrentId(), 1);
}

TEST_F(CursorEditing, RowChangedElsewhereIsNotOverwritten) {
    Make(2);
    EXPECT_EQ(F("Name")->TextValue(), "Person 1");
    cursor->Edit();
    cursor->table->rows[0].values[1] = QStringLiteral("Changed elsewhere");
    F("Name")->SetTextValue("Mine");
    EXPECT_NE(ErrorOf([&] { cursor->Post(); }), "no error");
    EXPECT_EQ(cursor->table->rows[0].values[1].toString(), "Changed elsewhere");
    EXPECT_EQ(cursor->State(), stEdit);
    EXPECT_EQ(F("Name")->TextValue(), "Mine");
    // Deleting checks the values shown as well.
    cursor->Cancel();
    EXPECT_EQ(F("Name")->TextValue(), "Changed elsewhere");
    cursor->table->rows[0].values[1] = QStringLiteral("Changed again");
    EXPECT_NE(ErrorOf([&] { cursor->Delete(); }), "no error");
    EXPECT_EQ(Rows(), 2u);
}

TEST_F(CursorEditing, LocatePostsAPendingEditEvenWhenNothingIsFound) {
    Make(3);
    cursor->Edit();
    F("Name")->SetTextValue("Edited");
    EXPECT_FALSE(cursor->Locate("ID", 42));
    EXPECT_EQ(cursor->State(), stBrowse);
    EXPECT_EQ(cursor->table->rows[0].values[1].toString(), "Edited");
    EXPECT_EQ(CurrentId(), 1);
}

TEST_F(CursorEditing, CloseWhileEditingOrInsertingStoresNothing) {
    Make(1);
    cursor->Edit();
    F("Name")->SetTextValue("Lost");
    cursor->Close();
    EXPECT_EQ(cursor->table->rows[0].values[1].toString(), "Person 1");
    cursor->Open();
    cursor->Insert();
    F("Name")->SetTextValue("Lost too");
    cursor->Close();
    EXPECT_EQ(Rows(), 1u);
    EXPECT_EQ(cursor->table->updates, 0);
}

TEST_F(CursorEditing, ErrorsCarryTheirPrefixesExactly) {
    Make(1);
    EXPECT_EQ(ErrorOf([&] { cursor->Post(); }), "rsPeople: Dataset not in edit or insert mode");
    EXPECT_EQ(ErrorOf([&] { F("Name")->SetTextValue("x"); }),
              "rsPeople: Dataset not in edit or insert mode");
    cursor->Edit();
    EXPECT_EQ(ErrorOf([&] { F("ID")->SetIntegerValue(5); }), "Field 'ID' cannot be modified");
    EXPECT_EQ(ErrorOf([&] { F("Small")->SetIntegerValue(40000); }),
              "40000 is not a valid value for field 'Small'. The allowed range is -32768 to "
              "32767");
    EXPECT_EQ(ErrorOf([&] { F("Count")->SetTextValue("12a"); }),
              "'12a' is not a valid integer value");
    F("Small")->SetDisplayLabel("Small number");
    EXPECT_EQ(ErrorOf([&] { F("Small")->SetIntegerValue(-40000); }),
              "-40000 is not a valid value for field 'Small number'. The allowed range is "
              "-32768 to 32767");
    EXPECT_TRUE(cursor->ModifiedFields().empty());
    EXPECT_FALSE(cursor->Modified());
}

TEST_F(CursorEditing, ReadOnlySourceRefusesEditAndInsert) {
    Make(1);
    cursor->Close();
    cursor->table->updatable = false;
    cursor->Open();
    EXPECT_EQ(ErrorOf([&] { cursor->Edit(); }), "rsPeople: Cannot modify a read-only dataset");
    EXPECT_EQ(ErrorOf([&] { cursor->Insert(); }), "rsPeople: Cannot modify a read-only dataset");
    EXPECT_EQ(cursor->State(), stBrowse);
}

TEST_F(CursorEditing, ErrorPolicyRetriesAbortsOrFails) {
    Make(1);
    int calls = 0;
    cursor->OnPostError = [&](TRecordCursor &, EDatabaseError &, TDataAction &action) {
        ++calls;
        action = daRetry; // the second attempt succeeds
    };
    cursor->Edit();
    F("Name")->SetTextValue("Retried");
    cursor->table->failUpdate = "busy";
    cursor->Post();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(cursor->table->rows[0].values[1].toString(), "Retried");

    cursor->OnPostError = [](TRecordCursor &, EDatabaseError &, TDataAction &action) {
        action = daAbort;
    };
    cursor->Edit();
    F("Name")->SetTextValue("Aborted");
    cursor->table->failUpdate = "busy";
    EXPECT_THROW(cursor->Post(), EAbort);
    EXPECT_EQ(cursor->State(), stEdit);

    cursor->OnPostError = [](TRecordCursor &, EDatabaseError &, TDataAction &) {};
    cursor->table->failUpdate = "busy";
    EXPECT_EQ(ErrorOf([&] { cursor->Post(); }), "busy");
}

TEST_F(CursorEditing, NullFieldsReadAsEmptyZeroAndTheEpoch) {
    Make(1);
    cursor->Edit();
    F("Name")->SetTextValue("");
    EXPECT_TRUE(F("Name")->IsNull());
    EXPECT_EQ(F("Name")->TextValue(), "");
    EXPECT_EQ(F("When")->IntegerValue(), 0);
    EXPECT_EQ(F("When")->DateTimeValue(), 0.0);
    EXPECT_EQ(F("When")->TextValue(), "");
}

TEST_F(CursorEditing, DateTimeTextOmitsMidnight) {
    Make(1);
    cursor->Edit();
    // 8 December 2026 is day 46364.
    F("When")->SetDateTimeValue(46364.0);
    EXPECT_EQ(F("When")->TextValue().toStdString(), "12/8/2026");
    F("When")->SetDateTimeValue(46364.0 + 9.5 / 24);
    EXPECT_EQ(F("When")->TextValue().toStdString(), "12/8/2026 9:30:00 AM");
    F("When")->SetTextValue("1/2/2027");
    EXPECT_DOUBLE_EQ(F("When")->DateTimeValue(), 46389.0);
    F("When")->SetDateTimeValue(0.0);
    EXPECT_EQ(F("When")->TextValue().toStdString(), "12/30/1899");
}

} // namespace
