#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>

class QIODevice;
class QStringDecoder;

// One property of a vCard: "group.NAME;PARAM=a,b;FLAG:value". Names and
// parameter names are upper-cased; the value is decoded (quoted-printable,
// the CHARSET of version 2.1 cards, else UTF-8) but keeps its backslash
// escapes, since only the property knows whether ';' and ',' separate
// components there.
struct VCardProperty {
    QString group; // empty when ungrouped
    QString name;
    // Parameters in order; a version 2.1 flag without a name ("TEL;WORK")
    // is a TYPE.
    QList<QPair<QString, QString>> params;
    QString value;
    int line = 0; // the line of the file the property starts on, from 1

    // The values of one parameter, split at commas, upper-cased.
    QStringList Param(const QString &name) const;
    bool HasType(const QString &type) const;
    // The value split into its ';' components, each unescaped.
    QStringList Components() const;
    // The value unescaped as one text (\n a line break, \, \; \\ themselves).
    QString Text() const;
};

struct VCard {
    QString version;
    int line = 0; // the line of its BEGIN
    QList<VCardProperty> properties;
    // The first property of that name, or null.
    const VCardProperty *First(const QString &name) const;
};

// Reads the cards of a vCard file (versions 2.1, 3.0 and 4.0) one after the
// other, as address books and phones write them: lines folded with a blank
// or tab, quoted-printable values continued with a trailing "=", lines ended
// by CR LF or LF, properties outside cards ignored.
class VCardReader {
public:
    explicit VCardReader(QIODevice &device);
    ~VCardReader();

    // The next card; false at the end of the file or on a malformed card,
    // with Error() saying which line and why (empty at a plain end).
    bool Next(VCard *card);
    const QString &Error() const { return error_; }
    // Lines read so far.
    int Line() const { return line_; }
    // True once a text was neither in its named character set nor UTF-8 and
    // was read in the Windows code page.
    bool UsedFallback() const { return usedFallback_; }

    // Splits at unescaped `separator`s and unescapes each piece.
    static QStringList Split(const QString &value, QChar separator);
    static QString Unescape(const QString &value);

private:
    // The next logical line (unfolded), without its line end; false at the
    // end of the file.
    bool LogicalLine(QByteArray *text, int *startLine);
    bool RawLine(QByteArray *text);
    bool Fail(int line, const QString &reason);
    // A decoder for a character set, kept for the file; null when unknown.
    QStringDecoder *Decoder(const QString &charset);
    QString DecodeText(const QByteArray &bytes, const QString &charset);

    QIODevice &device_;
    QString error_;
    int line_ = 0;
    QByteArray pending_; // the line read ahead to see whether it continues
    int pendingLine_ = 0;
    bool hasPending_ = false;
    bool usedFallback_ = false;
    std::map<QString, std::unique_ptr<QStringDecoder>> decoders_;
};
