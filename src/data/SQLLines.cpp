#include "data/SQLLines.h"

#include <QRegularExpression>

TSQLLines::TSQLLines(TCheck beforeChange, TChanged afterChange)
    : beforeChange_(std::move(beforeChange)), afterChange_(std::move(afterChange)) {}

void TSQLLines::Change(const std::function<void()> &change) {
    if (beforeChange_)
        beforeChange_();
    change();
    if (afterChange_)
        afterChange_();
}

void TSQLLines::Clear() {
    Change([this] { lines_.clear(); });
}

void TSQLLines::Add(const QString &line) {
    Change([this, &line] { lines_.append(line); });
}

void TSQLLines::SetText(const QString &text) {
    Change([this, &text] {
        lines_ = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
        if (!lines_.isEmpty() && lines_.last().isEmpty())
            lines_.removeLast();
    });
}

QString TSQLLines::Text() const {
    QString text;
    for (const QString &line : lines_)
        text += line + QStringLiteral("\r\n");
    return text;
}
