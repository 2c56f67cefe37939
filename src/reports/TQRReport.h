#pragma once

#include "reports/TQRBand.h"
#include "reports/TQRPage.h"
#include "reports/TQRPrinter.h"

#include <QColor>
#include <QFont>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QPrintDialog;
class TQRExportFilter;
class TRecordCursor;

// The unit in which a designer sees the report's values; the stored values
// are always tenths of a millimetre.
enum TQRUnit { MM, Inches, Pixels, Characters, Native };

struct TQROptions {
    bool firstPageHeader = false; // the page header prints on page 1 too
    bool lastPageFooter = false;  // the page footer prints on the last page too
    bool compression = false;
};

// How a printer run prints: copies, duplex, the pages, the paper source and
// the printer (-1: the system's default printer).
struct TQRReportPrinterSettings {
    int copies = 1;
    bool duplex = false;
    int firstPage = 0; // 0 and 0: all pages
    int lastPage = 0;
    int outputBin = 0; // 0: the first paper source
    int printerIndex = -1;
};

// A banded report: a page, bands holding elements, and the cursor it walks.
// A run (Run) drives a page producer, which puts the pages on its output;
// positions are tenths of a millimetre from the paper's top-left corner and
// the producer maps them to its device.
//
// A run: the producer gets the print settings (page and PrinterSettings) and
// ReportTitle as its title and begins the document. Every element is
// prepared. If DataSet is open and holds a row, pending events run, then the
// title band prints and, while the page count is at most 1, the column
// header; then for each row, after letting pending events run and stopping
// if the producer's (or the report's) cancelled flag is set, the detail band
// prints, the cursor moves on and the progress (rows done * 100 / row count)
// goes to the producer; then the summary band. Without a row (or with
// DataSet closed) and PrintIfEmpty, the title, detail and summary bands
// print; with none of them, no page starts and no job is made. The last page
// then ends with its footer, unless the report's own cancelled flag was set.
// Finally, also after an error, the document is aborted if the report's own
// cancelled flag is set, else ended.
//
// Printing a band: a new page starts when there is none yet, or when the
// band (other than a page footer) does not fit above the bottom margin and
// the footers but would fit on an empty page. A new page ends the current
// one (its footer band at Length - BottomMargin - footer height), prints the
// page header (on page 1 only with FirstPageHeader) and, from page 2 on, the
// column header. The page footer is left off the last page unless
// LastPageFooter. Disabled bands never print.
//
// The report does not own its DataSet.
class TQRReport : public QObject {
    Q_OBJECT
public:
    using TProducerSetup = std::function<void(TQRPrinter &)>;

    explicit TQRReport(QObject *parent = nullptr);
    ~TQRReport() override;

    TQRPage &Page() { return page_; }
    const TQRPage &Page() const { return page_; }
    TRecordCursor *DataSet() const { return dataSet_; }
    void SetDataSet(TRecordCursor *dataSet) { dataSet_ = dataSet; }
    const TQROptions &Options() const { return options_; }
    void SetOptions(const TQROptions &options) { options_ = options; }
    bool PrintIfEmpty() const { return printIfEmpty_; }
    void SetPrintIfEmpty(bool value) { printIfEmpty_ = value; }
    const QString &ReportTitle() const { return reportTitle_; }
    void SetReportTitle(const QString &title) { reportTitle_ = title; }
    bool ShowProgress() const { return showProgress_; }
    void SetShowProgress(bool value) { showProgress_ = value; }
    const TQRReportPrinterSettings &PrinterSettings() const { return printerSettings_; }
    void SetPrinterSettings(const TQRReportPrinterSettings &settings) {
        printerSettings_ = settings;
    }
    const QFont &Font() const { return font_; }
    void SetFont(const QFont &font) { font_ = font; }
    // The colour of the report's font; export formats compare the elements'
    // text colours with it.
    const QColor &FontColor() const { return fontColor_; }
    void SetFontColor(const QColor &color) { fontColor_ = color; }
    TQRUnit Units() const { return units_; }
    void SetUnits(TQRUnit units) { units_ = units; }
    // Percent; the design view's scale, at which AutoSize elements measure.
    int Zoom() const { return zoom_; }
    void SetZoom(int zoom) { zoom_ = zoom; }
    // Report variables by name: PAGENUMBER, COLUMNNUMBER, REPORTTITLE.
    const QMap<QString, QString> &Functions() const { return functions_; }

