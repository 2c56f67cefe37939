#pragma once

#include <QString>
#include <memory>

class QByteArray;
class TQRPagePicture;
class TQRStream;

// The pages of a report run, kept as one byte stream laid out exactly as a
// saved report file:
//
//   header, 128 bytes, little-endian: 16-bit 3 at 0, 16-bit 305 at 2, 32-bit
//   page count at 8, the date-time the header was written at 16 (double,
//   days since 30 December 1899 local time), the compression flag byte at
//   25 (always 0 here); all other bytes reserved (written as zero, ignored
//   when read).
//   page records from offset 128, one after the other: 32-bit page number,
//   32-bit offset of the next record, the page picture (TQRPagePicture), and
//   32-bit offset of the record's own first byte.
//
// The header is written when the first page is added (page count 1) and
// again by Finish with the final count. Every operation holds the stream's
// lock.
class TQRPageList {
public:
    static constexpr int HeaderSize = 128;

    // An empty working store in memory (moving to a temporary file past
    // memoryLimit bytes).
    explicit TQRPageList(qint64 memoryLimit = 100000);
    ~TQRPageList();
    TQRPageList(const TQRPageList &) = delete;
    TQRPageList &operator=(const TQRPageList &) = delete;

    // A store reading a saved report file in place. The whole file is
    // checked first (Validate); a file that cannot be opened raises EError,
    // a damaged, foreign or compressed one EQRError with the reason.
    static std::unique_ptr<TQRPageList> Open(const QString &fileName);
    // The same for a saved report held in memory; `name` names it in the
    // message.
    static std::unique_ptr<TQRPageList> OpenBytes(const QByteArray &bytes, const QString &name);

    // Checks a whole saved report file: the header (3 and 305, a page count
    // of at least 0, compression flag 0) and every record in turn (page
    // numbers 1, 2, ..., next offsets inside the file and past the record's
    // fields, back links to the record's start, every field of every page
    // picture within its bounds), the last record ending exactly at the end
    // of the file. Returns true for a sound file; otherwise false with the
    // reason in *error (if given). Never reads outside the stream, and
    // reads a record in bounded pieces.
    static bool Validate(const TQRStream &stream, QString *error = nullptr);
    // The same for a file held in memory.
    static bool ValidateBytes(const QByteArray &bytes, QString *error = nullptr);

    int PageCount() const { return pageCount_; }
    // Appends a page record for the picture; writes the header first when
    // this is page 1. Throws EError when the stream cannot be written.
    void AddPage(const TQRPagePicture &picture);
    // A new copy of page n's picture, null when n is outside 1..PageCount
    // or the record cannot be read.
    std::unique_ptr<TQRPagePicture> GetPage(int pageNumber);
    // Rewrites the header with the final page count and the current time
    // (an empty run gets its header here).
    void Finish();
    TQRStream &Stream() { return *stream_; }

private:
    explicit TQRPageList(std::unique_ptr<TQRStream> stream, int pageCount);
    static std::unique_ptr<TQRPageList> OpenStream(std::unique_ptr<TQRStream> stream,
                                                   const QString &name);
    void WriteHeader();
    // The offset of page n's record, found by following the links from the
    // record last read; -1 when the links do not lead there.
    qint64 FindRecord(int pageNumber);

    std::unique_ptr<TQRStream> stream_;
    int pageCount_ = 0;
    // The record last read, where the next search starts.
    qint64 currentOffset_ = -1;
    int currentPage_ = 0;
};
