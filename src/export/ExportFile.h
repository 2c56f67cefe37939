#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringEncoder>
#include <QStringView>

// An export file being written: text is gathered by Write and goes to the
// file, in the system's 8-bit code page (the locale's encoding), at each
// Flush as one write. Nothing is buffered anywhere else, so what a Flush
// wrote is in the file even when the program fails afterwards.
//
// Failures raise EInOutError with the file name and the system's reason: a
// file that cannot be created (Create), written (Flush) or closed (Close).
// After a failed Flush the text it held is dropped.
class ExportFile {
public:
    ExportFile();
    // Closes the file; text written since the last Flush is dropped, so an
    // export that fails half-way leaves only whole flushed pieces behind.
    ~ExportFile();
    ExportFile(const ExportFile &) = delete;
    ExportFile &operator=(const ExportFile &) = delete;

    // Creates the file, replacing any file of that name.
    void Create(const QString &fileName);
    void Write(QStringView text) { pending_ += text; }
    // The text gathered since the last Flush, to append to in place.
    QString &Gathered() { return pending_; }
    // Characters written and not yet flushed.
    qsizetype Pending() const { return pending_.size(); }
    void Flush();
    // Flushes the first `characters` written since the last Flush and drops
    // the rest (a line left half-way by a failure).
    void FlushFirst(qsizetype characters);
    // Flush, then close.
    void Close();

    QString FileName() const { return file_.fileName(); }
    // Bytes written to the file so far.
    qint64 BytesWritten() const { return written_; }

private:
    [[noreturn]] void Fail(const char *what);

    QFile file_;
    QStringEncoder encoder_;
    QString pending_;
    QByteArray bytes_;
    qint64 written_ = 0;
};
