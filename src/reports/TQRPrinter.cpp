#include "reports/TQRPrinter.h"

#include "data/DatabaseErrors.h"
#include "reports/TQRPageList.h"
#include "reports/TQRPagePicture.h"
#include "reports/TQRPictureRecorder.h"
#include "reports/TQRPrintJob.h"
#include "reports/TQRStream.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMetaObject>
#include <QMutexLocker>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <climits>
#include <cmath>

EQRError::EQRError(QString message) : message_(std::move(message)), utf8_(message_.toUtf8()) {}

namespace {

std::function<bool()> &PrinterInstalledHook() {
    static std::function<bool()> hook;
    return hook;
}

// Paper sizes by their codes 1 to 26, width and length in millimetres,
// portrait.
struct PaperEntry {
    double width;
    double length;
};
const PaperEntry PaperSizes[] = {
    {215.9, 279.4}, {215.9, 279.4}, {279.4, 431.8}, {431.8, 279.4}, {215.9, 355.6}, {139.7, 215.9},
    {190.5, 254},   {297, 420},     {210, 297},     {210, 297},     {148, 210},     {250, 354},
    {182, 257},     {215.9, 330.2}, {215, 275},     {254, 355.6},   {279.4, 431.8}, {215.9, 279},
    {98.43, 225.4}, {104.8, 241.3}, {114.3, 263.5}, {101.6, 279.4}, {127, 292.1},   {100, 100},
    {100, 100},     {100, 100},
};
const int PaperSizeCount = int(sizeof(PaperSizes) / sizeof(PaperSizes[0]));
const int CustomPaperSize = 27;

// The page size a paper size code asks for; invalid for code 0 (the
// printer's own paper) and for a custom size without a usable extent.
QPageSize PageSizeOf(const TQRPrinterSettings &settings) {
    if (settings.paperSize >= 1 && settings.paperSize <= PaperSizeCount) {
        const PaperEntry &paper = PaperSizes[settings.paperSize - 1];
        return QPageSize(QSizeF(paper.width, paper.length), QPageSize::Millimeter, QString(),
                         QPageSize::FuzzyMatch);
    }
    if (settings.paperSize == CustomPaperSize && settings.paperWidth > 0 &&
        settings.paperLength > 0)
        return QPageSize(QSizeF(settings.paperWidth / 10, settings.paperLength / 10),
                         QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch);
    return QPageSize();
}

// Whether the printer's driver offers this paper; a printer writing a PDF
// file takes any paper.
bool PrinterOffers(const QPrinter &printer, const QPageSize &size) {
    if (printer.outputFormat() == QPrinter::PdfFormat)
        return true;
    const QList<QPageSize> offered = QPrinterInfo(printer).supportedPageSizes();
    for (const QPageSize &candidate : offered) {
        if (candidate.isEquivalentTo(size))
            return true;
    }
    return false;
}

QPrinterInfo ChosenPrinter(int index) {
    const QList<QPrinterInfo> printers = QPrinterInfo::availablePrinters();
    if (index >= 0 && index < printers.size())
        return printers.at(index);
    QPrinterInfo chosen = QPrinterInfo::defaultPrinter();
    if (chosen.isNull() && !printers.isEmpty())
        chosen = printers.first();
    return chosen;
}

} // namespace

struct TQRPrinter::Impl {
    // The caller's device in place of the printer, if any.
    QPagedPaintDevice *outputDevice = nullptr;
    // The printer of a printer run, made when first needed.
    std::unique_ptr<QPrinter> printer;
    // The current page of a run whose pages go to the page store.
    std::unique_ptr<TQRPictureRecorder> pagePicture;
    QPainter painter;
    // The device the painter works on during a run.
    QPaintDevice *activeDevice = nullptr;
    // The spooled job of a printer that prints to its queue.
    std::unique_ptr<TQRPrintJob> job;

    QPrinter *ActivePrinter() const { return dynamic_cast<QPrinter *>(activeDevice); }
    // Starts the painter on a paged device: the job starts here.
    void Start(QPagedPaintDevice *device);
};

