#include "reports/TQRExportOutput.h"

#include "data/DatabaseErrors.h"

#include <QFile>

TQRExportOutput::TQRExportOutput() : encoder_(QStringConverter::System) {}

TQRExportOutput::~TQRExportOutput() = default;

void TQRExportOutput::Open(const QString &fileName) {
    Close();
    auto file = std::make_unique<QFile>(fileName);
    if (fileName.isEmpty() || !file->open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EError(QStringLiteral("Cannot create file %1").arg(fileName));
    encoder_.resetState();
    name_ = fileName;
    file_ = std::move(file);
    device_ = file_.get();
}

void TQRExportOutput::SetDevice(QIODevice *device, const QString &name) {
    encoder_.resetState();
    name_ = name;
    device_ = device;
}

void TQRExportOutput::Write(const QString &text) {
    if (!device_)
        throw EError(QStringLiteral("Cannot write file %1: the output is not open").arg(name_));
    const QByteArray bytes = encoder_.encode(text);
    if (device_->write(bytes) != bytes.size())
        throw EError(QStringLiteral("Cannot write file %1").arg(name_));
}

void TQRExportOutput::Close() {
    device_ = nullptr;
    std::unique_ptr<QIODevice> owned = std::move(file_);
    auto *file = qobject_cast<QFile *>(owned.get());
    if (!file)
        return;
    // The file is buffered: a full disk only shows when the buffer goes out.
    const bool flushed = file->flush();
    file->close();
    if (!flushed || file->error() != QFileDevice::NoError)
        throw EError(QStringLiteral("Cannot write file %1").arg(file->fileName()));
}
