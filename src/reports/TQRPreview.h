#pragma once

#include <QPointer>
#include <QScrollArea>

class TQRPreviewImage;
class TQRPrinter;

enum TQRZoomMode { zmFit, zmWidth, zmOther };

// The preview's page view: a scrolling area holding the picture of one
// page of its producer. It is the producer's client: page and progress
// announcements arrive here, queued, and are passed on as PageAvailable and
// ProgressUpdate after the view has shown the first page, zoomed to width,
// as soon as the store holds it.
//
// Zoom is in percent (2 to 2000; other values are refused). The page control
// is the page's size at the zoom plus 4 pixels for the outline and shadow,
// centred when it is smaller than the view. Fit and width modes are
// re-applied whenever the view changes size.
class TQRPreview : public QScrollArea {
    Q_OBJECT
public:
    explicit TQRPreview(QWidget *parent = nullptr);
    ~TQRPreview() override;

    TQRPrinter *QRPrinter() const { return producer_; }
    // Binds the view to a producer (null: none). The old producer is told
    // that no preview shows it any more, and is cancelled when still busy;
    // the new one gets the view as its client and the view goes to page 1.
    void SetQRPrinter(TQRPrinter *producer);

    int PageNumber() const { return pageNumber_; }
    // Shows page n: nothing when n is shown and loaded already, below 1,
    // above the producer's page count or without a producer. Otherwise the
    // page's picture is loaded (none when not stored yet) and both scroll
    // bars go back to 0.
    void SetPageNumber(int pageNumber);
    // Loads page n even when it is shown already (after a Load).
    void ReloadPage(int pageNumber);
    // Takes in the pages stored so far at once, as the producer's queued page
    // notice would later: the first page is zoomed and shown when it exists,
    // and PageAvailable is emitted.
    void CatchUp();

    int Zoom() const { return zoom_; }
    // Accepted for 2 <= zoom <= 2000: the mode becomes other and the page is
    // laid out again.
    void SetZoom(int zoom);
    TQRZoomMode ZoomMode() const { return zoomMode_; }
    void ZoomToFit();
    void ZoomToWidth();
    void ZoomTo100();

    TQRPreviewImage *PreviewImage() const { return image_; }
    // The page's pixel size at 100 % on the screen.
    QSize PagePixelSize() const;
    // Sizes and places the page control for the zoom; scroll positions to 0.
    void UpdateLayout();

signals:
    void PageAvailable(int availablePages);
    void ProgressUpdate(int progress);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void OnPageAvailable(int availablePages);
    // The zoom commands without letting events run first, for a resize.
    void ApplyFit();
    void ApplyWidth();
    void LoadPage(int pageNumber);
    void ReleaseProducer();

    QPointer<TQRPrinter> producer_;
    TQRPreviewImage *image_;
    QWidget *canvas_;
    int pageNumber_ = 1;
    int zoom_ = 100;
    TQRZoomMode zoomMode_ = zmOther;
};
