#include "reports/TQRPictureRecorder.h"

#include <QPaintEngine>
#include <QPainter>
#include <QTextItem>
#include <cmath>

class TQRPictureRecorder::Engine : public QPaintEngine {
public:
    explicit Engine(TQRPictureRecorder &device)
        : QPaintEngine(QPaintEngine::AllFeatures), device_(device) {}

    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState &) override {}
    Type type() const override { return QPaintEngine::User; }

    void drawRects(const QRectF *rects, int count) override {
        const QTransform transform = painter()->transform();
        const QBrush brush = painter()->brush();
        const QPen pen = painter()->pen();
        for (int i = 0; i < count; ++i) {
            const QRectF rect = transform.mapRect(rects[i].normalized());
            if (brush.style() != Qt::NoBrush) {
                TQRPagePicture::Operation op;
                op.kind = TQRPagePicture::Operation::FillRect;
                op.rect = rect;
                op.color = brush.color().rgba();
                device_.picture_.Add(op);
            }
            if (pen.style() != Qt::NoPen) {
                const QLineF sides[] = {{rect.topLeft(), rect.topRight()},
                                        {rect.topRight(), rect.bottomRight()},
                                        {rect.bottomRight(), rect.bottomLeft()},
                                        {rect.bottomLeft(), rect.topLeft()}};
                for (const QLineF &side : sides)
                    AddLine(side, pen);
            }
        }
    }
    void drawRects(const QRect *rects, int count) override {
        for (int i = 0; i < count; ++i) {
            const QRectF rect(rects[i]);
            drawRects(&rect, 1);
        }
    }
    void drawLines(const QLineF *lines, int count) override {
        const QTransform transform = painter()->transform();
        for (int i = 0; i < count; ++i)
            AddLine(transform.map(lines[i]), painter()->pen());
    }
    void drawLines(const QLine *lines, int count) override {
        for (int i = 0; i < count; ++i) {
            const QLineF line(lines[i]);
            drawLines(&line, 1);
        }
    }
    void drawTextItem(const QPointF &p, const QTextItem &item) override {
        const QTransform transform = painter()->transform();
        const QFont font = item.font();
        const double pixels =
            font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * device_.dpi_ / 72.0;
        const double scale = std::hypot(transform.m12(), transform.m22());
        TQRPagePicture::Operation op;
        op.kind = TQRPagePicture::Operation::Text;
        op.origin = transform.map(p);
        op.size = pixels * scale;
        // An underline or strike-out reaches the device as a line of its
        // own, drawn by the painter after the text, so it is not part of the
        // text run's style.
        op.style = quint8((font.bold() ? TQRPagePicture::Bold : 0) |
                          (font.italic() ? TQRPagePicture::Italic : 0));
        op.color = painter()->pen().color().rgba();
        op.family = font.family();
        op.text = item.text();
        if (op.size > 0 && op.size <= TQRPagePicture::MaxFontPixels)
            device_.picture_.Add(op);
    }
    // The report engine draws no paths, polygons or images; they are not
    // part of a page picture.
    void drawPath(const QPainterPath &) override {}
    void drawPolygon(const QPointF *, int, PolygonDrawMode) override {}
    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}

private:
    void AddLine(const QLineF &line, const QPen &pen) {
        TQRPagePicture::Operation op;
        op.kind = TQRPagePicture::Operation::Line;
        op.rect = QRectF(line.p1(), line.p2());
        op.size = pen.widthF();
        op.style = pen.capStyle() == Qt::FlatCap    ? TQRPagePicture::FlatCap
                   : pen.capStyle() == Qt::RoundCap ? TQRPagePicture::RoundCap
                                                    : TQRPagePicture::SquareCap;
        op.color = pen.color().rgba();
        device_.picture_.Add(op);
    }

    TQRPictureRecorder &device_;
};

TQRPictureRecorder::TQRPictureRecorder(int width, int height, int dpi)
    : picture_(width, height), dpi_(dpi), engine_(std::make_unique<Engine>(*this)) {}

TQRPictureRecorder::~TQRPictureRecorder() = default;

QPaintEngine *TQRPictureRecorder::paintEngine() const {
    return engine_.get();
}

TQRPagePicture TQRPictureRecorder::TakePicture() {
    TQRPagePicture taken = std::move(picture_);
    picture_ = TQRPagePicture(taken.Width(), taken.Height());
    return taken;
}

int TQRPictureRecorder::metric(PaintDeviceMetric metric) const {
    switch (metric) {
    case PdmWidth:
        return picture_.Width();
    case PdmHeight:
        return picture_.Height();
    case PdmWidthMM:
        return qRound(picture_.Width() * 25.4 / dpi_);
    case PdmHeightMM:
        return qRound(picture_.Height() * 25.4 / dpi_);
    case PdmNumColors:
        return 0x7fffffff;
    case PdmDepth:
        return 32;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return dpi_;
    case PdmDevicePixelRatio:
        return 1;
    case PdmDevicePixelRatioScaled:
        return int(QPaintDevice::devicePixelRatioFScale());
    default:
        return 0;
    }
}
