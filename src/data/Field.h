#pragma once

#include "data/DataTypes.h"

#include <QString>

class TRecordCursor;

// One column of an open cursor. Fields are built when the cursor opens, in
// column order, and destroyed when it closes: a pointer to a field is valid
// only while its cursor stays open.
//
// Reading: the value of the row being edited or inserted, else of the current
// buffered row; null while the cursor is closed or holds no row. A value of a
// stored row not read before is read from the row source then and kept.
// Null reads as "" (TextValue), 0 (IntegerValue) and 0.0 (DateTimeValue).
//
// Writing (Set...): only in stEdit or stInsert, else EDatabaseError "<cursor>:
// Dataset not in edit or insert mode"; a ReadOnly field refuses with "Field
// '<title>' cannot be modified"; integer fields check the range of their
// type. Every assignment joins ModifiedFields, sets Modified and sends
// neFieldEdited (the data sources run OnDataChange with this field). An empty
// text assigns null.
class TField {
public:
    TField(TRecordCursor *cursor, int column, QString name, TFieldType type, int size,
           bool readOnly);

    TRecordCursor *Cursor() const { return cursor_; }
    int Column() const { return column_; } // column of the row source
    int Index() const { return index_; }   // position in the cursor's field list
    const QString &FieldName() const { return name_; }
    TFieldType DataType() const { return type_; }
    TFieldKind FieldKind() const { return kind_; }
    int Size() const { return size_; }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value) { readOnly_ = value; }
    bool Required() const { return required_; }
    void SetRequired(bool value) { required_ = value; }
    bool Visible() const { return visible_; }
    void SetVisible(bool value) { visible_ = value; }
    const QString &DisplayLabel() const { return displayLabel_; }
    void SetDisplayLabel(const QString &label) { displayLabel_ = label; }
    QString DisplayTitle() const { return displayLabel_.isEmpty() ? name_ : displayLabel_; }
    bool IsInteger() const;
    bool IsText() const;

    TValue Value() const;
    bool IsNull() const;
    QString TextValue() const;
    int IntegerValue() const;
    double DateTimeValue() const;

    void SetValue(const TValue &value);
    void SetTextValue(const QString &text);
    void SetIntegerValue(int value);
    void SetDateTimeValue(double value);
    void Clear() { SetValue(TValue()); }

    // The same conversions for any value of this field's type, so that a
    // grid can render rows other than the current one.
    QString TextOf(const TValue &value) const;

private:
    friend class TRecordCursor;
    void CheckRange(double value) const;
    TValue Converted(const TValue &value) const;

    TRecordCursor *cursor_;
    int column_;
    int index_ = 0;
    QString name_;
    TFieldType type_;
    TFieldKind kind_ = fkData;
    int size_;
    bool readOnly_;
    bool required_ = false;
    bool visible_ = true;
    QString displayLabel_;
};
