#include "reports/TQRReport.h"

#include "data/RecordCursor.h"
#include "reports/TQRExportFilter.h"
#include "reports/TQRProgressForm.h"
#include "reports/TQRStandardPreview.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>
#include <exception>

namespace {

TQRReport::TProducerSetup &DefaultProducerSetup() {
    static TQRReport::TProducerSetup setup;
    return setup;
}

int RoundEven(double value) {
    return TQRPrinter::RoundEven(value);
}

} // namespace

TQRReport::TQRReport(QObject *parent) : QObject(parent) {
    functions_.insert(QStringLiteral("PAGENUMBER"), QStringLiteral("0"));
    functions_.insert(QStringLiteral("COLUMNNUMBER"), QStringLiteral("0"));
    functions_.insert(QStringLiteral("REPORTTITLE"), QStringLiteral("''"));
}

TQRReport::~TQRReport() = default;

void TQRReport::SetDefaultProducerSetup(TProducerSetup setup) {
    DefaultProducerSetup() = std::move(setup);
}

TQRBand *TQRReport::AddBand(const QString &name, TQRBandType type) {
    bands_.push_back(std::make_unique<TQRBand>(name, type));
    return bands_.back().get();
}

TQRBand *TQRReport::BandOfType(TQRBandType type) const {
    for (const auto &band : bands_) {
        if (band->BandType() == type)
            return band.get();
    }
    return nullptr;
}

void TQRReport::ConfigureProducer(TQRPrinter &producer) const {
    if (ProducerSetup)
        ProducerSetup(producer);
    else if (DefaultProducerSetup())
        DefaultProducerSetup()(producer);
}

void TQRReport::Print() {
    if (busy_)
        return;
    auto producer = std::make_unique<TQRPrinter>();
    if (!TQRPrinter::PrinterInstalled())
        return;
    producer->SetDestination(qrdPrinter);
    ConfigureProducer(*producer);
    // Declared after the producer, so it goes first: the window never
    // outlives the producer it watches.
    std::unique_ptr<TQRProgressForm> progress;
    if (showProgress_) {
        progress = std::make_unique<TQRProgressForm>(producer.get());
        progress->show();
        producer->SetClient(progress.get());
    }
    Run(*producer);
}

std::function<int(QPrintDialog &)> TQRReport::PrintDialogExec = [](QPrintDialog &dialog) {
    return dialog.exec();
};

void TQRReport::Preview() {
    QCoreApplication::processEvents();
    if (busy_)
        return;
    auto producer = std::make_unique<TQRPrinter>();
    producer->SetDestination(qrdMetafile);
    producer->SetMaster(this);
    TQRPrinter *raw = producer.get();
    producer->PrinterSetupHandler = [this, raw] { PrinterSetup(*raw); };
    producer->ExportHandler = [this](TQRExportFilter &exportFilter) {
        ExportToFilter(exportFilter);
    };
    producer->SetTitle(reportTitle_);

    QPointer<TQRStandardPreview> window = new TQRStandardPreview(raw);
    window->Show();
    try {
        Run(*producer);
    } catch (...) {
        if (window)
            window->close();
        throw;
    }
    // A run cancelled by closing the window ends here. One cancelled by a
    // Load in the window leaves the loaded pages on show, and the wait goes
    // on until the window closes, so the producer is never freed under it.
    if (!window || !producer->ShowingPreview())
        return;
    window->RunEnded();
    if (!window || !producer->ShowingPreview())
        return;
    // The command that opened the preview ends with it, while the program's
    // other windows stay usable; quitting the application ends the wait too.
    QEventLoop loop;
    connect(window, &TQRStandardPreview::Closed, &loop, &QEventLoop::quit);
    connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
    loop.exec();
}

void TQRReport::ExportToFilter(TQRExportFilter &exportFilter) {
    if (busy_)
        throw EQRError(QStringLiteral("The report is still being produced"));
    // The run's own producer stores one blank page and is thrown away: an
    // export draws nothing, and the preview keeps its pages.
    auto producer = std::make_unique<TQRPrinter>();
    producer->SetDestination(qrdMetafile);
    std::unique_ptr<TQRProgressForm> progress;
    if (showProgress_) {
        progress = std::make_unique<TQRProgressForm>(producer.get());
        progress->show();
        producer->SetClient(progress.get());
    }
    struct Target {
        TQRExportFilter *&target;
        Target(TQRExportFilter *&t, TQRExportFilter &filter) : target(t) { target = &filter; }
        ~Target() { target = nullptr; }
    } target(exportFilter_, exportFilter);
    Run(*producer);
}

void TQRReport::PreviewClosed(TQRPrinter *producer) {
    if (busy_ && producer && producer_ == producer) {
        cancelled_ = true;
        producer->SetCancelled(true);
    }
}

