#pragma once

#include "reports/TQRPagePicture.h"
#include <QWidget>
#include <memory>

// The page picture control of the preview: one page, drawn stretched over
// the control on a white sheet with a black outline and a two-pixel shadow
// along its right and bottom edges. Without a picture it paints nothing.
class TQRPreviewImage : public QWidget {
    Q_OBJECT
public:
    explicit TQRPreviewImage(QWidget *parent = nullptr);

    int PageNumber() const { return pageNumber_; }
    void SetPageNumber(int pageNumber) { pageNumber_ = pageNumber; }
    // The page's picture, or null while the page does not exist.
    const TQRPagePicture *Picture() const { return picture_.get(); }
    void SetPicture(std::unique_ptr<TQRPagePicture> picture);
    // The page's pixel size at 100 %, the extent the picture was recorded
    // in; empty: the picture's own bounds.
    QSize PageSize() const { return pageSize_; }
    void SetPageSize(QSize size) { pageSize_ = size; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int pageNumber_ = 1;
    QSize pageSize_;
    std::unique_ptr<TQRPagePicture> picture_;
};
