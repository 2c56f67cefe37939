#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class QPagedPaintDevice;
class QPaintDevice;
class QPainter;
class TQRPagePicture;
class QPrinter;
class TQRExportFilter;
class TQRPageList;
class TQRReport;

// Where a producer's pages go.
enum TQRDestination { qrdPrinter, qrdMetafile };
// Ready at creation; BeginDoc makes it busy; EndDoc and Abort finished.
enum TQRPrinterStatus { mpReady, mpBusy, mpFinished };
enum TQROrientation { poPortrait, poLandscape };

// The settings a run passes to its producer.
struct TQRPrinterSettings {
    int printerIndex = -1; // -1: the system's default printer
    int copies = 1;
    bool duplex = false;
    int firstPage = 0; // 0 and 0: all pages
    int lastPage = 0;
    int outputBin = 0; // 0: the first paper source
    int paperSize = 9; // paper size code; 9 is A4
    TQROrientation orientation = poPortrait;
    double paperWidth = 2100; // tenths of a millimetre, portrait
    double paperLength = 2970;
};

// Raised for calls out of sequence ("QRPrinter not ready", "Illegal call to
// NewPage").
class EQRError : public std::exception {
public:
    explicit EQRError(QString message);
    const QString &Message() const { return message_; }
    const char *what() const noexcept override { return utf8_.constData(); }

private:
    QString message_;
    QByteArray utf8_;
};

// The page producer of one report run: it starts a document on its output,
// gives the report a painter for each page and maps report positions (tenths
// of a millimetre from the paper's top-left corner) to the output's device
// coordinates, taking the output's unprintable offsets into account.
//
// Printer output: the system's default printer (a print job named after
// Title, started at the first page and ended by EndDoc, or aborted by Abort);
// a test or the PDF check may put any paged paint device in its place. No
// page, no job. A job for a print queue is spooled and handed to the queue
// only by EndDoc (TQRPrintJob), so an aborted job never prints. The offsets
// are where the device's painter origin lies on the paper: the printable
// area's corner, or none in full-page mode.
//
// The client (a window) receives progress announcements, queued, never
// synchronously: it gets a TQRPrinter::ProgressChanged signal delivered
// through the event loop.
class TQRPrinter : public QObject {
    Q_OBJECT
public:
    explicit TQRPrinter(QObject *parent = nullptr);
    ~TQRPrinter() override;

    // True when the system has a printer to print on; tests may override.
    static bool PrinterInstalled();
    static void SetPrinterInstalledHook(std::function<bool()> hook);

    TQRDestination Destination() const { return destination_; }
    void SetDestination(TQRDestination destination) { destination_ = destination; }
    // Prints on this device instead of the default printer (it stays the
    // caller's, and must outlive the run); null goes back to the default
    // printer. Throws EQRError during a run.
    void SetOutputDevice(QPagedPaintDevice *device);

    const TQRPrinterSettings &PrinterSettings() const { return settings_; }
    void SetPrinterSettings(const TQRPrinterSettings &settings) { settings_ = settings; }
    const QString &Title() const { return title_; }
    void SetTitle(const QString &title) { title_ = title; }

    TQRPrinterStatus Status() const { return status_; }
    int PageCount() const { return pageCount_; }
    bool Cancelled() const { return cancelled_; }
    void SetCancelled(bool value) { cancelled_ = value; }
    int Progress() const { return progress_; }
    // Records the value and announces it to the client, queued.
    void SetProgress(int value);
    QObject *Client() const { return client_; }
    void SetClient(QObject *client) { client_ = client; }

    void BeginDoc();
    void NewPage();
    void EndDoc();
    void Abort();

    // The painter of the page being produced (null before the first page).
    QPainter *Canvas() const;
    // The output's resolution in dots per inch, and its unprintable offsets
    // in tenths of a millimetre (rounded).
    int DpiX() const;
    int DpiY() const;
    int OffsetX() const;
    int OffsetY() const;
    // A report position in tenths of a millimetre as a device coordinate:
    // round((value - offset) * dpi / 254), halves to even.
    int XPos(double value) const;
    int YPos(double value) const;
    // Rounds to the nearest integer, halves to the even neighbour.
    static int RoundEven(double value);

    // The page store (qrdMetafile runs, or pages loaded from a saved file).
    // A new copy of a stored page's picture; null when the page number is
    // out of range or the page is not stored.
    std::unique_ptr<TQRPagePicture> GetPage(int pageNumber);
    int AvailablePages() const;
    bool LoadedFromFile() const { return loadedFromFile_; }
    // Screen pixels per tenth of a millimetre: the primary screen's logical
    // dpi / 254, or 96 / 254 without a screen.
    static double ScreenScale();
    // The paper's extent in tenths of a millimetre, from the settings,
    // swapped in landscape.
    double PaperWidth() const;
    double PaperLength() const;
    bool ShowingPreview() const { return showingPreview_; }
    void SetShowingPreview(bool value) { showingPreview_ = value; }
    TQRReport *Master() const { return master_; }
    void SetMaster(TQRReport *master) { master_ = master; }
    // Commands of the preview window; RestorePages clears both.
    std::function<void()> PrinterSetupHandler;
    // The export handler runs an export into the given format.
    std::function<void(TQRExportFilter &)> ExportHandler;
    // Saves the stored pages of a finished run to a file (created or
    // truncated); does nothing before the run is finished. Throws EError
    // when the file cannot be written.
    void StorePages(const QString &fileName);
    // Loads a saved report file in place of the current pages. The whole
    // file is checked first; a damaged, foreign or compressed file raises
    // EQRError and leaves the producer as it was. On success the status is
    // finished, LoadedFromFile is true, the handlers are cleared and the
    // paper size and orientation follow the first page's picture size.
    void RestorePages(const QString &fileName);
    // Prints the stored pages of a finished run on the printer (or the
    // output device), each stretched over the printable page: the pages
    // firstPage to lastPage of the settings, all of them for 0 and 0.
    void PrintStoredPages();

signals:
    void ProgressChanged(int value);
    // Announced queued to the client, like ProgressChanged.
    void PageAvailable(int availablePages);

private:
    // implementation details are the producer's own
    struct Impl;
    // The device pages go to in place of the printer: the caller's, or the
    // printer itself, made and set up when first needed.
    QPagedPaintDevice *PagedDevice() const;
    // The device the coordinate mapping works with; null for the page store.
    QPaintDevice *Device() const;
    // Passes the printer settings and the title to the paged device.
    void ApplySettings() const;
    // Where the painter's origin lies on the paper, in device pixels.
    QPoint OffsetPixels() const;
    static int ScreenDpi();
    // Ends the page being recorded for the page store and adds it there;
    // false when no page was open.
    bool StoreOpenPage();
    // Announces the available pages to the client, queued.
    void AnnouncePages();
    // Ends a busy run and drops its pages, before a saved file replaces them.
    void CleanUp();
    // Ends the printer's painter and hands the job to the queue, or
    // discards it when abort is true.
    void EndOutput();
    void AbortOutput();

    std::unique_ptr<Impl> impl_;
    TQRDestination destination_ = qrdPrinter;
    TQRPrinterSettings settings_;
    QString title_;
    TQRPrinterStatus status_ = mpReady;
    int pageCount_ = 0;
    bool cancelled_ = false;
    int progress_ = 0;
    QPointer<QObject> client_;
    std::unique_ptr<TQRPageList> pageList_;
    bool loadedFromFile_ = false;
    bool showingPreview_ = false;
    TQRReport *master_ = nullptr;
};
