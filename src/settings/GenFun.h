#pragma once

#include <QString>

// The user's settings: one string value, the default country of new
// contacts, kept in the platform's per-user settings store under the key
// "Software\Brennart\Corvana" (on Windows the registry key of that name).
// Every call opens and closes the store afresh; nothing is cached.
class GenFun {
public:
    static const QString kKey;            // "Software\Brennart\Corvana"
    static const QString kDefaultCountry; // "defCountryID"

    // The text of the named value, or `defaultText` when it is missing. The
    // key is created when it does not exist. A value that is not a string
    // fails with "Invalid data type for '<name>'". Text after a NUL
    // character is not part of the value.
    static QString ReadRegString(const QString &key, const QString &name,
                                 const QString &defaultText);
    // Writes the named value as a string, creating the key when needed.
    static void WriteRegString(const QString &key, const QString &name, const QString &text);

    // The stored default country; 1 when none is stored. A stored text that
    // is not a decimal integer fails with "'<text>' is not a valid integer
    // value".
    static int GetDefaultCountryID();
    static void SetDefaultCountryID(int id);
};
