#include "reports/TQRPreview.h"

#include "reports/TQRPreviewImage.h"
#include "reports/TQRPrinter.h"

#include <QCoreApplication>
#include <QScrollBar>
#include <algorithm>

TQRPreview::TQRPreview(QWidget *parent)
    : QScrollArea(parent), image_(nullptr), canvas_(new QWidget) {
    setObjectName(QStringLiteral("QRPreview"));
    // The view's own size is what the zoom commands measure.
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    setBackgroundRole(QPalette::Dark);
    canvas_->setObjectName(QStringLiteral("PreviewCanvas"));
    image_ = new TQRPreviewImage(canvas_);
    setWidget(canvas_);
    horizontalScrollBar()->setTracking(true);
    verticalScrollBar()->setTracking(true);
    UpdateLayout();
}

TQRPreview::~TQRPreview() {
    ReleaseProducer();
}

void TQRPreview::ReleaseProducer() {
    if (!producer_)
        return;
    disconnect(producer_, nullptr, this, nullptr);
    producer_->SetShowingPreview(false);
    if (producer_->Status() == mpBusy)
        producer_->SetCancelled(true);
    if (producer_->Client() == this)
        producer_->SetClient(nullptr);
    producer_ = nullptr;
}

void TQRPreview::SetQRPrinter(TQRPrinter *producer) {
    if (producer == producer_)
        return;
    ReleaseProducer();
    producer_ = producer;
    image_->SetPicture(nullptr);
    if (producer_) {
        producer_->SetClient(this);
        producer_->SetShowingPreview(true);
        connect(producer_, &TQRPrinter::PageAvailable, this, &TQRPreview::OnPageAvailable);
        connect(producer_, &TQRPrinter::ProgressChanged, this, &TQRPreview::ProgressUpdate);
    }
    pageNumber_ = 0;
    SetPageNumber(1);
    if (pageNumber_ == 0)
        pageNumber_ = 1;
    UpdateLayout();
}

void TQRPreview::LoadPage(int pageNumber) {
    image_->SetPicture(producer_->GetPage(pageNumber));
    image_->SetPageNumber(pageNumber);
    image_->SetPageSize(PagePixelSize());
    pageNumber_ = pageNumber;
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
}

void TQRPreview::SetPageNumber(int pageNumber) {
    if (pageNumber == pageNumber_ && image_->Picture())
        return;
    if (pageNumber < 1 || !producer_ || pageNumber > producer_->PageCount())
        return;
    LoadPage(pageNumber);
}

void TQRPreview::ReloadPage(int pageNumber) {
    if (pageNumber < 1 || !producer_ || pageNumber > producer_->PageCount())
        return;
    LoadPage(pageNumber);
}

void TQRPreview::CatchUp() {
    if (producer_)
        OnPageAvailable(producer_->AvailablePages());
}

void TQRPreview::OnPageAvailable(int availablePages) {
    if (producer_ && availablePages == pageNumber_ && !image_->Picture()) {
        ZoomToWidth();
        // The zoom command let events run; the view may have been unbound.
        if (producer_)
            LoadPage(pageNumber_);
    }
    emit PageAvailable(availablePages);
}

QSize TQRPreview::PagePixelSize() const {
    const double scale = TQRPrinter::ScreenScale();
    double width = 2100;
    double length = 2970;
    if (producer_) {
        width = producer_->PaperWidth();
        length = producer_->PaperLength();
    }
    return QSize(TQRPrinter::RoundEven(width * scale), TQRPrinter::RoundEven(length * scale));
}

void TQRPreview::SetZoom(int zoom) {
    if (zoom < 2 || zoom > 2000)
        return;
    zoom_ = zoom;
    zoomMode_ = zmOther;
    UpdateLayout();
}

void TQRPreview::ZoomToFit() {
    // The view takes its final size first.
    QCoreApplication::processEvents();
    ApplyFit();
}

void TQRPreview::ApplyFit() {
    const QSize page = PagePixelSize();
    if (page.width() > 0 && page.height() > 0) {
        const int byWidth = TQRPrinter::RoundEven(double(width()) / page.width() * 95);
        const int byHeight = TQRPrinter::RoundEven(double(height()) / page.height() * 95);
        SetZoom(std::min(byWidth, byHeight));
    }
    zoomMode_ = zmFit;
}

void TQRPreview::ZoomTo100() {
    QCoreApplication::processEvents();
    SetZoom(100);
}

void TQRPreview::ZoomToWidth() {
    QCoreApplication::processEvents();
    ApplyWidth();
}

void TQRPreview::ApplyWidth() {
    const QSize page = PagePixelSize();
    if (page.width() > 0)
        SetZoom(TQRPrinter::RoundEven(double(width()) / page.width() * 90));
    UpdateLayout();
    zoomMode_ = zmWidth;
}

void TQRPreview::UpdateLayout() {
    double paperWidth = 2100;
    double paperLength = 2970;
    if (producer_) {
        paperWidth = producer_->PaperWidth();
        paperLength = producer_->PaperLength();
    }
    const double scale = TQRPrinter::ScreenScale();
    const int w = TQRPrinter::RoundEven(paperWidth * zoom_ / 100.0 * scale) + 4;
    const int h = TQRPrinter::RoundEven(paperLength * zoom_ / 100.0 * scale) + 4;
    const int left = w < width() ? (width() - w) / 2 : 0;
    const int top = h < height() ? (height() - h) / 2 : 0;
    image_->setGeometry(left, top, w, h);
    image_->SetPageSize(PagePixelSize());
    canvas_->resize(std::max(viewport()->width(), left + w),
                    std::max(viewport()->height(), top + h));
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
}

void TQRPreview::resizeEvent(QResizeEvent *event) {
    QScrollArea::resizeEvent(event);
    switch (zoomMode_) {
    case zmFit:
        ApplyFit();
        break;
    case zmWidth:
        ApplyWidth();
        break;
    case zmOther:
        break;
    }
    UpdateLayout();
}
