#pragma once

#include "data/DataTypes.h"

class TField;

// What a cursor sees of a data source that follows it. The cursor keeps its
// observers in order of attachment and tells each of every notification,
// synchronously, inside the operation that sends it.
class TCursorObserver {
public:
    virtual ~TCursorObserver() = default;
    // `field` is set for neFieldEdited and neFocusField, else null; `shift`
    // is the number of buffer shifts for neScrolled (negative: the window
    // moved toward later rows), else 0.
    virtual void CursorDataEvent(TDataEvent event, TField *field, int shift) = 0;
    // Rows the observer's links show at once (the largest BufferCount among
    // them); 0 when it has no links.
    virtual int RequiredBufferCount() const = 0;
};
