#pragma once

#include "reports/TQRStandardPreview.h"

#include <QApplication>
#include <QList>
#include <QTimer>
#include <functional>

// Drives preview windows from a timer while a report's Preview waits for
// them (header only).
namespace ReportTest {

// The preview windows on show.
inline QList<TQRStandardPreview *> OpenPreviews() {
    QList<TQRStandardPreview *> previews;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *preview = qobject_cast<TQRStandardPreview *>(widget);
            preview && preview->isVisible())
            previews << preview;
    }
    return previews;
}

// Drives the previews Preview opens: every 10 ms `step` runs with the
// previews open; it returns true when it is done. A preview still open
// after five seconds is closed and the test fails, so that Preview returns.
class PreviewDriver {
public:
    explicit PreviewDriver(std::function<bool(const QList<TQRStandardPreview *> &)> step)
        : step_(std::move(step)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (done_)
                return;
            if (step_(OpenPreviews()))
                done_ = true;
            else if (++ticks_ > 500) {
                timedOut_ = true;
                done_ = true;
                for (TQRStandardPreview *preview : OpenPreviews())
                    preview->close();
            }
        });
        timer_.start(10);
    }
    bool Done() const { return done_ && !timedOut_; }

private:
    std::function<bool(const QList<TQRStandardPreview *> &)> step_;
    QTimer timer_;
    int ticks_ = 0;
    bool done_ = false;
    bool timedOut_ = false;
};

} // namespace ReportTest
