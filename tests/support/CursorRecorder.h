#pragma once

#include "data/CursorObserver.h"
#include "data/RecordCursor.h"

#include <string>
#include <vector>

// Records, in one list and in order, the events a cursor fires and the
// notifications it sends: "BeforeScroll", "neFieldEdited:Name",
// "neScrolled:-1", ... It attaches itself as an observer and takes every
// event handler of the cursor; it detaches when destroyed.
class CursorRecorder : public TCursorObserver {
public:
    explicit CursorRecorder(TRecordCursor &cursor, int bufferCount = 1);
    ~CursorRecorder() override;

    void CursorDataEvent(TDataEvent event, TField *field, int shift) override;
    int RequiredBufferCount() const override { return bufferCount_; }

    // The log since the last Clear, and clearing it.
    const std::vector<std::string> &Log() const { return log_; }
    std::string Joined() const; // entries separated by ", "
    void Clear() { log_.clear(); }
    void SetBufferCount(int count);
    // Adds an entry of the test's own, to mark where something happened.
    void Note(const std::string &entry) { log_.push_back(entry); }
    // Leaves the notifications that carry no information for a test of event
    // order (neSettle, neFlushControls) out of the log.
    bool skipSettle = false;

    static const char *Name(TDataEvent event);

private:
    TRecordCursor &cursor_;
    int bufferCount_;
    std::vector<std::string> log_;
};
