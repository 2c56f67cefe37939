#pragma once

#include <QString>

// One column as a row source reports it.
struct TColumnInfo {
    QString name;     // may be empty for an unnamed expression
    int typeCode = 0; // a ColumnType code
    bool autoIncrement = false;
    bool updatable = false;
    int size = 0; // declared size of text columns, else 0
};
