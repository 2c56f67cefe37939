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
class QPrinter;

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

signals:
    void ProgressChanged(int value);

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

    std::unique_ptr<Impl> impl_;
    TQRDestination destination_ = qrdPrinter;
    TQRPrinterSettings settings_;
    QString title_;
    TQRPrinterStatus status_ = mpReady;
    int pageCount_ = 0;
    bool cancelled_ = false;
    int progress_ = 0;
    QPointer<QObject> client_;
};
