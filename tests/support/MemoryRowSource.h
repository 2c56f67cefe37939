#pragma once

#include "data/RecordCursor.h"
#include "data/RowSource.h"

#include <QString>
#include <memory>
#include <vector>

// Rows kept in memory, shared by the row sources opened on them, so that a
// test can change them "from another program" and count what the cursor asks.
struct MemoryTable {
    std::vector<TColumnInfo> columns;
    struct Row {
        TBookmark id;
        std::vector<TValue> values;
    };
    std::vector<Row> rows; // in the row source's order
    TBookmark nextId = 1;
    int autoIncColumn = -1; // filled from nextId when a new row leaves it null

    bool bookmarks = true;
    bool updatable = true;
    // False: the row sources know no row count or numbers, as a table's.
    bool rowNumbers = true;
    // Counters of what the row sources were asked.
    int moves = 0;
    int valueReads = 0;
    int updates = 0;
    // Failures to inject: the next Update / DeleteRow / Value read fails with
    // this text (and the text is cleared).
    QString failUpdate;
    QString failDelete;
    QString failValueRead;
    QString failFind;
    // Columns written by the last Update, in order.
    std::vector<int> lastWrittenColumns;

    MemoryTable &Column(const QString &name, int typeCode, int size = 0, bool autoInc = false);
    TBookmark AddRow(std::vector<TValue> values);
    int IndexOf(TBookmark id) const;
};

class MemoryRowSource : public TRowSource {
public:
    explicit MemoryRowSource(std::shared_ptr<MemoryTable> table);

    int ColumnCount() const override;
    const TColumnInfo &Column(int index) const override;
    bool SupportsBookmarks() const override { return table_->bookmarks; }
    bool SupportsBackward() const override { return true; }
    bool SupportsUpdating() const override { return table_->updatable; }
    bool SourceBOF() const override;
    bool SourceEOF() const override;
    void MoveFirst() override;
    void MoveLast() override;
    void MoveNext() override;
    void MovePrevious() override;
    TBookmark Bookmark() const override;
    void GotoBookmark(TBookmark bookmark) override;
    bool RowDeleted() const override;
    TValue Value(int column) override;
    void AddNew() override;
    void SetValue(int column, const TValue &value) override;
    void SetExpected(int column, const TValue &value) override;
    void Update() override;
    void CancelUpdate() override;
    void DeleteRow() override;
    void RefreshRow() override {} // its rows are always read as they are held
    std::unique_ptr<TRowSourceClone> Clone() override;
    // Known unless the table says otherwise: the rows are all in memory.
    qint64 KnownRowCount() const override;
    qint64 RowNumberOf(TBookmark bookmark) const override;
    std::optional<TBookmark> BookmarkOfRowNumber(qint64 number) const override;

private:
    // Position: the id of the row stood on (which may have been deleted
    // since), or before the first / after the last row.
    enum class Place { BeforeFirst, Row, AfterLast };
    int CurrentIndex() const; // -1 when not on an existing row
    void Settle();            // turns a place on a vanished row into a neighbour place

    std::shared_ptr<MemoryTable> table_;
    Place place_ = Place::BeforeFirst;
    TBookmark id_ = 0;
    // Where a vanished row stood, to go on from there.
    int vanishedIndex_ = -1;
    bool adding_ = false;
    std::vector<std::pair<int, TValue>> pending_;
    std::vector<std::pair<int, TValue>> expected_;
};

// A cursor on a MemoryTable.
class MemoryCursor : public TRecordCursor {
public:
    MemoryCursor(QString name, std::shared_ptr<MemoryTable> table);
    std::shared_ptr<MemoryTable> table;

protected:
    TRowSourceRequest MakeRequest() const override { return {}; }
    std::unique_ptr<TRowSource> OpenRowSource() override;
};
