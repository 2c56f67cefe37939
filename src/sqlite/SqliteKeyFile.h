#pragma once

#include <QtGlobal>
#include <memory>
#include <vector>

class QTemporaryFile;

// The row ids of a long query result, in order, in a temporary file: 8 bytes
// a row, written in blocks of 8,192 and read back 512 at a time, so that
// neither memory nor the file grows with the rows' values. The file is made
// in the system's temporary folder at the first full block and removed with
// this object. Failures of the file raise EProviderError.
class SqliteKeyFile {
public:
    SqliteKeyFile();
    ~SqliteKeyFile();
    SqliteKeyFile(const SqliteKeyFile &) = delete;
    SqliteKeyFile &operator=(const SqliteKeyFile &) = delete;

    void Append(qint64 key);
    qint64 At(qint64 index);
    qint64 Count() const { return flushedBlocks_ * kBlock + qint64(tail_.size()); }

private:
    static constexpr qint64 kBlock = 8192;   // keys written at a time
    static constexpr qint64 kReadBlock = 64; // keys read back at a time
    std::unique_ptr<QTemporaryFile> file_;
    qint64 flushedBlocks_ = 0;
    std::vector<qint64> tail_;  // keys after the last full block
    std::vector<qint64> block_; // one piece read back
    qint64 blockIndex_ = -1;
};
