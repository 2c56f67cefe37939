#include "sqlite/SqliteKeyFile.h"

#include "data/DatabaseErrors.h"

#include <QDir>
#include <QTemporaryFile>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

// Reads or writes `bytes` at `offset` of the open file with one positioned
// call of the system, without the file object's buffer: a jump across the
// list then costs one system call and no copy beyond the read itself.
bool Transfer(QTemporaryFile &file, char *data, qint64 bytes, qint64 offset, bool write) {
    const int fd = file.handle();
    while (bytes > 0) {
        const ssize_t done = write ? ::pwrite(fd, data, size_t(bytes), off_t(offset))
                                   : ::pread(fd, data, size_t(bytes), off_t(offset));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        data += done;
        bytes -= done;
        offset += done;
    }
    return true;
}

QString SystemError() {
    return errno ? QString::fromLocal8Bit(std::strerror(errno)) : QStringLiteral("end of file");
}

} // namespace

SqliteKeyFile::SqliteKeyFile() {
    tail_.reserve(std::size_t(kBlock));
}

SqliteKeyFile::~SqliteKeyFile() = default;

void SqliteKeyFile::Append(qint64 key) {
    tail_.push_back(key);
    if (qint64(tail_.size()) < kBlock)
        return;
    if (!file_) {
        file_ = std::make_unique<QTemporaryFile>(QDir::tempPath() +
                                                 QStringLiteral("/corvana-keys-XXXXXX"));
        if (!file_->open())
            throw EProviderError(QStringLiteral("The list's temporary file cannot be made: %1.")
                                     .arg(file_->errorString()));
    }
    const qint64 bytes = kBlock * qint64(sizeof(qint64));
    errno = 0;
    if (!Transfer(*file_, reinterpret_cast<char *>(tail_.data()), bytes, flushedBlocks_ * bytes,
                  true))
        throw EProviderError(
            QStringLiteral("The list's temporary file cannot be written: %1.").arg(SystemError()));
    ++flushedBlocks_;
    tail_.clear();
}

qint64 SqliteKeyFile::At(qint64 index) {
    if (index >= flushedBlocks_ * kBlock)
        return tail_[std::size_t(index - flushedBlocks_ * kBlock)];
    // Read back in pieces of one page: a jump across the list costs one
    // small read, a scan one read per 512 rows.
    const qint64 piece = index / kReadBlock;
    if (piece != blockIndex_) {
        const qint64 bytes = kReadBlock * qint64(sizeof(qint64));
        block_.resize(std::size_t(kReadBlock));
        blockIndex_ = -1;
        errno = 0;
        if (!Transfer(*file_, reinterpret_cast<char *>(block_.data()), bytes, piece * bytes, false))
            throw EProviderError(
                QStringLiteral("The list's temporary file cannot be read: %1.").arg(SystemError()));
        blockIndex_ = piece;
    }
    return block_[std::size_t(index % kReadBlock)];
}
