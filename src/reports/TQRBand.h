#pragma once

#include "reports/TQRPrintable.h"

#include <QColor>
#include <QString>
#include <memory>
#include <vector>

class TQRExportFilter;
class TQRPrinter;

// The kinds of band, in their fixed order.
enum TQRBandType {
    rbTitle,
    rbPageHeader,
    rbDetail,
    rbPageFooter,
    rbSummary,
    rbGroupHeader,
    rbGroupFooter,
    rbSubDetail,
    rbColumnHeader,
    rbOverlay,
    rbChild
};

// A horizontal strip of a report page that holds elements. Its size is its
// height and width in tenths of a millimetre; the elements print in the
// order they were added (their drawing order). The band owns its elements.
class TQRBand {
public:
    TQRBand(QString name, TQRBandType type);
    ~TQRBand();
    TQRBand(const TQRBand &) = delete;
    TQRBand &operator=(const TQRBand &) = delete;

    const QString &Name() const { return name_; }
    TQRBandType BandType() const { return type_; }
    void SetBandType(TQRBandType type) { type_ = type; }
    double Height() const { return height_; }
    void SetHeight(double height) { height_ = height; }
    double Width() const { return width_; }
    void SetWidth(double width) { width_ = width; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value) { enabled_ = value; }
    const QColor &Color() const { return color_; }
    void SetColor(const QColor &color) { color_ = color; }

    // Adds an element at the end of the drawing order and returns it.
    template <class TElement> TElement *Add(std::unique_ptr<TElement> element) {
        TElement *added = element.get();
        elements_.push_back(std::move(element));
        return added;
    }
    const std::vector<std::unique_ptr<TQRPrintable>> &Elements() const { return elements_; }

    // Fills the band's rectangle, its top-left corner at the page position
    // (x, y), in Color, then prints every element at (x + left, y + top).
    // On an export run nothing is filled and the elements' lines go to
    // `exportFilter`.
    void Print(TQRPrinter &producer, double x, double y, int zoom,
               TQRExportFilter *exportFilter = nullptr) const;

private:
    QString name_;
    TQRBandType type_;
    double height_ = 0;
    double width_ = 0;
    bool enabled_ = true;
    QColor color_ = Qt::white;
    std::vector<std::unique_ptr<TQRPrintable>> elements_;
};
