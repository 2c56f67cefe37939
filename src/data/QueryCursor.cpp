#include "data/QueryCursor.h"

TQueryCursor::TQueryCursor(QString name)
    : TRecordCursor(std::move(name)),
      sql_([this] { CheckInactive(); }, [this] { AssignCommandText(); }) {}

void TQueryCursor::AssignCommandText() {
    parameters_.clear();
    const QString text = sql_.Text();
    commandText_ = text.trimmed().isEmpty() ? text : ParseParameters(text, &parameters_);
}

QString TQueryCursor::ParseParameters(const QString &text, QStringList *parameters) {
    auto isNameChar = [](QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); };
    QString result;
    result.reserve(text.size());
    QChar quote;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!quote.isNull()) {
            result += c;
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`')) {
            quote = c;
            result += c;
            continue;
        }
        if (c != QLatin1Char(':')) {
            result += c;
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == QLatin1Char(':')) {
            result += c;
            ++i;
            continue;
        }
        int end = i + 1;
        while (end < text.size() && isNameChar(text[end]))
            ++end;
        if (end == i + 1) {
            result += c;
            continue;
        }
        if (parameters)
            parameters->append(text.mid(i + 1, end - i - 1));
        result += QLatin1Char('?');
        i = end - 1;
    }
    return result;
}

TRowSourceRequest TQueryCursor::MakeRequest() const {
    if (commandText_.trimmed().isEmpty())
        RaiseError(QStringLiteral("CommandText does not return a result set"));
    TRowSourceRequest request;
    request.isTable = false;
    request.command = commandText_;
    request.location = CursorLocation();
    request.cursorType = CursorType();
    request.lockType = LockType();
    request.readOnce = readOnce_;
    return request;
}
