#pragma once

#include "data/DatabaseErrors.h"
#include "interchange/CsvContactMapping.h"
#include "interchange/ImportedContact.h"

#include <QFile>
#include <QList>
#include <QStringList>
#include <memory>

class CsvReader;
class VCardReader;

// Raised for a file that cannot be read or is malformed; the message names
// the file's line and the reason.
class EImportError : public EError {
public:
    using EError::EError;
};

// The contacts of one file to import, vCard or comma-separated, read front
// to back as often as needed (once to count, once to store) without ever
// holding more than one contact.
//
// The kind is taken from the contents: a file whose first non-blank text is
// "BEGIN:VCARD" is read as vCards, anything else as comma-separated rows
// whose first row holds the headers. The headers' targets are guessed on
// opening (CsvContactMapping) and may be changed before reading.
class ContactFile {
public:
    enum Kind { VCardFile, CsvFile };

    // Opens the file; EImportError when it cannot be read.
    explicit ContactFile(const QString &path);
    ~ContactFile();
    ContactFile(const ContactFile &) = delete;
    ContactFile &operator=(const ContactFile &) = delete;

    const QString &Path() const { return path_; }
    Kind FileKind() const { return kind_; }

    // Comma-separated files: the header row, the first rows after it (up to
    // `count`, for the mapping dialog), and each column's target.
    const QStringList &Headers() const { return headers_; }
    QList<QStringList> FirstRows(int count);
    const QList<CsvContactMapping::Target> &Targets() const { return targets_; }
    void SetTargets(const QList<CsvContactMapping::Target> &targets);

    // True when the text was not valid in any encoding the file could be in
    // and was read as the Windows code page; the importer says so.
    bool UsedFallback() const { return usedFallback_; }
    QString Encoding() const { return encoding_; }

    // Goes back to the first contact.
    void Rewind();
    // The next contact; false at the end. EImportError for a malformed card
    // or row, naming its line.
    bool Next(ImportedContact *contact);
    // How far reading has come, from 0 to 1000.
    int Permille() const;

private:
    void Start();

    QString path_;
    QFile file_;
    Kind kind_ = CsvFile;
    std::unique_ptr<VCardReader> vcards_;
    std::unique_ptr<CsvReader> rows_;
    QStringList headers_;
    QList<CsvContactMapping::Target> targets_;
    bool usedFallback_ = false;
    QString encoding_;
};
