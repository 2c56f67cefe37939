#include "reports/TQRTextFilter.h"

#include "reports/TQRAsciiExportFilter.h"
#include "reports/TQRExportFilterLibrary.h"

TQRTextFilter::TQRTextFilter(QObject *parent) : QObject(parent) {
    TQRExportFilterLibrary::Instance().RegisterFormat(&TQRAsciiExportFilter::Create);
}

TQRTextFilter::~TQRTextFilter() {
    TQRExportFilterLibrary::Instance().UnregisterFormat(&TQRAsciiExportFilter::Create);
}
