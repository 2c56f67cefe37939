#pragma once

#include "reports/TQRExportFilter.h"

#include <QList>
#include <QString>

// A format as the library lists it: how to make one, and its name and
// extension as an instance gives them.
struct TQRExportFilterLibraryEntry {
    TQRExportFilterClass exportFilterClass = nullptr;
    QString formatName;
    QString fileExtension;
};

// The export formats the program offers, in the order they were added. The
// report forms add their formats when they are made and remove them when
// they go, so a format is listed once for every report form alive.
class TQRExportFilterLibrary {
public:
    // The program's one library; it lives until the program ends.
    static TQRExportFilterLibrary &Instance();

    // Appends an entry, even for a format already listed.
    void RegisterFormat(TQRExportFilterClass exportFilterClass);
    // Removes the first entry named as the format; nothing when none is.
    void UnregisterFormat(TQRExportFilterClass exportFilterClass);
    const QList<TQRExportFilterLibraryEntry> &Filters() const { return filters_; }

    // The save dialog's types as "description|pattern" pairs joined by "|":
    // the saved report file first, then every entry in list order.
    QString SaveDialogFilter() const;

private:
    QList<TQRExportFilterLibraryEntry> filters_;
};
