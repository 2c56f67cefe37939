#include "reports/TQRExportFilterLibrary.h"

TQRExportFilterLibrary &TQRExportFilterLibrary::Instance() {
    static TQRExportFilterLibrary library;
    return library;
}

void TQRExportFilterLibrary::RegisterFormat(TQRExportFilterClass exportFilterClass) {
    if (!exportFilterClass)
        return;
    // A throw-away instance names the format; it opens nothing.
    const std::unique_ptr<TQRExportFilter> probe = exportFilterClass(QString());
    filters_.append({exportFilterClass, probe->FormatName(), probe->FileExtension()});
}

void TQRExportFilterLibrary::UnregisterFormat(TQRExportFilterClass exportFilterClass) {
    if (!exportFilterClass)
        return;
    const QString name = exportFilterClass(QString())->FormatName();
    for (qsizetype i = 0; i < filters_.size(); ++i) {
        if (filters_.at(i).formatName == name) {
            filters_.removeAt(i);
            return;
        }
    }
}

QString TQRExportFilterLibrary::SaveDialogFilter() const {
    QString filter = QStringLiteral("Folvane file(*.QRP)|*.QRP");
    for (const TQRExportFilterLibraryEntry &entry : filters_) {
        filter += QStringLiteral("|%1 (*.%2)|*.%2").arg(entry.formatName, entry.fileExtension);
    }
    return filter;
}
