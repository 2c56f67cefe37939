#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

class QPrinter;

// A print job that reaches the system's print queue only once its document
// is complete. The platform's printing hands a job to the queue when the
// painter ends and cannot take back a job it has begun, so an aborted
// document would still print. Here the printer writes the job into a spool
// file of its own; Submit hands that file to the printer's queue, Discard
// deletes it and nothing prints.
class TQRPrintJob {
public:
    using Options = QList<QPair<QByteArray, QByteArray>>;

    TQRPrintJob() = default;
    TQRPrintJob(const TQRPrintJob &) = delete;
    TQRPrintJob &operator=(const TQRPrintJob &) = delete;
    // Discards a job neither submitted nor discarded.
    ~TQRPrintJob();

    // True when this system's print queue takes spooled jobs.
    static bool Available();
    // Points the printer, not yet printing, at a new spool file. False when
    // no spool file could be made; the printer then prints directly.
    bool Spool(QPrinter &printer);
    // The printer has ended its painter: hands the spool file to its queue
    // with QueueOptions and deletes the file. Throws EError, after deleting
    // the file, when the queue refuses the job.
    void Submit(QPrinter &printer);
    // Deletes the spool file and points the printer back at its queue.
    void Discard(QPrinter &printer);
    const QString &SpoolFile() const { return spoolFile_; }

    // What the queue needs to print the file as the printer was set up: the
    // paper, the copies and their collation, landscape, and a page range.
    // Two-sided printing is left as the printer's own settings have it.
    static Options QueueOptions(const QPrinter &printer);

private:
    void RemoveSpoolFile();

    QString spoolFile_;
};