void TQRPrinter::Impl::Start(QPagedPaintDevice *device) {
    activeDevice = device;
    auto *queuePrinter = dynamic_cast<QPrinter *>(device);
    if (queuePrinter && queuePrinter->outputFormat() == QPrinter::NativeFormat &&
        queuePrinter->outputFileName().isEmpty()) {
        job = std::make_unique<TQRPrintJob>();
        if (!job->Spool(*queuePrinter))
            job.reset();
    }
    if (!painter.begin(device)) {
        if (job)
            job->Discard(*queuePrinter);
        job.reset();
        activeDevice = nullptr;
        throw EError(QStringLiteral("The print job could not be started"));
    }
}

TQRPrinter::TQRPrinter(QObject *parent) : QObject(parent), impl_(std::make_unique<Impl>()) {}

TQRPrinter::~TQRPrinter() {
    // A producer freed in the middle of a run must not leave a job behind
    // that would still print.
    if (status_ == mpBusy) {
        try {
            Abort();
        } catch (...) {
        }
    }
}

bool TQRPrinter::PrinterInstalled() {
    if (PrinterInstalledHook())
        return PrinterInstalledHook()();
    return !QPrinterInfo::availablePrinterNames().isEmpty();
}

void TQRPrinter::SetPrinterInstalledHook(std::function<bool()> hook) {
    PrinterInstalledHook() = std::move(hook);
}

void TQRPrinter::SetOutputDevice(QPagedPaintDevice *device) {
    if (status_ == mpBusy)
        throw EQRError(QStringLiteral("The output cannot change while a document is printed"));
    impl_->outputDevice = device;
}

void TQRPrinter::SetProgress(int value) {
    progress_ = value;
    // Queued even to a client on this thread: the client handles it in turn
    // when the event loop runs, never inside the producer's call.
    QMetaObject::invokeMethod(
        this, [this, value] { emit ProgressChanged(value); }, Qt::QueuedConnection);
}

QPagedPaintDevice *TQRPrinter::PagedDevice() const {
    if (impl_->outputDevice)
        return impl_->outputDevice;
    if (!impl_->printer) {
        impl_->printer = std::make_unique<QPrinter>(ChosenPrinter(settings_.printerIndex),
                                                    QPrinter::HighResolution);
        ApplySettings();
    }
    return impl_->printer.get();
}

QPaintDevice *TQRPrinter::Device() const {
    // Pages for the page store are drawn at the screen's resolution.
    if (destination_ == qrdMetafile)
        return nullptr;
    if (impl_->activeDevice)
        return impl_->activeDevice;
    return PagedDevice();
}

void TQRPrinter::ApplySettings() const {
    QPagedPaintDevice *device = impl_->outputDevice;
    if (!device)
        device = impl_->printer.get();
    if (!device)
        return;
    auto *printer = dynamic_cast<QPrinter *>(device);

    const QPageSize size = PageSizeOf(settings_);
    if (size.isValid() && (!printer || PrinterOffers(*printer, size)))
        device->setPageSize(size);
    device->setPageOrientation(settings_.orientation == poLandscape ? QPageLayout::Landscape
                                                                    : QPageLayout::Portrait);
    if (printer) {
        printer->setCopyCount(qMax(1, settings_.copies));
        if (settings_.outputBin == 0)
            printer->setPaperSource(QPrinter::OnlyOne);
        if (settings_.firstPage == 0 && settings_.lastPage == 0) {
            printer->setPrintRange(QPrinter::AllPages);
            printer->setFromTo(0, 0);
        } else {
            printer->setPrintRange(QPrinter::PageRange);
            printer->setFromTo(qMax(1, settings_.firstPage),
                               qMax(qMax(1, settings_.firstPage), settings_.lastPage));
        }
        printer->setDocName(title_);
    } else if (auto *writer = dynamic_cast<QPdfWriter *>(device)) {
        writer->setTitle(title_);
    }
}

