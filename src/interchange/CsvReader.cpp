#include "interchange/CsvReader.h"

#include <QIODevice>

namespace {

constexpr qint64 kChunk = 64 * 1024;
// A row longer than this is no contact; refusing it keeps memory flat.
constexpr qsizetype kMaxRow = 16 * 1024 * 1024;

bool Utf8Decodes(const QByteArray &bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes); // decoding happens on conversion
    // A sample cut inside a character is no error of the file.
    return !utf8.hasError();
}

} // namespace

CsvReader::CsvReader(QIODevice &device) : device_(device) {
    const QByteArray sample = device_.peek(kChunk);
    DetectEncoding(sample);
    Have();
    DetectDelimiter();
}

void CsvReader::DetectEncoding(const QByteArray &sample) {
    if (sample.startsWith("\xEF\xBB\xBF")) {
        encoding_ = QStringLiteral("UTF-8");
        device_.read(3);
    } else if (sample.startsWith("\xFF\xFE")) {
        encoding_ = QStringLiteral("UTF-16LE");
        device_.read(2);
    } else if (sample.startsWith("\xFE\xFF")) {
        encoding_ = QStringLiteral("UTF-16BE");
        device_.read(2);
    } else {
        // UTF-16 text of Latin letters has a NUL in every other byte.
        int evenNul = 0, oddNul = 0;
        const qsizetype n = std::min<qsizetype>(sample.size(), 4096);
        for (qsizetype i = 0; i < n; ++i)
            if (sample[i] == '\0')
                ++((i % 2) ? oddNul : evenNul);
        if (oddNul > n / 4 && evenNul == 0)
            encoding_ = QStringLiteral("UTF-16LE");
        else if (evenNul > n / 4 && oddNul == 0)
            encoding_ = QStringLiteral("UTF-16BE");
        else if (Utf8Decodes(sample.size() < kChunk ? sample : sample.left(sample.size() - 4)))
            encoding_ = QStringLiteral("UTF-8");
        else {
            encoding_ = QStringLiteral("windows-1252");
            fallback_ = true;
        }
    }
    if (encoding_ == QLatin1String("UTF-8"))
        decoder_ = QStringDecoder(QStringDecoder::Utf8);
    else if (encoding_ == QLatin1String("UTF-16LE"))
        decoder_ = QStringDecoder(QStringDecoder::Utf16LE);
    else if (encoding_ == QLatin1String("UTF-16BE"))
        decoder_ = QStringDecoder(QStringDecoder::Utf16BE);
    else {
        decoder_ = QStringDecoder("windows-1252");
        if (!decoder_.isValid())
            decoder_ = QStringDecoder(QStringDecoder::Latin1);
    }
}

bool CsvReader::Fill() {
    if (ended_)
        return false;
    const QByteArray bytes = device_.read(kChunk);
    if (bytes.isEmpty()) {
        ended_ = true;
        return false;
    }
    // Parsed text is dropped first, so the buffer holds about one chunk
    // and the row being read.
    text_.remove(0, at_);
    at_ = 0;
    text_ += decoder_.decode(bytes);
    return true;
}

bool CsvReader::Have() {
    // A chunk may decode to no character (half of one), so fill until there
    // is one.
    while (at_ >= text_.size())
        if (!Fill())
            return false;
    return true;
}

void CsvReader::DetectDelimiter() {
    int counts[3] = {0, 0, 0};
    const QChar candidates[3] = {QLatin1Char(','), QLatin1Char(';'), QLatin1Char('\t')};
    bool quoted = false;
    for (qsizetype i = at_; i < text_.size(); ++i) {
        const QChar c = text_[i];
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && (c == QLatin1Char('\n') || c == QLatin1Char('\r')))
            break;
        else if (!quoted)
            for (int k = 0; k < 3; ++k)
                if (c == candidates[k])
                    ++counts[k];
    }
    int best = 0;
    for (int k = 1; k < 3; ++k)
        if (counts[k] > counts[best])
            best = k;
    delimiter_ = candidates[best];
}

bool CsvReader::Next(QStringList *row) {
    error_.clear();
    row->clear();
    // Blank lines between rows are skipped.
    for (;;) {
        if (!Have())
            return false;
        const QChar c = text_[at_];
        if (c == QLatin1Char('\n')) {
            ++line_;
            ++at_;
        } else if (c == QLatin1Char('\r')) {
            ++at_;
            if (Have() && text_[at_] == QLatin1Char('\n'))
                ++at_;
            ++line_;
        } else {
            break;
        }
    }
    rowLine_ = line_;
    QString field;
    qsizetype rowSize = 0;
    bool quoted = false;    // inside a quoted field
    bool wasQuoted = false; // the field began with a quote
    for (;;) {
        if (!Have()) {
            if (quoted) {
                error_ = QStringLiteral("Line %1: the quoted field that begins there is not "
                                        "closed before the end of the file")
                             .arg(rowLine_);
                return false;
            }
            *row << field;
            return true;
        }
        const QChar c = text_[at_++];
        if (++rowSize > kMaxRow) {
            error_ = QStringLiteral("Line %1: the row is too long to be a contact").arg(rowLine_);
            return false;
        }
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (Have() && text_[at_] == QLatin1Char('"')) {
                    field += c; // a doubled quote stands for one
                    ++at_;
                } else {
                    quoted = false;
                }
            } else {
                if (c == QLatin1Char('\n'))
                    ++line_;
                field += c;
            }
        } else if (c == QLatin1Char('"') && field.isEmpty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == delimiter_) {
            *row << field;
            field.clear();
            wasQuoted = false;
        } else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (c == QLatin1Char('\r') && Have() && text_[at_] == QLatin1Char('\n'))
                ++at_;
            ++line_;
            *row << field;
            return true;
        } else {
            field += c;
        }
    }
}
