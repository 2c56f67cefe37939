#include "RecordingPaintEngine.h"

#include <QPainterPath>
#include <QPolygonF>

RecordingPaintEngine::RecordingPaintEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}

bool RecordingPaintEngine::begin(QPaintDevice *) {
    ++beginCount_;
    if (failBegin_)
        return false;
    pages_.clear();
    StartPage();
    return true;
}

bool RecordingPaintEngine::end() {
    ++endCount_;
    return true;
}

void RecordingPaintEngine::updateState(const QPaintEngineState &) {}

void RecordingPaintEngine::Record(Operation operation) {
    if (pages_.isEmpty())
        StartPage();
    operation.brush = painter()->brush().color();
    operation.fontFamily = painter()->font().family();
    operation.fontPointSize = painter()->font().pointSizeF();
    pages_.last().append(operation);
}

void RecordingPaintEngine::drawRects(const QRectF *rects, int rectCount) {
    const QTransform transform = painter()->transform();
    for (int i = 0; i < rectCount; ++i)
        Record({Operation::Rect, transform.mapRect(rects[i]), {}, {}, {}, 0, {}});
}

void RecordingPaintEngine::drawRects(const QRect *rects, int rectCount) {
    for (int i = 0; i < rectCount; ++i) {
        const QRectF rect(rects[i]);
        drawRects(&rect, 1);
    }
}

void RecordingPaintEngine::drawLines(const QLineF *lines, int lineCount) {
    const QTransform transform = painter()->transform();
    for (int i = 0; i < lineCount; ++i) {
        const QLineF line = transform.map(lines[i]);
        Record({Operation::Line, QRectF(line.p1(), line.p2()), {}, {}, {}, 0, {}});
    }
}

void RecordingPaintEngine::drawPath(const QPainterPath &path) {
    const QRectF bounds = painter()->transform().map(path).boundingRect();
    Record({Operation::Path, bounds, {}, {}, {}, 0, {}});
}

void RecordingPaintEngine::drawPolygon(const QPointF *points, int pointCount, PolygonDrawMode) {
    QPolygonF polygon;
    for (int i = 0; i < pointCount; ++i)
        polygon << points[i];
    Record(
        {Operation::Path, painter()->transform().map(polygon).boundingRect(), {}, {}, {}, 0, {}});
}

void RecordingPaintEngine::drawTextItem(const QPointF &p, const QTextItem &textItem) {
    Record({Operation::Text, {}, painter()->transform().map(p), textItem.text(), {}, 0, {}});
}

void RecordingPaintEngine::drawPixmap(const QRectF &r, const QPixmap &, const QRectF &) {
    Record({Operation::Pixmap, painter()->transform().mapRect(r), {}, {}, {}, 0, {}});
}
