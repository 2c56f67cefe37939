#include "reports/TQRPrintJob.h"

#include "data/DatabaseErrors.h"

#include <QDir>
#include <QFile>
#include <QLibrary>
#include <QPageLayout>
#include <QPrinter>
#include <QTemporaryFile>
#include <vector>

namespace {

// The print queue's client library, loaded when first needed; Qt's own
// printing on this system goes through the same library.
struct QueueOption {
    char *name;
    char *value;
};
using PrintFileFunction = int (*)(const char *, const char *, const char *, int, QueueOption *);
using LastErrorFunction = const char *(*)();

struct QueueLibrary {
    PrintFileFunction printFile = nullptr;
    LastErrorFunction lastError = nullptr;
};

const QueueLibrary &Queue() {
    static const QueueLibrary library = [] {
        QueueLibrary loaded;
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
        QLibrary cups(QStringLiteral("cups"), 2);
        if (cups.load()) {
            loaded.printFile = reinterpret_cast<PrintFileFunction>(cups.resolve("cupsPrintFile"));
            loaded.lastError =
                reinterpret_cast<LastErrorFunction>(cups.resolve("cupsLastErrorString"));
        }
#endif
        return loaded;
    }();
    return library;
}

} // namespace

TQRPrintJob::~TQRPrintJob() {
    RemoveSpoolFile();
}

bool TQRPrintJob::Available() {
    return Queue().printFile != nullptr;
}

bool TQRPrintJob::Spool(QPrinter &printer) {
    if (!Available())
        return false;
    // The name must not end in ".pdf": that would switch the printer to PDF
    // output with other metrics than the printer's own.
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/corvana-print-XXXXXX.job"));
    file.setAutoRemove(false);
    if (!file.open())
        return false;
    spoolFile_ = file.fileName();
    file.close();
    printer.setOutputFileName(spoolFile_);
    return true;
}

void TQRPrintJob::Submit(QPrinter &printer) {
    const QByteArray file = QFile::encodeName(spoolFile_);
    const QByteArray queueName =
        printer.printerName().section(QLatin1Char('/'), 0, 0).toLocal8Bit();
    const QByteArray title = printer.docName().toLocal8Bit();
    Options options = QueueOptions(printer);
    printer.setOutputFileName(QString());

    std::vector<QueueOption> queueOptions;
    for (auto &option : options)
        queueOptions.push_back({option.first.data(), option.second.data()});
    const int job = Queue().printFile(queueName.constData(), file.constData(), title.constData(),
                                      int(queueOptions.size()),
                                      queueOptions.empty() ? nullptr : queueOptions.data());
    RemoveSpoolFile();
    if (job <= 0) {
        QString reason =
            Queue().lastError ? QString::fromLocal8Bit(Queue().lastError()) : QString();
        if (reason.isEmpty())
            reason = QStringLiteral("the print queue refused the job");
        throw EError(QStringLiteral("Printing on %1 failed: %2")
                         .arg(QString::fromLocal8Bit(queueName), reason));
    }
}

void TQRPrintJob::Discard(QPrinter &printer) {
    printer.setOutputFileName(QString());
    RemoveSpoolFile();
}

void TQRPrintJob::RemoveSpoolFile() {
    if (!spoolFile_.isEmpty())
        QFile::remove(spoolFile_);
    spoolFile_.clear();
}

TQRPrintJob::Options TQRPrintJob::QueueOptions(const QPrinter &printer) {
    using Option = QPair<QByteArray, QByteArray>;
    Options options;
    const QPageLayout layout = printer.pageLayout();
    const QString media = layout.pageSize().key();
    if (!media.isEmpty())
        options.append(Option("media", media.toLocal8Bit()));
    // The spooled pages already stand where they belong on the paper: the
    // queue must not shrink them into its printable area.
    options.append(Option("print-scaling", "none"));
    options.append(Option("fit-to-page", "false"));
    const int copies = printer.copyCount();
    if (copies > 1) {
        options.append(Option("copies", QByteArray::number(copies)));
        options.append(Option("Collate", printer.collateCopies() ? "True" : "False"));
    }
    if (layout.orientation() == QPageLayout::Landscape)
        options.append(Option("landscape", ""));
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0)
        options.append(Option("page-ranges", QByteArray::number(printer.fromPage()) + '-' +
                                                 QByteArray::number(printer.toPage())));
    return options;
}
