#include "reports/TQRPageList.h"

#include "data/DatabaseErrors.h"
#include "reports/TQRPagePicture.h"
#include "reports/TQRPrinter.h"
#include "reports/TQRStream.h"

#include <QDateTime>
#include <QMutexLocker>
#include <QtEndian>
#include <cstring>

namespace {

const quint16 FileMagic = 3;
const quint16 FileVersion = 305;
const int PageCountOffset = 8;
const int DateTimeOffset = 16;
const int CompressionOffset = 25;
// Page number and next offset before the picture, back link after it.
const int RecordFrame = 12;

qint32 Int32At(const QByteArray &bytes, qint64 offset) {
    return qFromLittleEndian<qint32>(bytes.constData() + offset);
}

QByteArray Int32Bytes(qint32 value) {
    QByteArray bytes(4, '\0');
    qToLittleEndian<qint32>(value, bytes.data());
    return bytes;
}

// Reads a 32-bit value at offset; false when the stream ends before it.
bool ReadInt32(const TQRStream &stream, qint64 offset, qint32 *value) {
    const QByteArray bytes = stream.Read(offset, 4);
    if (bytes.size() != 4)
        return false;
    *value = Int32At(bytes, 0);
    return true;
}

bool Fail(QString *error, const QString &reason) {
    if (error)
        *error = reason;
    return false;
}

// Days since 30 December 1899, local time, the fraction the time of day.
double CurrentDateTimeValue() {
    const QDateTime now = QDateTime::currentDateTime();
    return double(QDate(1899, 12, 30).daysTo(now.date())) +
           now.time().msecsSinceStartOfDay() / 86400000.0;
}

} // namespace

TQRPageList::TQRPageList(qint64 memoryLimit) : stream_(std::make_unique<TQRStream>(memoryLimit)) {}

TQRPageList::TQRPageList(std::unique_ptr<TQRStream> stream, int pageCount)
    : stream_(std::move(stream)), pageCount_(pageCount) {}

TQRPageList::~TQRPageList() = default;

std::unique_ptr<TQRPageList> TQRPageList::Open(const QString &fileName) {
    return OpenStream(TQRStream::OpenFile(fileName), fileName);
}

std::unique_ptr<TQRPageList> TQRPageList::OpenBytes(const QByteArray &bytes, const QString &name) {
    return OpenStream(TQRStream::FromBytes(bytes), name);
}

std::unique_ptr<TQRPageList> TQRPageList::OpenStream(std::unique_ptr<TQRStream> stream,
                                                     const QString &name) {
    QString reason;
    if (!Validate(*stream, &reason))
        throw EQRError(QStringLiteral("%1 is not a readable saved report: %2").arg(name, reason));
    qint32 count = 0;
    ReadInt32(*stream, PageCountOffset, &count);
    return std::unique_ptr<TQRPageList>(new TQRPageList(std::move(stream), count));
}

bool TQRPageList::ValidateBytes(const QByteArray &bytes, QString *error) {
    return Validate(*TQRStream::FromBytes(bytes), error);
}

bool TQRPageList::Validate(const TQRStream &stream, QString *error) {
    QMutexLocker locker(&stream.Lock());
    const qint64 size = stream.Size();
    if (size == 0)
        return Fail(error, QStringLiteral("the file is empty"));
    const QByteArray header = stream.Read(0, HeaderSize);
    if (header.size() < HeaderSize)
        return Fail(error, QStringLiteral("the file is shorter than its header"));
    if (qFromLittleEndian<quint16>(header.constData()) != FileMagic ||
        qFromLittleEndian<quint16>(header.constData() + 2) != FileVersion)
        return Fail(error, QStringLiteral("the file is not a saved report"));
    if (header.at(CompressionOffset) != 0)
        return Fail(error, QStringLiteral("compressed pages cannot be read"));
    const qint32 count = Int32At(header, PageCountOffset);
    if (count < 0)
        return Fail(error, QStringLiteral("the page count is negative"));

    qint64 offset = HeaderSize;
    for (qint32 page = 1; page <= count; ++page) {
        const QString where = QStringLiteral("page %1: ").arg(page);
        qint32 number = 0;
        qint32 next = 0;
        if (!ReadInt32(stream, offset, &number) || !ReadInt32(stream, offset + 4, &next))
            return Fail(error, where + QStringLiteral("the file ends inside the record"));
        if (number != page)
            return Fail(error, where + QStringLiteral("the record holds page %1").arg(number));
        // The next offset must lie past this record's fields (so the links
        // always move forward) and inside the file.
        if (qint64(next) < offset + RecordFrame + 1 || next > size)
            return Fail(error, where + QStringLiteral("the next-record offset is out of place"));
        qint32 back = 0;
        if (!ReadInt32(stream, next - 4, &back) || back != offset)
            return Fail(error, where + QStringLiteral("the back link does not match the record"));
        QString reason;
        if (!TQRPagePicture::Decode(stream, offset + 8, next - 4 - (offset + 8), nullptr, &reason))
            return Fail(error, where + reason);
        offset = next;
    }
    if (offset != size)
        return Fail(error, QStringLiteral("the page count does not match the records"));
    return true;
}

