#include "export/ExportPieces.h"

#include <algorithm>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

bool NeedsQuotes(QStringView text) {
    for (QChar c : text)
        if (c == u',' || c == u'"' || c == u'\r' || c == u'\n')
            return true;
    return false;
}

void AppendQuoted(QStringView text, QString &out) {
    out += u'"';
    for (QChar c : text) {
        if (c == u'"')
            out += u'"';
        out += c;
    }
    out += u'"';
}

void AppendEscaped(QStringView text, QString &out) {
    for (QChar c : text) {
        switch (c.unicode()) {
        case u'&':
            out += QLatin1String("&amp;");
            break;
        case u'<':
            out += QLatin1String("&lt;");
            break;
        case u'>':
            out += QLatin1String("&gt;");
            break;
        case u'"':
            out += QLatin1String("&quot;");
            break;
        default:
            out += c;
        }
    }
}

} // namespace

QString ExportPieces::ExtensionOf(const QString &fileName) {
    // A dot in a folder name is no extension of the file.
    const qsizetype nameStart =
        std::max(fileName.lastIndexOf(QLatin1Char('/')), fileName.lastIndexOf(QLatin1Char('\\'))) +
        1;
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < nameStart)
        return QString();
    return fileName.mid(dot);
}

TExportMode ExportPieces::ModeOf(const QString &fileName) {
    return ExtensionOf(fileName) == QLatin1String(".html") ? TExportMode::Html : TExportMode::Text;
}

QString ExportPieces::Head() const {
    if (mode_ == TExportMode::Text)
        return QString();
    return QStringLiteral("<html> <head> <title>Corvana - Business Contacts Database</title></head>"
                          "\r\n<body>\r\n<table border=\"1\" width=\"100%\">\r\n");
}

QString ExportPieces::RowStart() const {
    return mode_ == TExportMode::Text ? QString() : QStringLiteral("<tr>\r\n");
}

void ExportPieces::AppendCell(QStringView text, QString &out) const {
    if (mode_ == TExportMode::Text) {
        if (NeedsQuotes(text))
            AppendQuoted(text, out);
        else
            out += text;
        out += u',';
        return;
    }
    out += QLatin1String("<td>");
    AppendEscaped(text, out);
    out += QLatin1String("</td>\r\n");
}

QString ExportPieces::Cell(QStringView text) const {
    QString out;
    AppendCell(text, out);
    return out;
}

QString ExportPieces::RowEnd() const {
    return mode_ == TExportMode::Text ? kCrLf : QStringLiteral("</tr>\r\n");
}

QString ExportPieces::Tail() const {
    if (mode_ == TExportMode::Text)
        return QString();
    return QStringLiteral("</table>\r\n</body></html>");
}
