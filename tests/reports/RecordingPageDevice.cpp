#include "RecordingPageDevice.h"

#include <QPageLayout>
#include <QPageSize>

RecordingPageDevice::RecordingPageDevice(int dpi) : QPdfWriter(QString()) {
    setResolution(dpi);
    setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
}

bool RecordingPageDevice::newPage() {
    ++newPageCalls_;
    if (failNewPage_)
        return false;
    engine_.StartPage();
    return true;
}

QPaintEngine *RecordingPageDevice::paintEngine() const {
    return &engine_;
}
