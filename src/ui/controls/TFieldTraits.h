#pragma once

#include <QChar>
#include <QString>
#include <Qt>

class TField;

// What the bound controls need to know of a field beyond its values: how it
// is aligned, which characters may be typed into it, and whether it is a
// large-object field.
class TFieldTraits {
public:
    // Numbers are right-aligned; everything else is left-aligned.
    static Qt::Alignment Alignment(const TField &field);
    // True for a character the field's type can hold: any for text and
    // date-time fields; digits and signs for integers; digits, signs, an
    // exponent and a decimal point for other numbers.
    static bool IsValidChar(const TField &field, QChar c);
    // ftString and ftWideString, whose Size is a length in characters.
    static bool IsSizedText(const TField &field);
    // Memo, binary and other large-object fields.
    static bool IsLargeObject(const TField &field);
};