void TQRPrinter::BeginDoc() {
    if (status_ != mpReady)
        throw EQRError(QStringLiteral("QRPrinter not ready"));
    if (destination_ == qrdPrinter) {
        // The printer takes the run's settings now; the job itself starts
        // with the first page.
        PagedDevice();
        ApplySettings();
    } else {
        pageList_ = std::make_unique<TQRPageList>();
        loadedFromFile_ = false;
    }
    pageCount_ = 0;
    status_ = mpBusy;
}

void TQRPrinter::NewPage() {
    if (status_ != mpBusy)
        throw EQRError(QStringLiteral("Illegal call to NewPage"));
    QPainter &painter = impl_->painter;
    if (destination_ == qrdMetafile) {
        if (StoreOpenPage())
            AnnouncePages();
        // The page picture has the paper's size at the screen scale, however
        // much of it the report draws on.
        impl_->pagePicture = std::make_unique<TQRPictureRecorder>(
            RoundEven(PaperWidth() * ScreenScale()), RoundEven(PaperLength() * ScreenScale()),
            ScreenDpi());
        impl_->activeDevice = impl_->pagePicture.get();
        if (!painter.begin(impl_->pagePicture.get()))
            throw EError(QStringLiteral("The report page could not be started"));
    } else if (!painter.isActive()) {
        impl_->Start(PagedDevice());
    } else {
        // Each page starts with the painter's initial state, as the first
        // one did.
        painter.restore();
        if (!static_cast<QPagedPaintDevice *>(impl_->activeDevice)->newPage()) {
            painter.save();
            throw EError(QStringLiteral("The printer could not start a new page"));
        }
    }
    painter.save();
    ++pageCount_;
}

bool TQRPrinter::StoreOpenPage() {
    QPainter &painter = impl_->painter;
    if (!painter.isActive() || !impl_->pagePicture)
        return false;
    painter.restore();
    painter.end();
    impl_->activeDevice = nullptr;
    std::unique_ptr<TQRPictureRecorder> page = std::move(impl_->pagePicture);
    pageList_->AddPage(page->Picture());
    return true;
}

void TQRPrinter::AnnouncePages() {
    const int available = AvailablePages();
    QMetaObject::invokeMethod(
        this, [this, available] { emit PageAvailable(available); }, Qt::QueuedConnection);
}

void TQRPrinter::EndDoc() {
    if (status_ != mpBusy)
        return;
    status_ = mpFinished;
    if (destination_ == qrdMetafile) {
        const bool stored = StoreOpenPage();
        pageList_->Finish();
        if (stored)
            AnnouncePages();
        return;
    }
    EndOutput();
}

void TQRPrinter::EndOutput() {
    QPainter &painter = impl_->painter;
    if (!painter.isActive()) {
        impl_->activeDevice = nullptr;
        return;
    }
    painter.restore();
    const bool ended = painter.end();
    QPrinter *printer = impl_->ActivePrinter();
    impl_->activeDevice = nullptr;
    std::unique_ptr<TQRPrintJob> job = std::move(impl_->job);
    if (job) {
        if (!ended) {
            job->Discard(*printer);
            throw EError(QStringLiteral("The print job could not be completed"));
        }
        job->Submit(*printer);
    } else if (!ended) {
        throw EError(QStringLiteral("The print job could not be completed"));
    }
}

void TQRPrinter::Abort() {
    if (status_ != mpBusy)
        return;
    status_ = mpFinished;
    if (destination_ == qrdMetafile) {
        StoreOpenPage();
        return;
    }
    AbortOutput();
}

void TQRPrinter::AbortOutput() {
    QPainter &painter = impl_->painter;
    QPrinter *printer = impl_->ActivePrinter();
    std::unique_ptr<TQRPrintJob> job = std::move(impl_->job);
    impl_->activeDevice = nullptr;
    if (!painter.isActive())
        return;
    // A spooled job is simply never handed to the queue. A printer that
    // cannot abort writes its document when the painter ends; a PDF file
    // written that way is removed, so an aborted run leaves no document.
    const bool aborted = !job && printer && printer->abort();
    painter.restore();
    painter.end();
    if (job)
        job->Discard(*printer);
    else if (printer && !aborted && printer->outputFormat() == QPrinter::PdfFormat &&
             !printer->outputFileName().isEmpty())
        QFile::remove(printer->outputFileName());
}

