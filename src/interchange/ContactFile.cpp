#include "interchange/ContactFile.h"

#include "interchange/CsvReader.h"
#include "interchange/VCardContact.h"
#include "interchange/VCardReader.h"

#include <QDir>
#include <algorithm>

namespace {

// Whether the file's first text, after a byte order mark and blanks, opens a
// vCard. UTF-16 vCards are rare; they are read as rows and refused there.
bool LooksLikeVCard(QFile &file) {
    QByteArray head = file.peek(4096);
    if (head.startsWith("\xEF\xBB\xBF"))
        head.remove(0, 3);
    head = head.trimmed();
    return head.left(11).toUpper() == "BEGIN:VCARD";
}

QString Native(const QString &path) {
    return QDir::toNativeSeparators(path);
}

} // namespace

ContactFile::ContactFile(const QString &path) : path_(path), file_(path) {
    if (!file_.open(QIODevice::ReadOnly))
        throw EImportError(
            QStringLiteral("Cannot open %1: %2").arg(Native(path), file_.errorString()));
    kind_ = LooksLikeVCard(file_) ? VCardFile : CsvFile;
    Start();
    if (kind_ == CsvFile) {
        QStringList header;
        if (!rows_->Next(&header)) {
            if (!rows_->Error().isEmpty())
                throw EImportError(rows_->Error());
            throw EImportError(QStringLiteral("%1 holds no contacts.").arg(Native(path)));
        }
        headers_ = header;
        targets_ = CsvContactMapping::GuessAll(headers_);
        encoding_ = rows_->Encoding();
        usedFallback_ = rows_->UsedFallback();
        Rewind();
    } else {
        encoding_ = QStringLiteral("UTF-8");
    }
}

ContactFile::~ContactFile() = default;

void ContactFile::Start() {
    vcards_.reset();
    rows_.reset();
    if (!file_.seek(0))
        throw EImportError(
            QStringLiteral("Cannot read %1: %2").arg(Native(path_), file_.errorString()));
    if (kind_ == VCardFile)
        vcards_ = std::make_unique<VCardReader>(file_);
    else
        rows_ = std::make_unique<CsvReader>(file_);
}

void ContactFile::Rewind() {
    Start();
    if (kind_ == CsvFile) {
        QStringList header;
        rows_->Next(&header);
    }
}

QList<QStringList> ContactFile::FirstRows(int count) {
    QList<QStringList> result;
    if (kind_ != CsvFile)
        return result;
    Rewind();
    QStringList row;
    // A malformed row shows up when the file is read for the import.
    while (result.size() < count && rows_->Next(&row))
        result << row;
    Rewind();
    return result;
}

void ContactFile::SetTargets(const QList<CsvContactMapping::Target> &targets) {
    targets_ = targets;
}

bool ContactFile::Next(ImportedContact *contact) {
    if (kind_ == VCardFile) {
        VCard card;
        if (!vcards_->Next(&card)) {
            if (!vcards_->Error().isEmpty())
                throw EImportError(vcards_->Error());
            return false;
        }
        *contact = VCardContact::FromCard(card);
        contact->line = card.line;
        usedFallback_ = usedFallback_ || vcards_->UsedFallback();
        return true;
    }
    QStringList row;
    for (;;) {
        if (!rows_->Next(&row)) {
            if (!rows_->Error().isEmpty())
                throw EImportError(rows_->Error());
            return false;
        }
        // A blank line between rows is no contact.
        if (row.size() == 1 && row.front().trimmed().isEmpty())
            continue;
        *contact = CsvContactMapping::Apply(targets_, row, rows_->RowLine());
        return true;
    }
}

int ContactFile::Permille() const {
    const qint64 size = file_.size();
    if (size <= 0)
        return 1000;
    return int(std::clamp<qint64>(file_.pos() * 1000 / size, 0, 1000));
}
