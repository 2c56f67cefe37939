// The page view of the preview: zoom values and modes, the page's layout,
// and what a resize does to them; the window's progress panel.
#include "reports/TQRPreview.h"
#include "reports/TQRPreviewImage.h"
#include "reports/TQRPrinter.h"
#include "reports/TQRStandardPreview.h"

#include "reports/TQRPictureRecorder.h"
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

class PreviewZoom : public ::testing::Test {
protected:
    void SetUp() override {
        // The expected values below are those of a 96 dpi screen: an A4
        // page is 794 x 1123 pixels at 100 %.
        ASSERT_DOUBLE_EQ(TQRPrinter::ScreenScale(), 96.0 / 254.0);
        view.SetQRPrinter(&producer);
        view.show();
    }

    void ResizeView(int width, int height) {
        view.resize(width, height);
        QApplication::processEvents();
    }

    QRect PageRect() const { return view.PreviewImage()->geometry(); }

    TQRPrinter producer;
    TQRPreview view;
};

TEST_F(PreviewZoom, StartsAtOneHundredPercentInModeOther) {
    EXPECT_EQ(view.Zoom(), 100);
    EXPECT_EQ(view.ZoomMode(), zmOther);
    EXPECT_EQ(view.PagePixelSize(), QSize(794, 1123));
    EXPECT_EQ(view.PageNumber(), 1);
    EXPECT_EQ(view.PreviewImage()->Picture(), nullptr);
    EXPECT_EQ(producer.Client(), &view);
    EXPECT_TRUE(producer.ShowingPreview());
}

TEST_F(PreviewZoom, ZoomToWidthOfA1000PixelView) {
    ResizeView(1000, 700);
    view.ZoomToWidth();
    // round(1000 / 794 * 90) = round(113.35)
    EXPECT_EQ(view.Zoom(), 113);
    EXPECT_EQ(view.ZoomMode(), zmWidth);
    // round(2100 * 1.13 * 96 / 254) + 4 = 897 + 4, centred in 1000.
    EXPECT_EQ(PageRect(), QRect(49, 0, 901, 1272));
}

TEST_F(PreviewZoom, ZoomToFitTakesTheSmallerOfBothAxes) {
    ResizeView(800, 600);
    view.ZoomToFit();
    // Width: round(800 / 794 * 95) = 96; height: round(600 / 1123 * 95) = 51.
    EXPECT_EQ(view.Zoom(), 51);
    EXPECT_EQ(view.ZoomMode(), zmFit);
    // round(2100 * 0.51 * 96 / 254) + 4 = 405 + 4; round(2970 * 0.51 * ...) + 4 = 573 + 4.
    EXPECT_EQ(PageRect(), QRect((800 - 409) / 2, (600 - 576) / 2, 409, 576));
}

TEST_F(PreviewZoom, ZoomToFitBelowTwoKeepsTheZoomButSwitchesTheMode) {
    view.SetZoom(50);
    ResizeView(12, 12);
    view.ZoomToFit();
    // round(12 / 1123 * 95) = 1 is refused.
    EXPECT_EQ(view.Zoom(), 50);
    EXPECT_EQ(view.ZoomMode(), zmFit);
}

TEST_F(PreviewZoom, SetZoomAcceptsTwoToTwoThousandOnly) {
    view.ZoomToWidth();
    view.SetZoom(1);
    EXPECT_EQ(view.ZoomMode(), zmWidth);
    view.SetZoom(2001);
    EXPECT_EQ(view.ZoomMode(), zmWidth);
    const int before = view.Zoom();
    EXPECT_NE(before, 1);
    EXPECT_NE(before, 2001);

    view.SetZoom(2);
    EXPECT_EQ(view.Zoom(), 2);
    EXPECT_EQ(view.ZoomMode(), zmOther);
    view.SetZoom(2000);
    EXPECT_EQ(view.Zoom(), 2000);
    // round(2100 * 20 * 96 / 254) + 4
    EXPECT_EQ(PageRect().width(), 15874 + 4);
    EXPECT_EQ(PageRect().left(), 0);
}

TEST_F(PreviewZoom, AResizeKeepsOneHundredPercentAndCentresThePage) {
    ResizeView(1000, 700);
    view.ZoomTo100();
    EXPECT_EQ(view.Zoom(), 100);
    EXPECT_EQ(view.ZoomMode(), zmOther);
    EXPECT_EQ(PageRect().left(), (1000 - 798) / 2);

    ResizeView(1400, 1300);
    EXPECT_EQ(view.Zoom(), 100);
    EXPECT_EQ(PageRect(), QRect((1400 - 798) / 2, (1300 - 1127) / 2, 798, 1127));
}

