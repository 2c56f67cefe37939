#pragma once

#include <QIODevice>
#include <QString>
#include <QStringEncoder>
#include <memory>

// Where an export format's text goes: a file it creates, or a device the
// format supplies (an in-memory buffer). Text is written in the system's
// 8-bit encoding. Failures raise EError: "Cannot create file <name>" when
// the file cannot be made, "Cannot write file <name>" when a write, the last
// flush or the close fails.
class TQRExportOutput {
public:
    TQRExportOutput();
    ~TQRExportOutput();
    TQRExportOutput(const TQRExportOutput &) = delete;
    TQRExportOutput &operator=(const TQRExportOutput &) = delete;

    // Closes what was open, then creates or truncates the file.
    void Open(const QString &fileName);
    // Writes to the device instead (it stays the caller's); null detaches.
    void SetDevice(QIODevice *device, const QString &name = QString());
    bool IsOpen() const { return device_ != nullptr; }
    void Write(const QString &text);
    // Detaches first, so after a failure nothing is held; a file is flushed
    // and closed, a device only detached.
    void Close();

private:
    QIODevice *device_ = nullptr;
    std::unique_ptr<QIODevice> file_;
    QString name_;
    QStringEncoder encoder_;
};