QPainter *TQRPrinter::Canvas() const {
    return impl_->painter.isActive() ? &impl_->painter : nullptr;
}

int TQRPrinter::DpiX() const {
    if (QPaintDevice *device = Device())
        return device->logicalDpiX();
    return ScreenDpi();
}

int TQRPrinter::DpiY() const {
    if (QPaintDevice *device = Device())
        return device->logicalDpiY();
    return ScreenDpi();
}

double TQRPrinter::ScreenScale() {
    return ScreenDpi() / 254.0;
}

int TQRPrinter::ScreenDpi() {
    if (QScreen *screen = QGuiApplication::primaryScreen())
        return qRound(screen->logicalDotsPerInchX());
    return 96;
}

QPoint TQRPrinter::OffsetPixels() const {
    if (destination_ == qrdMetafile)
        return QPoint();
    const QPagedPaintDevice *device = PagedDevice();
    // The painter's origin is the top-left corner of the layout's paint
    // rectangle: the printable area, or the whole paper in full-page mode.
    const QRect paint = device->pageLayout().paintRectPixels(qMax(1, device->logicalDpiX()));
    return paint.topLeft();
}

int TQRPrinter::OffsetX() const {
    const int dpi = DpiX();
    return dpi > 0 ? RoundEven(OffsetPixels().x() * 254.0 / dpi) : 0;
}

int TQRPrinter::OffsetY() const {
    const int dpi = DpiY();
    return dpi > 0 ? RoundEven(OffsetPixels().y() * 254.0 / dpi) : 0;
}

int TQRPrinter::XPos(double value) const {
    return RoundEven((value - OffsetX()) * DpiX() / 254.0);
}

int TQRPrinter::YPos(double value) const {
    return RoundEven((value - OffsetY()) * DpiY() / 254.0);
}

int TQRPrinter::RoundEven(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= double(INT_MAX))
        return INT_MAX;
    if (value <= double(INT_MIN))
        return INT_MIN;
    const double below = std::floor(value);
    const double fraction = value - below;
    if (fraction < 0.5)
        return int(below);
    if (fraction > 0.5)
        return int(below) + 1;
    return std::fmod(below, 2.0) == 0 ? int(below) : int(below) + 1;
}

int TQRPrinter::AvailablePages() const {
    return pageList_ ? pageList_->PageCount() : 0;
}

std::unique_ptr<TQRPagePicture> TQRPrinter::GetPage(int pageNumber) {
    return pageList_ ? pageList_->GetPage(pageNumber) : nullptr;
}

double TQRPrinter::PaperWidth() const {
    double width = settings_.paperWidth;
    double length = settings_.paperLength;
    if (settings_.paperSize >= 1 && settings_.paperSize <= PaperSizeCount) {
        width = PaperSizes[settings_.paperSize - 1].width * 10;
        length = PaperSizes[settings_.paperSize - 1].length * 10;
    }
    return settings_.orientation == poLandscape ? length : width;
}

double TQRPrinter::PaperLength() const {
    double width = settings_.paperWidth;
    double length = settings_.paperLength;
    if (settings_.paperSize >= 1 && settings_.paperSize <= PaperSizeCount) {
        width = PaperSizes[settings_.paperSize - 1].width * 10;
        length = PaperSizes[settings_.paperSize - 1].length * 10;
    }
    return settings_.orientation == poLandscape ? width : length;
}