void TQRReport::PrinterSetup(TQRPrinter &producer) {
    // Printers are known to the report by their place in the system's list.
    const QStringList printers = QPrinterInfo::availablePrinterNames();
    QPrinter printer;
    if (printerSettings_.printerIndex >= 0 && printerSettings_.printerIndex < printers.size())
        printer.setPrinterName(printers[printerSettings_.printerIndex]);
    printer.setCopyCount(printerSettings_.copies);
    printer.setPageOrientation(page_.Orientation() == poLandscape ? QPageLayout::Landscape
                                                                  : QPageLayout::Portrait);
    QPrintDialog dialog(&printer);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    const bool finished = producer.Status() == mpFinished;
    if (finished) {
        dialog.setMinMax(1, std::max(1, producer.PageCount()));
        dialog.setPrintRange(QAbstractPrintDialog::AllPages);
    } else {
        dialog.setMinMax(0, 9999);
    }
    if (PrintDialogExec(dialog) != QDialog::Accepted)
        return;
    const int chosen = printers.indexOf(printer.printerName());
    // The default printer stays "the default" unless another was chosen.
    if (printerSettings_.printerIndex >= 0 ||
        printer.printerName() != QPrinterInfo::defaultPrinterName())
        printerSettings_.printerIndex = chosen;
    printerSettings_.copies = printer.copyCount();
    page_.SetOrientation(printer.pageLayout().orientation() == QPageLayout::Landscape ? poLandscape
                                                                                      : poPortrait);
    if (dialog.printRange() == QAbstractPrintDialog::PageRange) {
        printerSettings_.firstPage = printer.fromPage();
        printerSettings_.lastPage = printer.toPage();
    } else {
        printerSettings_.firstPage = 0;
        printerSettings_.lastPage = 0;
    }
}

TQRPrinterSettings TQRReport::RunPrinterSettings() const {
    TQRPrinterSettings settings;
    settings.printerIndex = printerSettings_.printerIndex;
    settings.copies = printerSettings_.copies;
    settings.duplex = printerSettings_.duplex;
    settings.firstPage = printerSettings_.firstPage;
    settings.lastPage = printerSettings_.lastPage;
    settings.outputBin = printerSettings_.outputBin;
    settings.paperSize = page_.PaperSizeCode();
    settings.orientation = page_.Orientation();
    // The producer keeps the paper's extent as it stands in portrait.
    const bool landscape = page_.Orientation() == poLandscape;
    settings.paperWidth = landscape ? page_.Length() : page_.Width();
    settings.paperLength = landscape ? page_.Width() : page_.Length();
    return settings;
}

void TQRReport::Run(TQRPrinter &producer) {
    if (busy_)
        throw EQRError(QStringLiteral("The report is already being printed"));
    busy_ = true;
    cancelled_ = false;
    lastPage_ = false;
    startingPage_ = false;
    producer_ = &producer;
    QPointer<TQRPrinter> previous = qrPrinter_;
    qrPrinter_ = &producer;
    const auto finish = [this, &producer, previous](bool failed) {
        // Whatever happens while the document is closed, the report is
        // available again afterwards.
        struct Release {
            TQRReport *report;
            QPointer<TQRPrinter> previous;
            ~Release() {
                report->busy_ = false;
                report->producer_ = nullptr;
                report->qrPrinter_ = previous;
            }
        } release{this, previous};
        // The export format closes its output with what it got so far,
        // whatever ended the run; its first error is raised once the
        // document is closed too.
        std::exception_ptr exportError;
        if (exportFilter_ && exportFilter_->Active()) {
            try {
                if (!failed && !cancelled_)
                    exportFilter_->FinishPage();
            } catch (...) {
                exportError = std::current_exception();
            }
            try {
                exportFilter_->EndExport();
            } catch (...) {
                if (!exportError)
                    exportError = std::current_exception();
            }
        }
        if (cancelled_)
            producer.Abort();
        else
            producer.EndDoc();
        if (exportError)
            std::rethrow_exception(exportError);
    };

    try {
        producer.SetPrinterSettings(RunPrinterSettings());
        producer.SetTitle(reportTitle_);
        producer.BeginDoc();
        if (exportFilter_ && !exportFilter_->Active())
            exportFilter_->BeginExport(RoundEven(page_.Width()), RoundEven(page_.Length()),
                                       {font_, fontColor_});
        currentY_ = -1;
        pageCount_ = 0;
        detailNumber_ = 0;
        currentColumn_ = page_.Columns();
        footerSize_ = PageFooterSize();
        currentX_ = RoundEven(page_.LeftMargin());
        for (const auto &band : bands_) {
            for (const auto &element : band->Elements())
                element->Prepare();
        }
        functions_[QStringLiteral("REPORTTITLE")] =
            QLatin1Char('\'') + reportTitle_ + QLatin1Char('\'');
        WalkData();
        currentX_ = RoundEven(page_.LeftMargin());
        lastPage_ = true;
        if (!cancelled_)
            EndPage();
    } catch (...) {
        try {
            finish(true);
        } catch (...) {
            // The first error is the one to report.
        }
        throw;
    }
    finish(false);
}

