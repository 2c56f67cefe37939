#include "data/DataSource.h"
#include "data/DataLink.h"
#include "support/MemoryRowSource.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Log = std::vector<std::string>;

std::string Joined(const Log &log) {
    std::string text;
    for (const auto &entry : log)
        text += (text.empty() ? "" : ", ") + entry;
    return text;
}

std::shared_ptr<MemoryTable> Table(int rows) {
    auto table = std::make_shared<MemoryTable>();
    table->Column("ID", ColumnType::Integer, 0, true).Column("Name", ColumnType::VarWChar, 50);
    for (int i = 1; i <= rows; ++i)
        table->AddRow({TValue(), QStringLiteral("Row %1").arg(i)});
    return table;
}

// A link that writes down which hooks ran.
class RecordingLink : public TDataLink {
public:
    RecordingLink(std::string name, Log &log) : name_(std::move(name)), log_(log) {}
    std::function<void()> onWrite;

protected:
    void Note(const std::string &what) { log_.push_back(name_ + "." + what); }
    void ActiveFlagChanged() override { Note(Active() ? "Active" : "Inactive"); }
    void EditingFlagChanged() override { Note(Editing() ? "Editing" : "NotEditing"); }
    void RowChanged(TField *field) override {
        Note("RowChanged" + (field ? ":" + field->FieldName().toStdString() : std::string()));
    }
    void RowsRefilled() override { Note("RowsRefilled"); }
    void WindowScrolled(int distance) override { Note("Scrolled:" + std::to_string(distance)); }
    void WriteData() override {
        Note("WriteData");
        if (onWrite)
            onWrite();
    }
    void SettleRow() override { Note("Settle"); }

private:
    std::string name_;
    Log &log_;
};

class DataSourceTest : public ::testing::Test {
protected:
    DataSourceTest() : cursor("rsPeople", Table(6)), source("dsPeople") {
        auto note = [this](const char *name) {
            return [this, name](TRecordCursor &) { log.emplace_back(name); };
        };
        cursor.AfterOpen = note("AfterOpen");
        cursor.AfterScroll = note("AfterScroll");
        cursor.BeforeClose = note("BeforeClose");
        cursor.AfterClose = note("AfterClose");
        cursor.AfterEdit = note("AfterEdit");
        cursor.AfterPost = note("AfterPost");
        source.OnStateChange = [this](TDataSource &) { log.emplace_back("OnStateChange"); };
        source.OnDataChange = [this](TDataSource &, TField *field) {
            log.push_back("OnDataChange" +
                          (field ? ":" + field->FieldName().toStdString() : std::string()));
        };
        source.OnUpdateData = [this](TDataSource &) { log.emplace_back("OnUpdateData"); };
        source.SetDataSet(&cursor);
    }
    Log log;
    MemoryCursor cursor;
    TDataSource source;
};

TEST_F(DataSourceTest, OpenRunsStateThenDataChangeBeforeAfterOpenAndCloseOnlyState) {
    RecordingLink link("edit", log);
    link.SetDataSource(&source);
    cursor.Open();
    EXPECT_EQ(Joined(log), "edit.Active, OnStateChange, OnDataChange, AfterOpen, AfterScroll");
    EXPECT_EQ(source.State(), stBrowse);
    log.clear();
    cursor.Close();
    EXPECT_EQ(Joined(log), "BeforeClose, edit.Inactive, OnStateChange, AfterClose");
    EXPECT_EQ(source.State(), stInactive);
}

TEST_F(DataSourceTest, EditAssignAndPostReachLinksBeforeHandlers) {
    RecordingLink link("edit", log);
    link.SetDataSource(&source);
    cursor.Open();
    log.clear();
    source.Edit();
    EXPECT_EQ(Joined(log),
              "edit.Settle, edit.Editing, OnStateChange, edit.RowChanged, OnDataChange, AfterEdit");
    log.clear();
    cursor.FieldNamed("Name")->SetTextValue("X");
    EXPECT_EQ(Joined(log), "edit.RowChanged:Name, OnDataChange:Name");
    log.clear();
    cursor.Post();
    EXPECT_EQ(Joined(log), "edit.WriteData, OnUpdateData, edit.Settle, edit.NotEditing, "
                           "OnStateChange, edit.RowsRefilled, OnDataChange, AfterPost");
}

TEST_F(DataSourceTest, ScrollingRunsDataChangeWithNoField) {
    RecordingLink link("edit", log);
    link.SetDataSource(&source);
    cursor.Open();
    log.clear();
    cursor.Next();
    // The one-row window shifts by one and is fitted back by one.
    EXPECT_EQ(Joined(log), "edit.Settle, edit.Scrolled:1, OnDataChange, AfterScroll");
}

TEST_F(DataSourceTest, LinksHearTheLastAttachedFirst) {
    RecordingLink first("first", log), second("second", log);
    first.SetDataSource(&source);
    second.SetDataSource(&source);
    cursor.Open();
    log.clear();
    cursor.Next();
    EXPECT_EQ(Joined(log), "second.Settle, first.Settle, second.Scrolled:1, first.Scrolled:1, "
                           "OnDataChange, AfterScroll");
}

TEST_F(DataSourceTest, DisabledSourceStaysInactiveAndSilent) {
    RecordingLink link("edit", log);
    link.SetDataSource(&source);
    source.SetEnabled(false);
    cursor.Open();
    cursor.Next();
    EXPECT_EQ(source.State(), stInactive);
    EXPECT_FALSE(link.Active());
    EXPECT_EQ(Joined(log), "AfterOpen, AfterScroll, AfterScroll");
    log.clear();
    source.SetEnabled(true);
    EXPECT_EQ(Joined(log), "edit.Active, OnStateChange, OnDataChange");
    EXPECT_TRUE(link.Active());
}

