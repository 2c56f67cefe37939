#pragma once

#include <QFont>
#include <QString>
#include <Qt>

class TDBGridColumns;
class TField;
class TRecordCursor;

// The title of one grid column: a caption of its own (when set) and a font
// that follows the grid's title font.
class TColumnTitle {
public:
    bool CaptionSet() const { return captionSet_; }
    const QString &Caption() const { return caption_; }
    void SetCaption(const QString &caption);
    void RestoreDefaultCaption();

private:
    friend class TColumn;
    TDBGridColumns *owner_ = nullptr;
    QString caption_;
    bool captionSet_ = false;
};

// One column of a data grid, naming the cursor field it shows. The field is
// looked up by name in the open cursor on first use and kept until the
// grid's layout changes; a name the cursor lacks leaves the column without a
// field (empty cells, never edited).
class TColumn {
public:
    explicit TColumn(TDBGridColumns *owner);
    TColumn(const TColumn &) = delete;
    TColumn &operator=(const TColumn &) = delete;

    const QString &FieldName() const { return fieldName_; }
    void SetFieldName(const QString &name);
    // The field in the grid's open cursor, or null.
    TField *Field() const;
    // Forgets the field found, so that the next use looks it up again.
    void ResetField();

    bool WidthSet() const { return widthSet_; }
    // The width set, else the default width for the column's field.
    int Width() const;
    void SetWidth(int width);
    void RestoreDefaultWidth();
    int DefaultWidth() const;

    bool Visible() const { return visible_; }
    void SetVisible(bool value);
    bool Expanded() const { return expanded_; }
    void SetExpanded(bool value) { expanded_ = value; }

    TColumnTitle &Title() { return title_; }
    const TColumnTitle &Title() const { return title_; }
    // The caption shown: the title's own, else the field's display title,
    // else the field name.
    QString TitleCaption() const;
    // The cells' alignment: numbers to the right, everything else left.
    Qt::Alignment Alignment() const;
    // The column can be the target of Tab: shown, with a field that is
    // neither read-only nor calculated.
    bool IsTabStop() const;

    TDBGridColumns *Collection() const { return owner_; }
    int Index() const;

private:
    TDBGridColumns *owner_;
    QString fieldName_;
    mutable TField *field_ = nullptr;
    mutable bool fieldLooked_ = false;
    int width_ = 0;
    bool widthSet_ = false;
    bool visible_ = true;
    bool expanded_ = true;
    TColumnTitle title_;
};
