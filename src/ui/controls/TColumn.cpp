#include "ui/controls/TColumn.h"

#include "data/Field.h"
#include "data/RecordCursor.h"
#include "ui/controls/TDBGridColumns.h"

#include <QFontMetrics>
#include <algorithm>

void TColumnTitle::SetCaption(const QString &caption) {
    caption_ = caption;
    captionSet_ = true;
    if (owner_)
        owner_->Changed();
}

void TColumnTitle::RestoreDefaultCaption() {
    caption_.clear();
    captionSet_ = false;
    if (owner_)
        owner_->Changed();
}

TColumn::TColumn(TDBGridColumns *owner) : owner_(owner) {
    title_.owner_ = owner;
}

void TColumn::SetFieldName(const QString &name) {
    fieldName_ = name;
    ResetField();
    owner_->Changed();
}

TField *TColumn::Field() const {
    if (!fieldLooked_) {
        TRecordCursor *cursor = owner_->Cursor ? owner_->Cursor() : nullptr;
        field_ = cursor && cursor->Active() && !fieldName_.isEmpty() ? cursor->FindField(fieldName_)
                                                                     : nullptr;
        // A closed cursor has no fields; look again once it is open.
        fieldLooked_ = cursor && cursor->Active();
    }
    return field_;
}

void TColumn::ResetField() {
    field_ = nullptr;
    fieldLooked_ = false;
}

int TColumn::Width() const {
    return widthSet_ ? width_ : DefaultWidth();
}

void TColumn::SetWidth(int width) {
    width_ = std::max(0, width);
    widthSet_ = true;
    owner_->Changed();
}

void TColumn::RestoreDefaultWidth() {
    widthSet_ = false;
    owner_->Changed();
}

namespace {

// Characters a field shows at most, for its default column width.
int DisplayChars(const TField &field) {
    switch (field.DataType()) {
    case ftDateTime:
        return 18;
    case ftDate:
    case ftTime:
        return 10;
    default:
        if (field.IsText())
            return field.Size() > 0 ? field.Size() : 10;
        return 10;
    }
}

} // namespace

int TColumn::DefaultWidth() const {
    const TField *field = Field();
    if (!field)
        return 64;
    const QFontMetrics cell(owner_->CellFont ? owner_->CellFont() : QFont());
    // Qt's fonts have no overhang: the advance of "0" already covers a glyph.
    int width = DisplayChars(*field) * cell.horizontalAdvance(QLatin1Char('0')) + 4;
    if (!owner_->ShowsTitles || owner_->ShowsTitles()) {
        const QFontMetrics title(owner_->TitleFont ? owner_->TitleFont() : QFont());
        width = std::max(width, title.horizontalAdvance(TitleCaption()) + 4);
    }
    return width;
}

void TColumn::SetVisible(bool value) {
    if (visible_ == value)
        return;
    visible_ = value;
    owner_->Changed();
}

QString TColumn::TitleCaption() const {
    if (title_.CaptionSet())
        return title_.Caption();
    if (const TField *field = Field())
        return field->DisplayTitle();
    return fieldName_;
}

Qt::Alignment TColumn::Alignment() const {
    const TField *field = Field();
    if (!field)
        return Qt::AlignLeft;
    switch (field->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftAutoInc:
    case ftLargeint:
        return Qt::AlignRight;
    default:
        return Qt::AlignLeft;
    }
}

bool TColumn::IsTabStop() const {
    const TField *field = Field();
    return visible_ && field && !field->ReadOnly() && field->FieldKind() != fkCalculated;
}

int TColumn::Index() const {
    return owner_->IndexOf(this);
}
