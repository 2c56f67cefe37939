#include "reports/TQRHTMLFilter.h"

#include "reports/TQRExportFilterLibrary.h"
#include "reports/TQRHTMLDocumentFilter.h"

TQRHTMLFilter::TQRHTMLFilter(QObject *parent) : QObject(parent) {
    TQRExportFilterLibrary::Instance().RegisterFormat(&TQRHTMLDocumentFilter::Create);
}

TQRHTMLFilter::~TQRHTMLFilter() {
    TQRExportFilterLibrary::Instance().UnregisterFormat(&TQRHTMLDocumentFilter::Create);
}
