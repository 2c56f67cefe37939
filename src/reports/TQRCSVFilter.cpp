#include "reports/TQRCSVFilter.h"

#include "reports/TQRCommaSeparatedFilter.h"
#include "reports/TQRExportFilterLibrary.h"

TQRCSVFilter::TQRCSVFilter(QObject *parent) : QObject(parent) {
    TQRExportFilterLibrary::Instance().RegisterFormat(&TQRCommaSeparatedFilter::Create);
}

TQRCSVFilter::~TQRCSVFilter() {
    TQRExportFilterLibrary::Instance().UnregisterFormat(&TQRCommaSeparatedFilter::Create);
}

QChar TQRCSVFilter::Separator() const {
    return TQRCommaSeparatedFilter::Separator();
}

void TQRCSVFilter::SetSeparator(QChar separator) {
    TQRCommaSeparatedFilter::SetSeparator(separator);
}
