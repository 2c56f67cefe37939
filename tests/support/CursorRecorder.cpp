#include "CursorRecorder.h"

CursorRecorder::CursorRecorder(TRecordCursor &cursor, int bufferCount)
    : cursor_(cursor), bufferCount_(bufferCount) {
    auto record = [this](const char *name) {
        return [this, name](TRecordCursor &) { log_.emplace_back(name); };
    };
    cursor.BeforeOpen = record("BeforeOpen");
    cursor.AfterOpen = record("AfterOpen");
    cursor.BeforeClose = record("BeforeClose");
    cursor.AfterClose = record("AfterClose");
    cursor.BeforeInsert = record("BeforeInsert");
    cursor.AfterInsert = record("AfterInsert");
    cursor.OnNewRecord = record("OnNewRecord");
    cursor.BeforeEdit = record("BeforeEdit");
    cursor.AfterEdit = record("AfterEdit");
    cursor.BeforePost = record("BeforePost");
    cursor.AfterPost = record("AfterPost");
    cursor.BeforeCancel = record("BeforeCancel");
    cursor.AfterCancel = record("AfterCancel");
    cursor.BeforeDelete = record("BeforeDelete");
    cursor.AfterDelete = record("AfterDelete");
    cursor.BeforeScroll = record("BeforeScroll");
    cursor.AfterScroll = record("AfterScroll");
    cursor.AttachObserver(this);
    cursor.BufferCountChanged();
}

CursorRecorder::~CursorRecorder() {
    cursor_.DetachObserver(this);
}

void CursorRecorder::SetBufferCount(int count) {
    bufferCount_ = count;
    cursor_.BufferCountChanged();
}

const char *CursorRecorder::Name(TDataEvent event) {
    switch (event) {
    case neFieldEdited:
        return "neFieldEdited";
    case neRecordEdited:
        return "neRecordEdited";
    case neRowsRefilled:
        return "neRowsRefilled";
    case neScrolled:
        return "neScrolled";
    case neLayoutChanged:
        return "neLayoutChanged";
    case neFlushControls:
        return "neFlushControls";
    case neStateChanged:
        return "neStateChanged";
    case neSettle:
        return "neSettle";
    case neFocusField:
        return "neFocusField";
    }
    return "?";
}

void CursorRecorder::CursorDataEvent(TDataEvent event, TField *field, int shift) {
    if (skipSettle && (event == neSettle || event == neFlushControls))
        return;
    std::string entry = Name(event);
    if (field)
        entry += ":" + field->FieldName().toStdString();
    if (event == neScrolled)
        entry += ":" + std::to_string(shift);
    log_.push_back(entry);
}

std::string CursorRecorder::Joined() const {
    std::string text;
    for (const auto &entry : log_) {
        if (!text.empty())
            text += ", ";
        text += entry;
    }
    return text;
}