bool TQRReport::RunCancelled() const {
    return cancelled_ || producer_->Cancelled();
}

void TQRReport::WalkData() {
    TRecordCursor *data = dataSet_;
    bool more = false;
    qint64 rowTotal = 0;
    if (data && data->Active()) {
        data->First();
        more = !data->Eof();
        rowTotal = data->RecordCount();
        if (rowTotal < 0)
            rowTotal = 1;
    }
    if (!more) {
        if (printIfEmpty_) {
            PrintBandsOfType(rbTitle);
            PrintBandsOfType(rbDetail);
            PrintBandsOfType(rbSummary);
        }
        return;
    }

    QCoreApplication::processEvents();
    if (RunCancelled())
        return;
    PrintBandsOfType(rbTitle);
    if (pageCount_ <= 1)
        PrintBandsOfType(rbColumnHeader);
    while (more) {
        QCoreApplication::processEvents();
        if (RunCancelled())
            return;
        ++detailNumber_;
        PrintBandsOfType(rbDetail);
        data->Next();
        more = !data->Eof();
        // An unknown row count counts as one row; the progress never claims
        // more than all of it.
        if (rowTotal != 0)
            producer_->SetProgress(int(std::min<qint64>(100, detailNumber_ * 100 / rowTotal)));
    }
    PrintBandsOfType(rbSummary);
}

double TQRReport::PageFooterSize() const {
    double size = 0;
    for (const auto &band : bands_) {
        if (band->BandType() == rbPageFooter && band->Enabled())
            size += band->Height();
    }
    return size;
}

void TQRReport::PrintBandsOfType(TQRBandType type) {
    for (const auto &band : bands_) {
        if (band->BandType() == type)
            PrintBand(band.get());
    }
}

void TQRReport::PrintBand(TQRBand *band) {
    if (!band || !band->Enabled())
        return;
    const int height = RoundEven(band->Height());
    bool startPage = pageCount_ == 0;
    if (!startPage && !startingPage_ && band->BandType() != rbPageFooter) {
        double freeSpace = 0;
        if (currentY_ != -1) {
            const TQRPrinterSettings &paper = producer_->PrinterSettings();
            const double extent =
                paper.orientation == poLandscape ? paper.paperWidth : paper.paperLength;
            freeSpace = RoundEven(extent - page_.BottomMargin() - footerSize_ - currentY_);
            if (exportFilter_ && exportFilter_->SuppressesPageBreaks())
                freeSpace = extent;
        }
        const double usable = page_.Length() - (page_.TopMargin() + page_.BottomMargin());
        startPage = height > freeSpace && height <= usable;
    }
    if (startPage)
        NewPage();
    band->Print(*producer_, currentX_, currentY_, zoom_, exportFilter_);
    currentY_ += height;
}

void TQRReport::NewPage() {
    EndPage();
    ++pageCount_;
    functions_[QStringLiteral("PAGENUMBER")] = QString::number(pageCount_);
    if (exportFilter_) {
        // Each page of an export is a page of the format; the producer,
        // which draws nothing, needs only the first.
        exportFilter_->FinishPage();
        exportFilter_->BeginPage();
        if (pageCount_ == 1)
            producer_->NewPage();
    } else {
        producer_->NewPage();
    }
    currentY_ = RoundEven(page_.TopMargin());

    struct Starting {
        bool &flag;
        explicit Starting(bool &f) : flag(f) { flag = true; }
        ~Starting() { flag = false; }
    } starting(startingPage_);
    if (pageCount_ > 1 || options_.firstPageHeader)
        PrintBandsOfType(rbPageHeader);
    columnTop_ = currentY_;
    if (pageCount_ == 1) {
        if (const TQRBand *title = BandOfType(rbTitle); title && title->Enabled())
            columnTop_ += title->Height();
    }
    currentColumn_ = 1;
    functions_[QStringLiteral("COLUMNNUMBER")] = QStringLiteral("1");
    // Page 1 gets its column header from the data walk.
    if (pageCount_ > 1)
        PrintBandsOfType(rbColumnHeader);
}

void TQRReport::EndPage() {
    if (pageCount_ <= 0)
        return;
    currentY_ = RoundEven(page_.Length() - page_.BottomMargin() - footerSize_);
    currentX_ = RoundEven(page_.LeftMargin());
    if (!lastPage_ || options_.lastPageFooter)
        PrintBandsOfType(rbPageFooter);
}
