#pragma once

#include "interchange/ImportedContact.h"

#include <QByteArray>
#include <QString>

class QIODevice;

// Writes contacts as vCard 3.0 cards in UTF-8, one card per Write, so that a
// whole address book never has to be held in memory.
//
// A card: VERSION, FN (the person, else the company; empty when neither is
// there, since every card must have one), N (only for a person: "family;
// given", or the whole person as the family name), ORG, the work ADR, the
// work, fax and cell TEL, EMAIL, URL, NOTE, then the program's own
// X-CORVANA-STATUS, X-CORVANA-CALLBACK and X-CORVANA-LASTCALL (local
// date-times to the second). Blank values are left out. Lines end in CR LF
// and are folded before 75 octets, never inside a character's UTF-8 bytes.
//
// Text values escape backslash, comma, semicolon and line breaks (CR LF, CR
// and LF alike become "\n"). URL and TEL values are no text: only their
// backslashes and line breaks are escaped, so a comma in a web address or a
// dial string stays as it is.
class VCardWriter {
public:
    // The program's own properties, read back by VCardContact.
    static const QString kStatusProperty;
    static const QString kCallbackProperty;
    static const QString kLastCallProperty;
    // The QDateTime format of their date-times, in local time.
    static const QString kDateTimeFormat;

    explicit VCardWriter(QIODevice &device);

    // Writes one card; false when the device took less than all of it, with
    // Error() saying why. The device is written as it is: opening, flushing
    // and closing it is the caller's.
    bool Write(const ImportedContact &contact);
    const QString &Error() const { return error_; }
    qint64 CardsWritten() const { return cards_; }

    // The bytes of one card, BEGIN to END, each line ended and folded.
    static QByteArray Card(const ImportedContact &contact);
    // Escapes a text value (see above).
    static QString EscapeText(const QString &text);
    // Escapes a URL or telephone number: backslashes and line breaks only.
    static QString EscapeValue(const QString &text);
    // Appends one content line to `out`, folded and ended with CR LF.
    static void AppendFolded(const QByteArray &line, QByteArray *out);

private:
    QIODevice &device_;
    QString error_;
    qint64 cards_ = 0;
};
