#include "reports/TQRHTMLDocumentFilter.h"

TQRHTMLDocumentFilter::TQRHTMLDocumentFilter(QString fileName)
    : TQRAbstractExportFilter(std::move(fileName)) {}

TQRHTMLDocumentFilter::~TQRHTMLDocumentFilter() {
    // The base must not keep pointing at the buffer that goes first.
    SetOutputDevice(nullptr);
}

std::unique_ptr<TQRExportFilter> TQRHTMLDocumentFilter::Create(const QString &fileName) {
    return std::make_unique<TQRHTMLDocumentFilter>(fileName);
}

QString TQRHTMLDocumentFilter::DescriptionText() const {
    return QStringLiteral("HTML document for web publishing");
}

QString TQRHTMLDocumentFilter::FileExtension() const {
    return QStringLiteral("HTM");
}

QString TQRHTMLDocumentFilter::FormatName() const {
    return QStringLiteral("HTML document");
}

QString TQRHTMLDocumentFilter::MakerText() const {
    return QStringLiteral("Brennart");
}

void TQRHTMLDocumentFilter::OpenOutput(const QString &fileName) {
    if (!fileName.isEmpty()) {
        TQRAbstractExportFilter::OpenOutput(fileName);
        return;
    }
    CloseOutput();
    buffer_.close();
    buffer_.setData(QByteArray());
    buffer_.open(QIODevice::WriteOnly);
    SetOutputDevice(&buffer_);
}

void TQRHTMLDocumentFilter::WritePage() {
    const TQRExportFont &report = ReportFont();
    QString page = QStringLiteral("<TABLE WIDTH=100% CELLPADDING=2 BORDER=0>");
    for (int line = 1; line <= LineCount(); ++line) {
        page += QStringLiteral("<TR>");
        for (int column = 1; column <= ColumnCount(); ++column) {
            const TTextEntry *entry = CellEntry(line, column);
            QString cell;
            if (entry && !entry->text.isEmpty()) {
                // Data may hold markup characters; they are shown, never
                // taken as markup.
                cell = entry->text.toHtmlEscaped();
                QString attributes;
                if ((entry->font.color.rgb() & 0xFFFFFF) != (report.color.rgb() & 0xFFFFFF))
                    attributes += QStringLiteral("COLOR=\"#") + ColorDigits(entry->font.color) +
                                  QLatin1Char('"');
                if (entry->font.font.pointSizeF() != report.font.pointSizeF()) {
                    const int relative = SizeClass(entry->font.font.pointSizeF()) -
                                         SizeClass(report.font.pointSizeF());
                    attributes += QStringLiteral(" SIZE=") +
                                  (relative >= 0 ? QStringLiteral("+") : QString()) +
                                  QString::number(relative);
                }
                if (!attributes.isEmpty())
                    cell = QStringLiteral("<FONT ") + attributes + QLatin1Char('>') + cell +
                           QStringLiteral("</FONT>");
            }
            page += QStringLiteral("<TD>") + cell + QStringLiteral("</TD>");
        }
        page += QStringLiteral("</TR>\r\n");
    }
    page += QStringLiteral("</TABLE>");
    Write(page);
}

int TQRHTMLDocumentFilter::SizeClass(double points) {
    if (points <= 8)
        return 0;
    if (points <= 10)
        return 1;
    if (points <= 12)
        return 2;
    if (points <= 14)
        return 3;
    if (points <= 18)
        return 4;
    if (points <= 24)
        return 5;
    return 7;
}

QString TQRHTMLDocumentFilter::ColorDigits(const QColor &color) {
    // The colour as one number with red lowest, written as at least six
    // upper-case hex digits; its pairs read from the right give red, green,
    // blue.
    const quint32 value =
        quint32(color.red()) | (quint32(color.green()) << 8) | (quint32(color.blue()) << 16);
    const QString digits = QString::number(value, 16).toUpper().rightJustified(6, QLatin1Char('0'));
    return digits.mid(4, 2) + digits.mid(2, 2) + digits.mid(0, 2);
}
