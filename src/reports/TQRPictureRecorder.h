#pragma once

#include "reports/TQRPagePicture.h"

#include <QPaintDevice>
#include <memory>

class QPaintEngine;

// A paint device that records what a painter draws on it into a page
// picture: filled rectangles, lines and text runs, in the device's pixels
// (the painter's transform applied). It reports the size and resolution it
// was made with, so fonts are measured on it as on the screen. Drawing of
// other kinds (paths, images) is not recorded; the report engine issues none.
class TQRPictureRecorder : public QPaintDevice {
public:
    TQRPictureRecorder(int width, int height, int dpi);
    ~TQRPictureRecorder() override;

    QPaintEngine *paintEngine() const override;
    // The drawing recorded so far.
    const TQRPagePicture &Picture() const { return picture_; }
    TQRPagePicture TakePicture();

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    class Engine;
    friend class Engine;
    TQRPagePicture picture_;
    int dpi_;
    std::unique_ptr<Engine> engine_;
};
