#pragma once

#include <QString>
#include <exception>
#include <string>

// Base of the program's exceptions: a message the error box shows.
class EError : public std::exception {
public:
    explicit EError(QString message)
        : message_(std::move(message)), utf8_(message_.toStdString()) {}
    const QString &Message() const { return message_; }
    const char *what() const noexcept override { return utf8_.c_str(); }

private:
    QString message_;
    std::string utf8_;
};

// Raised by the cursor layer; handed to OnEditError/OnPostError/OnDeleteError.
class EDatabaseError : public EError {
public:
    using EError::EError;
};

// Raised by a connection or row source with the engine's own description.
class EProviderError : public EError {
public:
    using EError::EError;
};

// Raised by a row source when a row it was asked to change or delete was
// changed by another program since it was read (the row still exists).
// Nothing was written; re-reading the row and trying again may succeed.
class EConflictError : public EProviderError {
public:
    using EProviderError::EProviderError;
};

// Raised by Connect when the database server asks for a password that none
// of the engine's usual places (its password file, the environment, the
// connection string's Password) gives, or that was given but is wrong
// (Refused()). Nothing is connected; connecting again with a Password in the
// connection string may succeed.
class EPasswordNeeded : public EProviderError {
public:
    EPasswordNeeded(QString message, bool refused)
        : EProviderError(std::move(message)), refused_(refused) {}
    bool Refused() const { return refused_; }

private:
    bool refused_;
};

// Raised by a row source whose command text runs but yields no set of rows;
// its message is the one the cursor shows, ready for the cursor's prefix.
class ENoResultSet : public EProviderError {
public:
    ENoResultSet() : EProviderError(QStringLiteral("CommandText does not return a result set")) {}
};

// The silent abort: handlers let it through and the error box shows nothing.
class EAbort : public EError {
public:
    EAbort() : EError(QStringLiteral("Operation aborted")) {}
};

// "name: message" when the name is not empty, else the message alone.
QString PrefixedMessage(const QString &componentName, const QString &message);
