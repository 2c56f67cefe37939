#pragma once

#include <QString>
#include <QStringDecoder>
#include <QStringList>

class QIODevice;

// Reads the rows of a comma-separated file as address books and spreadsheets
// write them, front to back in bounded pieces:
// - the text encoding from the file: a UTF-8 or UTF-16 byte order mark,
//   UTF-16 without one (NUL bytes in every other place), UTF-8, else the
//   Windows code page (the fallback, which UsedFallback reports);
// - the delimiter from the first row: comma, semicolon or tab, whichever
//   separates most fields outside quotes (comma on a tie);
// - fields in double quotes may hold delimiters, doubled quotes and line
//   breaks; rows end with CR LF, LF or CR.
class CsvReader {
public:
    explicit CsvReader(QIODevice &device);

    // The next row; false at the end of the file or on a malformed row, with
    // Error() naming the line and the reason (empty at a plain end).
    bool Next(QStringList *row);
    const QString &Error() const { return error_; }
    // The line the row last read began on, from 1.
    int RowLine() const { return rowLine_; }

    QChar Delimiter() const { return delimiter_; }
    // "UTF-8", "UTF-16LE", "UTF-16BE" or "windows-1252".
    const QString &Encoding() const { return encoding_; }
    bool UsedFallback() const { return fallback_; }

private:
    void DetectEncoding(const QByteArray &sample);
    void DetectDelimiter();
    // Decodes more of the file into text_; false at its end.
    bool Fill();
    // True when text_ holds a character at at_, filling as needed.
    bool Have();

    QIODevice &device_;
    QStringDecoder decoder_;
    QString encoding_;
    bool fallback_ = false;
    QChar delimiter_ = QLatin1Char(',');
    QString text_;     // decoded text not parsed yet
    qsizetype at_ = 0; // where parsing goes on in text_
    bool ended_ = false;
    int line_ = 1;
    int rowLine_ = 0;
    QString error_;
};
