#include "reports/TQRCommaSeparatedFilter.h"

namespace {

QChar separator = QLatin1Char(',');

} // namespace

std::unique_ptr<TQRExportFilter> TQRCommaSeparatedFilter::Create(const QString &fileName) {
    return std::make_unique<TQRCommaSeparatedFilter>(fileName);
}

QString TQRCommaSeparatedFilter::DescriptionText() const {
    return QStringLiteral("Comma separated text file");
}

QString TQRCommaSeparatedFilter::FileExtension() const {
    return QStringLiteral("CSV");
}

QString TQRCommaSeparatedFilter::FormatName() const {
    return QStringLiteral("Comma Separated");
}

QString TQRCommaSeparatedFilter::MakerText() const {
    return QStringLiteral("Brennart");
}

void TQRCommaSeparatedFilter::WritePage() {
    if (LineCount() == 0)
        return;
    const QString quote = QStringLiteral("\"");
    const QString doubled = QStringLiteral("\"\"");
    QString record;
    for (int line = 1; line <= LineCount(); ++line) {
        record.clear();
        for (int column = 1; column <= ColumnCount(); ++column) {
            // A quote inside a field is doubled so that readers do not take
            // it for the field's end.
            record += quote + QString(CellText(line, column)).replace(quote, doubled) + quote;
            record += column == ColumnCount() ? QStringLiteral("\r\n") : QString(separator);
        }
        Write(record);
    }
}

QChar TQRCommaSeparatedFilter::Separator() {
    return separator;
}

void TQRCommaSeparatedFilter::SetSeparator(QChar value) {
    separator = value;
}
