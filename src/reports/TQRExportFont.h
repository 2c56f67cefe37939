#pragma once

#include <QColor>
#include <QFont>

// A text's font as an export format sees it: the typeface, size and style,
// and the colour the text is written in.
struct TQRExportFont {
    QFont font;
    QColor color = Qt::black;
};
