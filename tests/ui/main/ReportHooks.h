#pragma once

// Report output for the main window's tests (header only): printing into a
// PDF file instead of the printer, and closing each preview window as soon
// as it has shown its pages, so that a preview command returns.

#include "reports/TQRPrinter.h"
#include "reports/TQRReport.h"
#include "reports/TQRStandardPreview.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

// Sends every report run to a PDF file instead of the printer.
class PrintToPdf {
public:
    explicit PrintToPdf(bool printerInstalled = true) : writer(dir.filePath("report.pdf")) {
        TQRPrinter::SetPrinterInstalledHook([printerInstalled] { return printerInstalled; });
        TQRReport::SetDefaultProducerSetup(
            [this](TQRPrinter &producer) { producer.SetOutputDevice(&writer); });
    }
    ~PrintToPdf() {
        TQRReport::SetDefaultProducerSetup(nullptr);
        TQRPrinter::SetPrinterInstalledHook(nullptr);
    }
    // Pages in the file; -1 when nothing was written.
    int Pages() const {
        QFile file(dir.filePath("report.pdf"));
        if (!file.open(QIODevice::ReadOnly) || file.size() == 0)
            return -1;
        static const QRegularExpression page(R"(/Type\s*/Page(?!s))");
        return int(QString::fromLatin1(file.readAll()).count(page));
    }

    QTemporaryDir dir;
    QPdfWriter writer;
};

// While it lives, every 10 ms: a shown preview window whose page
// information reads "Page 1 of 1" is handed to `look` and closed. A preview
// still open after five seconds is closed all the same, so that the command
// waiting for it returns; Timeouts() then counts it.
class PreviewCloser {
public:
    explicit PreviewCloser(std::function<void(TQRStandardPreview &)> look = {})
        : look_(std::move(look)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
        timer_.start(10);
    }
    int Seen() const { return seen_; }
    int Timeouts() const { return timeouts_; }

private:
    void Tick() {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *preview = qobject_cast<TQRStandardPreview *>(widget);
            if (!preview || !preview->isVisible())
                continue;
            const bool ready = preview->StatusPanel(1)->text() == QStringLiteral("Page 1 of 1");
            if (ready || ++ticks_ > 500) {
                if (ready) {
                    ++seen_;
                    if (look_)
                        look_(*preview);
                } else {
                    ++timeouts_;
                }
                ticks_ = 0;
                preview->close();
            }
        }
    }

    std::function<void(TQRStandardPreview &)> look_;
    QTimer timer_;
    int ticks_ = 0;
    int seen_ = 0;
    int timeouts_ = 0;
};
