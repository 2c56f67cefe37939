#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// The lines of a query's command text. The owner is asked before every change
// (it refuses while the query is open) and told after it, so that the command
// text is assigned anew each time.
class TSQLLines {
public:
    using TCheck = std::function<void()>;
    using TChanged = std::function<void()>;
    TSQLLines(TCheck beforeChange, TChanged afterChange);

    void Clear();
    void Add(const QString &line);
    // Replaces the lines by the lines of a text (split at line breaks).
    void SetText(const QString &text);
    int Count() const { return int(lines_.size()); }
    const QString &operator[](int index) const { return lines_.at(index); }
    const QStringList &Lines() const { return lines_; }
    // The lines in order, each followed by a carriage return and line feed.
    QString Text() const;

private:
    void Change(const std::function<void()> &change);

    QStringList lines_;
    TCheck beforeChange_;
    TChanged afterChange_;
};