TEST_F(PreviewZoom, AResizeRecomputesZoomToWidthAndZoomToFit) {
    ResizeView(1000, 700);
    view.ZoomToWidth();
    ASSERT_EQ(view.Zoom(), 113);

    ResizeView(1500, 700);
    // round(1500 / 794 * 90) = round(170.03)
    EXPECT_EQ(view.Zoom(), 170);
    EXPECT_EQ(view.ZoomMode(), zmWidth);

    view.ZoomToFit();
    ResizeView(800, 600);
    EXPECT_EQ(view.Zoom(), 51);
    EXPECT_EQ(view.ZoomMode(), zmFit);
}

TEST_F(PreviewZoom, LandscapePaperSwapsTheExtent) {
    TQRPrinterSettings settings;
    settings.orientation = poLandscape;
    producer.SetPrinterSettings(settings);
    EXPECT_EQ(view.PagePixelSize(), QSize(1123, 794));
    ResizeView(1000, 700);
    view.ZoomToWidth();
    // round(1000 / 1123 * 90) = round(80.14)
    EXPECT_EQ(view.Zoom(), 80);
}

TEST_F(PreviewZoom, UnbindingTellsTheProducerNoPreviewShowsIt) {
    view.SetQRPrinter(nullptr);
    EXPECT_FALSE(producer.ShowingPreview());
    EXPECT_EQ(producer.Client(), nullptr);
    // Paging without a producer does nothing.
    view.SetPageNumber(2);
    EXPECT_EQ(view.PageNumber(), 1);
}

TEST(PreviewProgress, PanelZeroShowsStepsOfFiveAndEndsEmpty) {
    TQRPrinter producer;
    TQRStandardPreview window(&producer);
    QLabel *panel = window.StatusPanel(0);
    EXPECT_EQ(panel->text(), "0%");
    EXPECT_EQ(window.StatusPanel(1)->text(), "Page");

    emit window.QRPreview()->ProgressUpdate(3);
    EXPECT_EQ(panel->text(), "0%");
    emit window.QRPreview()->ProgressUpdate(45);
    EXPECT_EQ(panel->text(), "45%");
    emit window.QRPreview()->ProgressUpdate(49);
    EXPECT_EQ(panel->text(), "45%");
    emit window.QRPreview()->ProgressUpdate(50);
    EXPECT_EQ(panel->text(), "50%");
    emit window.QRPreview()->ProgressUpdate(100);
    EXPECT_EQ(panel->text(), "");
}

} // namespace

namespace {

// A page of 100 x 50 pixels filled grey, shown on a 204 x 104 control.
TEST(PreviewImage, PaintsTheSheetStretchedWithOutlineAndShadow) {
    TQRPictureRecorder recorder(100, 50, 96);
    {
        QPainter painter(&recorder);
        painter.fillRect(QRect(0, 0, 100, 50), QColor(128, 128, 128));
    }
    auto picture = std::make_unique<TQRPagePicture>(recorder.TakePicture());
    TQRPreviewImage image;
    image.resize(204, 104);
    QImage empty(204, 104, QImage::Format_ARGB32);
    empty.fill(Qt::green);
    image.render(&empty, QPoint(), QRegion(), QWidget::DrawChildren);
    // Without a picture nothing is drawn.
    EXPECT_EQ(empty.pixelColor(100, 50), QColor(Qt::green));

    image.SetPageSize(QSize(100, 50));
    image.SetPicture(std::move(picture));
    QImage shown(204, 104, QImage::Format_ARGB32);
    shown.fill(Qt::green);
    image.render(&shown, QPoint(), QRegion(), QWidget::DrawChildren);

    // The grey page covers the control, stretched to twice its size.
    EXPECT_EQ(shown.pixelColor(150, 80), QColor(128, 128, 128));
    EXPECT_EQ(shown.pixelColor(195, 95), QColor(128, 128, 128));
    // Outline through (0, 0) and (201, 101).
    EXPECT_EQ(shown.pixelColor(0, 50), QColor(Qt::black));
    EXPECT_EQ(shown.pixelColor(100, 0), QColor(Qt::black));
    EXPECT_EQ(shown.pixelColor(201, 50), QColor(Qt::black));
    EXPECT_EQ(shown.pixelColor(100, 101), QColor(Qt::black));
    // The shadow: two pixels along the right from y = 2 and along the
    // bottom from x = 2; the corners before them are the page's.
    EXPECT_EQ(shown.pixelColor(203, 2), QColor(Qt::black));
    EXPECT_EQ(shown.pixelColor(202, 60), QColor(Qt::black));
    EXPECT_EQ(shown.pixelColor(2, 103), QColor(Qt::black));
    EXPECT_EQ(shown.pixelColor(203, 0), QColor(128, 128, 128));
    EXPECT_EQ(shown.pixelColor(0, 103), QColor(128, 128, 128));
}

} // namespace