void TQRPrinter::StorePages(const QString &fileName) {
    if (status_ != mpFinished || !pageList_)
        return;
    TQRStream &stream = pageList_->Stream();
    QMutexLocker locker(&stream.Lock());
    // Saving a loaded report over its own file would truncate the file the
    // pages are read from; it already holds exactly these pages.
    const QString source = stream.SourceFileName();
    if (!source.isEmpty() && QFileInfo::exists(fileName) &&
        QFileInfo(source).canonicalFilePath() == QFileInfo(fileName).canonicalFilePath())
        return;
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EError(QStringLiteral("Cannot create file %1").arg(fileName));
    const qint64 chunk = 10240;
    const qint64 size = stream.Size();
    for (qint64 offset = 0; offset < size; offset += chunk) {
        const QByteArray bytes = stream.Read(offset, chunk);
        if (bytes.isEmpty() || file.write(bytes) != bytes.size())
            throw EError(QStringLiteral("Cannot write file %1").arg(fileName));
    }
    if (!file.flush())
        throw EError(QStringLiteral("Cannot write file %1").arg(fileName));
}

void TQRPrinter::CleanUp() {
    if (status_ == mpBusy) {
        cancelled_ = true;
        if (destination_ == qrdMetafile) {
            if (impl_->painter.isActive()) {
                impl_->painter.restore();
                impl_->painter.end();
            }
            impl_->pagePicture.reset();
            impl_->activeDevice = nullptr;
        } else {
            AbortOutput();
        }
    }
    pageList_.reset();
    pageCount_ = 0;
    status_ = mpReady;
}

void TQRPrinter::RestorePages(const QString &fileName) {
    // The whole file is checked before anything changes.
    std::unique_ptr<TQRPageList> pages = TQRPageList::Open(fileName);
    std::unique_ptr<TQRPagePicture> firstPage =
        pages->PageCount() > 0 ? pages->GetPage(1) : nullptr;
    if (pages->PageCount() > 0 && !firstPage)
        throw EQRError(QStringLiteral("%1 is not a readable saved report").arg(fileName));
    CleanUp();
    pageList_ = std::move(pages);
    pageCount_ = pageList_->PageCount();
    if (firstPage) {
        // The page size in whole steps of 4 millimetres; the last matching
        // row of the table wins.
        const double scale = ScreenScale();
        const int a = int(firstPage->Width() / scale / 40);
        const int b = int(firstPage->Height() / scale / 40);
        for (int code = 1; code <= PaperSizeCount; ++code) {
            const int w = int(PaperSizes[code - 1].width / 4);
            const int l = int(PaperSizes[code - 1].length / 4);
            if (a == w && b == l) {
                settings_.paperSize = code;
                settings_.orientation = poPortrait;
            }
            if (b == w && a == l) {
                settings_.paperSize = code;
                settings_.orientation = poLandscape;
            }
        }
    }
    status_ = mpFinished;
    PrinterSetupHandler = nullptr;
    ExportHandler = nullptr;
    loadedFromFile_ = true;
}

void TQRPrinter::PrintStoredPages() {
    if (status_ != mpFinished || !pageList_)
        return;
    int first = settings_.firstPage;
    int last = settings_.lastPage;
    if (first == 0 && last == 0) {
        first = 1;
        last = pageCount_;
    }
    first = qMax(1, first);
    last = qMin(last, AvailablePages());
    // No page, no job.
    if (first > last)
        return;
    QPagedPaintDevice *device = PagedDevice();
    ApplySettings();
    cancelled_ = false;
    impl_->Start(device);
    QPainter &painter = impl_->painter;
    painter.save();
    bool cancelled = false;
    try {
        for (int page = first; page <= last; ++page) {
            QCoreApplication::processEvents();
            if (std::unique_ptr<TQRPagePicture> picture = GetPage(page))
                picture->Play(painter, QRectF(0, 0, device->width(), device->height()));
            if (cancelled_) {
                cancelled = true;
                break;
            }
            if (page < last && !device->newPage())
                throw EError(QStringLiteral("The printer could not start a new page"));
        }
    } catch (...) {
        AbortOutput();
        throw;
    }
    if (cancelled)
        AbortOutput();
    else
        EndOutput();
}
