#pragma once

#include "RecordingPageDevice.h"
#include "reports/TQRPrinter.h"

#include <QFont>
#include <QPageLayout>
#include <QStringList>
#include <functional>

// Helpers shared by the report tests (header only).
namespace ReportTest {

using Operation = RecordingPaintEngine::Operation;
using Page = QList<Operation>;

// The program maps the report's fonts to their metric twins; so do the tests.
inline void MapReportFonts() {
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Times New Roman"),
                              QStringLiteral("Liberation Serif"));
}

// Every text drawn on a page, in drawing order.
inline QStringList Texts(const Page &page) {
    QStringList texts;
    for (const Operation &operation : page) {
        if (operation.kind == Operation::Text)
            texts << operation.text;
    }
    return texts;
}

// The position in the page's operations of the first text equal to `text`,
// or -1.
inline int IndexOfText(const Page &page, const QString &text) {
    for (int i = 0; i < page.size(); ++i) {
        if (page[i].kind == Operation::Text && page[i].text == text)
            return i;
    }
    return -1;
}

// The filled rectangle drawn last before operation `index`, or -1.
inline int FillBefore(const Page &page, int index) {
    for (int i = index - 1; i >= 0; --i) {
        if (page[i].kind == Operation::Rect)
            return i;
    }
    return -1;
}

// The unprintable offset of a device in device pixels: where its painter's
// origin lies on the paper.
inline QPoint OriginOnPaper(const QPagedPaintDevice &device) {
    return device.pageLayout().paintRectPixels(device.logicalDpiX()).topLeft();
}

// Makes the system report a printer (or none) while it lives.
class PrinterInstalledScope {
public:
    explicit PrinterInstalledScope(bool installed) {
        TQRPrinter::SetPrinterInstalledHook([installed] { return installed; });
    }
    ~PrinterInstalledScope() { TQRPrinter::SetPrinterInstalledHook({}); }
    PrinterInstalledScope(const PrinterInstalledScope &) = delete;
    PrinterInstalledScope &operator=(const PrinterInstalledScope &) = delete;
};

} // namespace ReportTest
