#include "reports/TQRBand.h"

#include "reports/TQRPrinter.h"

#include <QPainter>

TQRBand::TQRBand(QString name, TQRBandType type) : name_(std::move(name)), type_(type) {}

TQRBand::~TQRBand() = default;

void TQRBand::Print(TQRPrinter &producer, double x, double y, int zoom,
                    TQRExportFilter *exportFilter) const {
    QPainter *painter = exportFilter ? nullptr : producer.Canvas();
    if (painter) {
        const int left = producer.XPos(x);
        const int top = producer.YPos(y);
        const int right = producer.XPos(x + width_);
        const int bottom = producer.YPos(y + height_);
        painter->fillRect(QRect(left, top, right - left, bottom - top), color_);
    }
    for (const auto &element : elements_) {
        const TQRElementSize &size = element->Size();
        element->Print(producer, x + size.left, y + size.top, zoom, exportFilter);
    }
}