TEST_F(DataSourceTest, AutoEditFalseNeverAsksTheCursorToEdit) {
    source.SetAutoEdit(false);
    RecordingLink link("grid", log);
    link.SetDataSource(&source);
    cursor.Open();
    EXPECT_FALSE(link.Edit());
    EXPECT_EQ(cursor.State(), stBrowse);
    source.SetAutoEdit(true);
    EXPECT_TRUE(link.Edit());
    EXPECT_EQ(cursor.State(), stEdit);
}

TEST_F(DataSourceTest, ReadOnlyLinkNeverEdits) {
    RecordingLink link("label", log);
    link.SetReadOnly(true);
    link.SetDataSource(&source);
    cursor.Open();
    cursor.Edit();
    EXPECT_TRUE(link.Active());
    EXPECT_FALSE(link.Editing());
}

TEST_F(DataSourceTest, AWritingLinkDoesNotHearItsOwnAssignment) {
    RecordingLink writer("writer", log), other("other", log);
    writer.SetDataSource(&source);
    other.SetDataSource(&source);
    writer.onWrite = [this] { cursor.FieldNamed("Name")->SetTextValue("typed"); };
    cursor.Open();
    cursor.Edit();
    log.clear();
    cursor.Post();
    const std::string text = Joined(log);
    EXPECT_NE(text.find("writer.WriteData, other.RowChanged:Name, OnDataChange:Name"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("writer.RowChanged:Name"), std::string::npos) << text;
    EXPECT_EQ(cursor.FieldNamed("Name")->TextValue(), "typed");
    EXPECT_FALSE(writer.Writing());
}

TEST_F(DataSourceTest, MultiRowLinkKeepsItsRowsWhileTheCurrentRowMovesInside) {
    RecordingLink grid("grid", log);
    grid.SetBufferCount(3);
    grid.SetDataSource(&source);
    cursor.Open();
    EXPECT_EQ(cursor.BufferedRowCount(), 3);
    EXPECT_EQ(grid.ShownRowCount(), 3);
    cursor.Next();
    cursor.Next();
    EXPECT_EQ(grid.FirstShownRow(), 0);
    EXPECT_EQ(grid.ActiveRow(), 2);
    log.clear();
    cursor.Next(); // past the window: the rows shift by one, and so does the list
    EXPECT_EQ(Joined(log), "grid.Settle, grid.Scrolled:1, OnDataChange, AfterScroll");
    EXPECT_EQ(grid.FirstShownRow(), 0);
    EXPECT_EQ(grid.ActiveRow(), 2);
    EXPECT_EQ(cursor.BufferedValue(grid.FirstShownRow(), cursor.FieldNamed("ID")).toInt(), 2);
    cursor.Prior();
    cursor.Prior();
    cursor.Prior(); // before the window: it shifts the other way
    EXPECT_EQ(grid.ActiveRow(), 0);
    EXPECT_EQ(cursor.FieldNamed("ID")->IntegerValue(), 1);
    cursor.Close();
    EXPECT_EQ(grid.FirstShownRow(), 0);
}

TEST_F(DataSourceTest, SmallerLinkFitsItsWindowAroundTheCurrentRow) {
    RecordingLink grid("grid", log), edit("edit", log);
    grid.SetBufferCount(4);
    grid.SetDataSource(&source);
    edit.SetDataSource(&source);
    edit.SetBufferCount(2);
    cursor.Open();
    cursor.MoveBy(3);
    EXPECT_EQ(cursor.ActiveBufferIndex(), 3);
    EXPECT_EQ(grid.ActiveRow(), 3);
    EXPECT_EQ(edit.FirstShownRow(), 2);
    EXPECT_EQ(edit.ActiveRow(), 1);
    // Growing a link while open re-reads the cursor's window.
    grid.SetBufferCount(6);
    EXPECT_EQ(cursor.BufferedRowCount(), 6);
    EXPECT_EQ(cursor.FieldNamed("ID")->IntegerValue(), 4);
}

class LinkedCursor : public MemoryCursor {
public:
    using MemoryCursor::MemoryCursor;
    const TCursorObserver *master = nullptr;
    bool IsLinkedTo(const TCursorObserver *observer) const override { return observer == master; }
};

TEST(DataSourceLinks, CircularLinksAreRefusedWithTheSourcesName) {
    TDataSource source("dsMaster");
    LinkedCursor detail("qryDetail", Table(1));
    detail.master = &source;
    try {
        source.SetDataSet(&detail);
        FAIL();
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Message(), "dsMaster: Circular datalinks are not allowed");
    }
    EXPECT_EQ(source.DataSet(), nullptr);
}

TEST(DataSourceLinks, SwitchingAndDestroyingLeavesNoDanglingObserver) {
    Log log;
    MemoryCursor a("a", Table(2)), b("b", Table(2));
    a.Open();
    b.Open();
    auto source = std::make_unique<TDataSource>("ds");
    RecordingLink link("edit", log);
    link.SetDataSource(source.get());
    source->SetDataSet(&a);
    EXPECT_TRUE(link.Active());
    source->SetDataSet(&b);
    EXPECT_FALSE(a.HasObserver(source.get()));
    EXPECT_TRUE(b.HasObserver(source.get()));
    source.reset();
    EXPECT_EQ(link.DataSource(), nullptr);
    EXPECT_FALSE(link.Active());
    b.Next(); // no observer left to call
    EXPECT_EQ(b.FieldNamed("ID")->IntegerValue(), 2);
}

} // namespace