void TQRPageList::WriteHeader() {
    QByteArray header(HeaderSize, '\0');
    qToLittleEndian<quint16>(FileMagic, header.data());
    qToLittleEndian<quint16>(FileVersion, header.data() + 2);
    qToLittleEndian<qint32>(pageCount_, header.data() + PageCountOffset);
    const double now = CurrentDateTimeValue();
    quint64 bits = 0;
    std::memcpy(&bits, &now, sizeof bits);
    qToLittleEndian<quint64>(bits, header.data() + DateTimeOffset);
    header[CompressionOffset] = 0;
    stream_->Write(0, header);
}

void TQRPageList::AddPage(const TQRPagePicture &picture) {
    QMutexLocker locker(&stream_->Lock());
    ++pageCount_;
    try {
        if (pageCount_ == 1)
            WriteHeader();
        const qint64 start = stream_->Size();
        const QByteArray data = picture.Serialize();
        const qint64 next = start + RecordFrame + data.size();
        if (next > INT32_MAX)
            throw EError(QStringLiteral("The report is too large to store"));
        QByteArray record = Int32Bytes(pageCount_);
        record += Int32Bytes(qint32(next));
        record += data;
        record += Int32Bytes(qint32(start));
        stream_->Append(record);
    } catch (...) {
        --pageCount_;
        throw;
    }
}

void TQRPageList::Finish() {
    QMutexLocker locker(&stream_->Lock());
    WriteHeader();
}

qint64 TQRPageList::FindRecord(int pageNumber) {
    if (pageNumber == 1)
        return HeaderSize;
    const qint64 size = stream_->Size();
    if (pageNumber == pageCount_) {
        qint32 last = 0;
        return ReadInt32(*stream_, size - 4, &last) ? last : -1;
    }
    qint64 offset = currentOffset_ > 0 ? currentOffset_ : HeaderSize;
    int page = currentOffset_ > 0 ? currentPage_ : 1;
    // Each step moves one record; more steps than pages means the links
    // are broken.
    for (int steps = 0; steps <= pageCount_ && page != pageNumber; ++steps) {
        qint32 link = 0;
        if (page < pageNumber) {
            if (!ReadInt32(*stream_, offset + 4, &link))
                return -1;
        } else if (!ReadInt32(*stream_, offset - 4, &link)) {
            return -1;
        }
        qint32 number = 0;
        if (link < HeaderSize || link >= size || !ReadInt32(*stream_, link, &number))
            return -1;
        offset = link;
        page = number;
    }
    return page == pageNumber ? offset : -1;
}

std::unique_ptr<TQRPagePicture> TQRPageList::GetPage(int pageNumber) {
    QMutexLocker locker(&stream_->Lock());
    if (pageNumber < 1 || pageNumber > pageCount_)
        return nullptr;
    const qint64 offset = FindRecord(pageNumber);
    if (offset < 0)
        return nullptr;
    const QByteArray frame = stream_->Read(offset, 8);
    if (frame.size() != 8 || Int32At(frame, 0) != pageNumber)
        return nullptr;
    const qint64 next = Int32At(frame, 4);
    if (next < offset + RecordFrame + 1 || next > stream_->Size())
        return nullptr;
    // The file may have changed since it was checked: the picture is read
    // and checked again.
    auto picture = std::make_unique<TQRPagePicture>();
    if (!TQRPagePicture::Decode(*stream_, offset + 8, next - 4 - (offset + 8), picture.get()))
        return nullptr;
    currentOffset_ = offset;
    currentPage_ = pageNumber;
    return picture;
}
