#include "reports/TQRExportFilter.h"

TQRExportFilter::TQRExportFilter(QString fileName) : fileName_(std::move(fileName)) {}

TQRExportFilter::~TQRExportFilter() = default;

void TQRExportFilter::BeginExport(double, double, const TQRExportFont &) {
    active_ = true;
}

void TQRExportFilter::EndExport() {
    active_ = false;
}
