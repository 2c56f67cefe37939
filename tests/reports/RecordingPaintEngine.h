#pragma once

#include <QColor>
#include <QList>
#include <QPaintEngine>
#include <QPointF>
#include <QRectF>
#include <QString>

// A paint engine that draws nothing and keeps a list of what was drawn, page
// by page, in device coordinates. Report tests read back where a producer's
// painter put texts and rectangles.
class RecordingPaintEngine : public QPaintEngine {
public:
    struct Operation {
        enum Kind { Text, Rect, Line, Path, Pixmap };
        Kind kind;
        QRectF rect;   // rectangles, lines (from top-left to bottom-right), bounds
        QPointF point; // a text's baseline origin
        QString text;
        QString fontFamily;
        double fontPointSize = 0;
        QColor brush;
    };

    RecordingPaintEngine();

    // Pages drawn since the last begin; a begin opens the first page.
    const QList<QList<Operation>> &Pages() const { return pages_; }
    int BeginCount() const { return beginCount_; }
    int EndCount() const { return endCount_; }
    // Makes the next begin fail, as a printer that cannot start a job does.
    void SetFailBegin(bool fail) { failBegin_ = fail; }
    void StartPage() { pages_.append(QList<Operation>()); }

    bool begin(QPaintDevice *device) override;
    bool end() override;
    void updateState(const QPaintEngineState &state) override;
    void drawRects(const QRectF *rects, int rectCount) override;
    void drawRects(const QRect *rects, int rectCount) override;
    void drawLines(const QLineF *lines, int lineCount) override;
    void drawPath(const QPainterPath &path) override;
    void drawPolygon(const QPointF *points, int pointCount, PolygonDrawMode mode) override;
    void drawTextItem(const QPointF &p, const QTextItem &textItem) override;
    void drawPixmap(const QRectF &r, const QPixmap &pm, const QRectF &sr) override;
    Type type() const override { return QPaintEngine::User; }

private:
    void Record(Operation operation);

    QList<QList<Operation>> pages_;
    int beginCount_ = 0;
    int endCount_ = 0;
    bool failBegin_ = false;
};
