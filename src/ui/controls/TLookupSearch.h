#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

class TField;
class TRecordCursor;

// The incremental search of a lookup control: each typed character extends
// the control's search text, and the first row of the list whose list field
// begins with that text (in any letter case) becomes current.
//
// All lookup controls share one time stamp, the time of the last search
// keystroke in any of them: a keystroke more than 2000 ms after it starts a
// new search text. Each control keeps its own text, at most 32 characters.
class TLookupSearch {
public:
    using Clock = std::function<qint64()>; // milliseconds
    static constexpr qint64 kRestartMs = 2000;
    static constexpr int kMaxLength = 32;

    // Replaces the clock (tests); an empty clock restores the steady clock.
    static void SetClock(Clock clock);
    static qint64 Now();
    // Forgets the shared time stamp, so that the next keystroke starts afresh.
    static void ResetStamp();

    const QString &Text() const { return text_; }
    void Clear() { text_.clear(); }

    // Whether the field can be searched: a data or internal-calculated field
    // of a text type.
    static bool Searchable(const TField &listField);

    // One typed character (neither Backspace nor Escape). True when a row
    // was found: the cursor stands on it and the text holds the extension.
    // Not found: nothing changes. A failing search is swallowed and the text
    // is extended all the same.
    bool Extend(QChar c, TRecordCursor &cursor, const TField &listField);

private:
    QString text_;
};
