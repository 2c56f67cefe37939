// libFuzzer target for the saved report file check: any byte string must be
// either accepted as a sound saved report (and then every page must be
// readable) or refused with a reason, without reading outside the input.
#include "reports/TQRPageList.h"
#include "reports/TQRStream.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPicture>
#include <cstdint>
#include <cstdlib>

namespace {

// A sound two-page file for the starting corpus.
QByteArray SeedFile() {
    TQRPageList list;
    for (int page = 1; page <= 2; ++page) {
        QPicture picture;
        QPainter painter(&picture);
        painter.drawRect(10, 10, 100 * page, 50);
        painter.drawLine(0, 0, 300, 400);
        picture.setBoundingRect(QRect(0, 0, 794, 1123));
        painter.end();
        list.AddPage(picture);
    }
    list.Finish();
    return list.Stream().Read(0, list.Stream().Size());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // QPicture warns about every damaged picture; the warnings would only
    // slow the run and bury its report.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    // CORVANA_FUZZ_SEED_DIR=<folder>: write the seed file there first.
    const QByteArray folder = qgetenv("CORVANA_FUZZ_SEED_DIR");
    if (!folder.isEmpty()) {
        QDir().mkpath(QString::fromLocal8Bit(folder));
        QFile file(QString::fromLocal8Bit(folder) + QStringLiteral("/two-pages.qrp"));
        if (file.open(QIODevice::WriteOnly))
            file.write(SeedFile());
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    QString reason;
    if (!TQRPageList::ValidateBytes(bytes, &reason)) {
        if (reason.isEmpty())
            std::abort(); // a refusal always says why
        return 0;
    }
    // An accepted file must give every page it counts, in any order.
    std::unique_ptr<TQRPageList> pages = TQRPageList::OpenBytes(bytes, QStringLiteral("input"));
    const int count = pages->PageCount();
    for (int page : {count, 1, count / 2 + 1, count - 1}) {
        if (page >= 1 && page <= count && !pages->GetPage(page))
            std::abort();
    }
    return 0;
}
