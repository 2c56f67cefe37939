#include "ui/controls/TLookupSearch.h"

#include "data/DatabaseErrors.h"
#include "data/Field.h"
#include "data/RecordCursor.h"

#include <QElapsedTimer>

namespace {

TLookupSearch::Clock &ClockSlot() {
    static TLookupSearch::Clock clock;
    return clock;
}

// Invalid until the first search keystroke of the program.
qint64 &StampSlot() {
    static qint64 stamp = -1;
    return stamp;
}

qint64 SteadyNow() {
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    // Offset so that the first keystroke is never within 2000 ms of "zero".
    return timer.elapsed() + TLookupSearch::kRestartMs + 1;
}

} // namespace

void TLookupSearch::SetClock(Clock clock) {
    ClockSlot() = std::move(clock);
}

qint64 TLookupSearch::Now() {
    return ClockSlot() ? ClockSlot()() : SteadyNow();
}

void TLookupSearch::ResetStamp() {
    StampSlot() = -1;
}

bool TLookupSearch::Searchable(const TField &listField) {
    const TFieldKind kind = listField.FieldKind();
    const TFieldType type = listField.DataType();
    return (kind == fkData || kind == fkInternalCalc) && (type == ftString || type == ftWideString);
}

bool TLookupSearch::Extend(QChar c, TRecordCursor &cursor, const TField &listField) {
    const qint64 now = Now();
    qint64 &stamp = StampSlot();
    if (stamp < 0 || now - stamp > kRestartMs)
        text_.clear();
    stamp = now;
    if (text_.size() >= kMaxLength)
        return false;
    const QString candidate = text_ + c;
    bool found = false;
    try {
        found = cursor.Locate(listField.FieldName(), candidate, TLocateOptions{true, true});
    } catch (const EError &) {
        text_ = candidate;
        return false;
    }
    if (found)
        text_ = candidate;
    return found;
}
