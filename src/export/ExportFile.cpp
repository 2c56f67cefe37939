#include "export/ExportFile.h"

#include "export/EInOutError.h"

ExportFile::ExportFile() : encoder_(QStringConverter::System) {}

ExportFile::~ExportFile() {
    file_.close();
}

void ExportFile::Create(const QString &fileName) {
    file_.close();
    pending_.clear();
    written_ = 0;
    file_.setFileName(fileName);
    // Unbuffered: every Flush is one write to the system, nothing lingers in
    // a buffer of the file object.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        Fail("Cannot create file");
}

void ExportFile::Flush() {
    if (pending_.isEmpty())
        return;
    if (!file_.isOpen()) {
        pending_.clear();
        throw EInOutError(QStringLiteral("File not open"));
    }
    bytes_.resize(encoder_.requiredSpace(pending_.size()));
    char *end = encoder_.appendToBuffer(bytes_.data(), pending_);
    const qint64 size = end - bytes_.data();
    pending_.resize(0); // keeps its capacity for the next piece
    const qint64 done = file_.write(bytes_.constData(), size);
    if (done > 0)
        written_ += done;
    if (done != size)
        Fail("Cannot write file");
}

void ExportFile::FlushFirst(qsizetype characters) {
    pending_.truncate(characters);
    Flush();
}

void ExportFile::Close() {
    Flush();
    file_.close();
    if (file_.error() != QFileDevice::NoError)
        Fail("Cannot close file");
}

void ExportFile::Fail(const char *what) {
    const QString message =
        QStringLiteral("%1 %2: %3").arg(QLatin1String(what), file_.fileName(), file_.errorString());
    throw EInOutError(message);
}
