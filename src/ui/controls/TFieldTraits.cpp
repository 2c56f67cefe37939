#include "ui/controls/TFieldTraits.h"

#include "data/Field.h"

#include <QLocale>

Qt::Alignment TFieldTraits::Alignment(const TField &field) {
    if (field.IsInteger())
        return Qt::AlignRight;
    switch (field.DataType()) {
    case ftFloat:
    case ftCurrency:
    case ftBCD:
        return Qt::AlignRight;
    default:
        return Qt::AlignLeft;
    }
}

bool TFieldTraits::IsValidChar(const TField &field, QChar c) {
    if (field.IsInteger())
        return c.isDigit() || c == u'+' || c == u'-';
    switch (field.DataType()) {
    case ftFloat:
    case ftCurrency:
    case ftBCD:
        return c.isDigit() || c == u'+' || c == u'-' || c == u'e' || c == u'E' || c == u'.' ||
               c == QLocale().decimalPoint().front();
    default:
        return true;
    }
}

bool TFieldTraits::IsSizedText(const TField &field) {
    return field.DataType() == ftString || field.DataType() == ftWideString;
}

bool TFieldTraits::IsLargeObject(const TField &field) {
    switch (field.DataType()) {
    case ftBlob:
    case ftMemo:
    case ftGraphic:
    case ftFmtMemo:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftOraBlob:
    case ftOraClob:
        return true;
    default:
        return false;
    }
}
