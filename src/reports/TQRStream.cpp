#include "reports/TQRStream.h"

#include "data/DatabaseErrors.h"

#include <QDir>
#include <QMutexLocker>
#include <QTemporaryFile>

TQRStream::TQRStream(qint64 memoryLimit) : memoryLimit_(memoryLimit) {}

TQRStream::~TQRStream() = default;

std::unique_ptr<TQRStream> TQRStream::OpenFile(const QString &fileName) {
    std::unique_ptr<TQRStream> stream(new TQRStream(0));
    stream->readOnly_ = true;
    stream->savedFile_ = std::make_unique<QFile>(fileName);
    if (!stream->savedFile_->open(QIODevice::ReadOnly))
        throw EError(QStringLiteral("Cannot open file %1").arg(fileName));
    return stream;
}

std::unique_ptr<TQRStream> TQRStream::FromBytes(const QByteArray &bytes) {
    std::unique_ptr<TQRStream> stream(new TQRStream(0));
    stream->readOnly_ = true;
    stream->memory_ = bytes;
    return stream;
}

QFile *TQRStream::File() const {
    if (savedFile_)
        return savedFile_.get();
    return temporary_.get();
}

qint64 TQRStream::Size() const {
    QMutexLocker locker(&lock_);
    if (QFile *file = File())
        return file->size();
    return memory_.size();
}

QByteArray TQRStream::Read(qint64 offset, qint64 length) const {
    QMutexLocker locker(&lock_);
    const qint64 size = Size();
    if (offset < 0 || length <= 0 || offset >= size)
        return QByteArray();
    length = qMin(length, size - offset);
    if (QFile *file = File()) {
        if (!file->seek(offset))
            return QByteArray();
        return file->read(length);
    }
    return memory_.mid(offset, length);
}

void TQRStream::Write(qint64 offset, const QByteArray &bytes) {
    QMutexLocker locker(&lock_);
    if (readOnly_)
        throw EError(QStringLiteral("The saved report file is read-only"));
    const qint64 size = Size();
    if (offset < 0 || offset > size)
        throw EError(QStringLiteral("Write outside the page stream"));
    if (!temporary_ && offset + bytes.size() > memoryLimit_)
        SpillToFile();
    if (temporary_) {
        if (!temporary_->seek(offset) || temporary_->write(bytes) != bytes.size())
            throw EError(QStringLiteral("Cannot write file %1").arg(temporary_->fileName()));
        return;
    }
    if (offset + bytes.size() > memory_.size())
        memory_.resize(offset + bytes.size());
    std::copy(bytes.constBegin(), bytes.constEnd(), memory_.begin() + offset);
}

void TQRStream::SpillToFile() {
    auto file =
        std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/QRPXXXXXX.tmp"));
    file->setAutoRemove(true);
    if (!file->open())
        throw EError(QStringLiteral("Cannot create file %1").arg(file->fileTemplate()));
    if (file->write(memory_) != memory_.size())
        throw EError(QStringLiteral("Cannot write file %1").arg(file->fileName()));
    temporary_ = std::move(file);
    memory_.clear();
    memory_.squeeze();
}

QString TQRStream::TemporaryFileName() const {
    QMutexLocker locker(&lock_);
    return temporary_ ? temporary_->fileName() : QString();
}
