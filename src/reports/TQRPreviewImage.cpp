#include "reports/TQRPreviewImage.h"

#include <QPainter>

TQRPreviewImage::TQRPreviewImage(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PreviewImage"));
}

void TQRPreviewImage::SetPicture(std::unique_ptr<TQRPagePicture> picture) {
    picture_ = std::move(picture);
    update();
}

void TQRPreviewImage::paintEvent(QPaintEvent *) {
    if (!picture_)
        return;
    const int w = width();
    const int h = height();
    QPainter painter(this);
    painter.fillRect(QRect(QPoint(1, 1), QPoint(w - 3, h - 3)), Qt::white);

    // The picture is recorded at the page's size at 100 %; the control may
    // be any size, so the page is stretched to it.
    picture_->Play(painter, QRectF(0, 0, w, h));

    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    const QPoint outline[] = {{0, 0}, {0, h - 3}, {w - 3, h - 3}, {w - 3, 0}, {0, 0}};
    painter.drawPolyline(outline, 5);
    painter.fillRect(QRect(w - 2, 2, 2, h - 2), Qt::black);
    painter.fillRect(QRect(2, h - 2, w - 2, 2), Qt::black);
}