    // Adds a band (owned by the report) and returns it.
    TQRBand *AddBand(const QString &name, TQRBandType type);
    const std::vector<std::unique_ptr<TQRBand>> &Bands() const { return bands_; }
    // The first band of a kind, or null.
    TQRBand *BandOfType(TQRBandType type) const;

    // True from the start of a run to its end.
    bool Busy() const { return busy_; }
    // The report's own cancelled flag: set, it stops the data walk and makes
    // the run abort its document (the page under way gets no footer). Every
    // run starts with it cleared.
    bool Cancelled() const { return cancelled_; }
    void SetCancelled(bool value) { cancelled_ = value; }
    // The producer of the run under way (or of an open preview), else null.
    TQRPrinter *QRPrinter() const { return qrPrinter_; }

    // Prints on the printer at once, without a dialog: nothing while a run is
    // under way, nothing (and nothing said) when no printer is installed.
    // Otherwise a fresh producer, its output the printer, runs the report;
    // with ShowProgress a non-modal progress window follows it meanwhile.
    // The producer and the window are freed at the end, also after an error,
    // which then propagates.
    void Print();

    // Opens the print preview: a fresh producer stores the pages, with this
    // report as its master and the report's printer setup handler; a
    // preview window (deleted on close, not modal) shows them while the run
    // goes on. Nothing while a run is under way. While the window is still
    // open after the run, events are handled until it is closed or the
    // application ends; the producer is freed on return.
    void Preview();
    // The preview of `producer` has been closed, or is loading a saved
    // report in place of its pages: a run still producing into it is
    // cancelled (the page under way gets no footer).
    void PreviewClosed(TQRPrinter *producer);
    // The printer setup handler of a preview: the print dialog with the
    // report's printer, copies and orientation and a page range (1 to the
    // page count once the run is finished, else 0 to 9999). On OK the report
    // keeps the printer, copies, orientation and pages (0 and 0 for all).
    void PrinterSetup(TQRPrinter &producer);
    // The export handler of a preview: produces the report again from its
    // data into the export format, on a fresh producer of its own that draws
    // nothing, with a progress window while ShowProgress is on. The format
    // is started at the run's start unless already active, gets every page's
    // lines, and is ended at the run's end (also after an error or a
    // cancel), which closes its output. While the format suppresses page
    // breaks, every band finds the whole paper length free. Raises EQRError
    // while a run is under way.
    void ExportToFilter(TQRExportFilter &exportFilter);
    // The export run's format, or null.
    TQRExportFilter *ExportFilter() const { return exportFilter_; }

    // Runs the print dialog; tests replace it. Returns QDialog::Accepted or
    // QDialog::Rejected.
    static std::function<int(QPrintDialog &)> PrintDialogExec;

    // Runs the report into a producer that has not begun a document yet.
    // Errors of the producer or the data propagate after the document was
    // ended (or aborted).
    void Run(TQRPrinter &producer);

    // Configures each fresh producer Print makes, before it runs: a test or
    // the PDF check sets the output device here. The report's own setup
    // comes first, else the default one shared by every report.
    TProducerSetup ProducerSetup;
    static void SetDefaultProducerSetup(TProducerSetup setup);

private:
    void ConfigureProducer(TQRPrinter &producer) const;
    TQRPrinterSettings RunPrinterSettings() const;
    bool RunCancelled() const;
    void WalkData();
    void PrintBand(TQRBand *band);
    void PrintBandsOfType(TQRBandType type);
    void NewPage();
    void EndPage();
    double PageFooterSize() const;

    TQRPage page_;
    TRecordCursor *dataSet_ = nullptr;
    TQROptions options_;
    bool printIfEmpty_ = true;
    QString reportTitle_;
    bool showProgress_ = true;
    TQRReportPrinterSettings printerSettings_;
    QFont font_;
    QColor fontColor_ = Qt::black;
    TQRUnit units_ = MM;
    int zoom_ = 100;
    QMap<QString, QString> functions_;
    std::vector<std::unique_ptr<TQRBand>> bands_;

    bool busy_ = false;
    // True while a new page prints its header bands: they never start
    // another page, however little room they find.
    bool startingPage_ = false;
    bool cancelled_ = false;
    QPointer<TQRPrinter> qrPrinter_;
    TQRExportFilter *exportFilter_ = nullptr;

    // The state of a run.
    TQRPrinter *producer_ = nullptr;
    bool lastPage_ = false;
    double currentX_ = 0;
    double currentY_ = -1;
    double columnTop_ = 0;
    double footerSize_ = 0;
    int pageCount_ = 0;
    int currentColumn_ = 1;
    int detailNumber_ = 0;
};
