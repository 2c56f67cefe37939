#pragma once

#include <QByteArray>
#include <QFile>
#include <QRecursiveMutex>
#include <QString>
#include <memory>

class QTemporaryFile;

// The byte stream behind a page store.
//
// A working stream keeps its bytes in memory until it grows beyond its
// memory limit; its contents then move to a new temporary file (name prefix
// "QRP" in the user's temporary folder), and every later read and write goes
// to that file. The temporary file is deleted with the stream.
//
// A stream opened on a saved file reads that file in place, read-only; it
// never writes to it and never deletes it.
//
// Every operation holds the stream's lock, so reads and writes from
// different callers never interleave.
class TQRStream {
public:
    // A working stream in memory, moving to a temporary file past
    // memoryLimit bytes.
    explicit TQRStream(qint64 memoryLimit = 100000);
    ~TQRStream();
    TQRStream(const TQRStream &) = delete;
    TQRStream &operator=(const TQRStream &) = delete;

    // A read-only stream on an existing file. Throws EError ("Cannot open
    // file ...") when it cannot be opened.
    static std::unique_ptr<TQRStream> OpenFile(const QString &fileName);

    // A read-only stream over bytes held in memory.
    static std::unique_ptr<TQRStream> FromBytes(const QByteArray &bytes);

    bool ReadOnly() const { return readOnly_; }
    qint64 Size() const;
    // Up to length bytes from offset; fewer at the end of the stream, none
    // for an offset outside it.
    QByteArray Read(qint64 offset, qint64 length) const;
    // Writes at offset (at most the current size), growing the stream as
    // needed. Throws EError on a read-only stream or a failing file.
    void Write(qint64 offset, const QByteArray &bytes);
    void Append(const QByteArray &bytes) { Write(Size(), bytes); }
    // The temporary file's name while the stream lives in one, else empty.
    QString TemporaryFileName() const;
    // The saved file a read-only stream reads, else empty.
    QString SourceFileName() const { return savedFile_ ? savedFile_->fileName() : QString(); }
    QRecursiveMutex &Lock() const { return lock_; }

private:
    // Moves the in-memory contents to a new temporary file.
    void SpillToFile();
    // The file behind the stream, if any.
    QFile *File() const;

    mutable QRecursiveMutex lock_;
    qint64 memoryLimit_ = 100000;
    bool readOnly_ = false;
    QByteArray memory_;
    std::unique_ptr<QTemporaryFile> temporary_;
    std::unique_ptr<QFile> savedFile_;
};
