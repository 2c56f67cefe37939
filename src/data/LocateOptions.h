#pragma once

#include "data/DataTypes.h"
#include "data/TextFold.h"

#include <QString>

// How Locate compares a field with the value searched for. With no option
// set the field must equal the value (numbers as numbers, texts as texts).
// With either option set both are compared as texts:
//   caseInsensitive  letter case is ignored, as the engine's LIKE ignores it
//                    (TextFold);
//   partialKey       the field's text need only begin with the value.
// A null value matches only a null field, whatever the options.
struct TLocateOptions {
    bool caseInsensitive = false;
    bool partialKey = false;

    bool None() const { return !caseInsensitive && !partialKey; }
};

// Whether a stored value equals the value searched for with no options: a
// null only a null, numbers by their value (integers exactly), a byte array
// a byte array, anything else by its text. Shared by every row source that
// compares values it has read.
bool LocateValueMatches(const TValue &stored, const TValue &wanted);

// Whether a stored value matches the value searched for under options that
// are not None(): the text comparison shared by every row source.
inline bool LocateTextMatches(const TValue &stored, const TValue &wanted,
                              const TLocateOptions &options) {
    if (ValueIsNull(stored) || ValueIsNull(wanted))
        return ValueIsNull(stored) && ValueIsNull(wanted);
    const QString text = stored.toString();
    const QString key = wanted.toString();
    if (options.caseInsensitive)
        return options.partialKey ? TextFold::StartsWith(text, key) : TextFold::Equal(text, key);
    if (options.partialKey)
        return text.startsWith(key);
    return text == key;
}
