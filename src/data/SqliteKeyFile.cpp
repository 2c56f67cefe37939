#include "data/SqliteKeyFile.h"

#include "data/DatabaseErrors.h"

#include <QDir>
#include <QTemporaryFile>

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
    if (!file_->seek(flushedBlocks_ * bytes) ||
        file_->write(reinterpret_cast<const char *>(tail_.data()), bytes) != bytes)
        throw EProviderError(QStringLiteral("The list's temporary file cannot be written: %1.")
                                 .arg(file_->errorString()));
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
        if (!file_->seek(piece * bytes) ||
            file_->read(reinterpret_cast<char *>(block_.data()), bytes) != bytes)
            throw EProviderError(QStringLiteral("The list's temporary file cannot be read: %1.")
                                     .arg(file_->errorString()));
        blockIndex_ = piece;
    }
    return block_[std::size_t(index % kReadBlock)];
}
