#pragma once

#include "reports/TAlignment.h"
#include "reports/TQRExportFont.h"

#include <QString>

// One line of text placed on a page of a grid export. Layout replaces x and
// y by the column and line ranks.
struct TTextEntry {
    QString text;
    double x = 0;
    double y = 0;
    TAlignment alignment = taLeftJustify;
    TQRExportFont font;
};
