#pragma once

#include <QString>
#include <vector>

// The countries a new database is filled with: English short names, the
// United States first (the default country of new contacts), the others
// numbered from 2 in alphabetical order. OrderNumber sorts the whole list
// alphabetically in steps of 10, the United States included.
class CountryList {
public:
    struct Country {
        int id = 0;
        QString name;
        int orderNumber = 0;
    };

    static constexpr int kUnitedStatesId = 1;

    // Every country, in CountryID order.
    static const std::vector<Country> &All();
    // The CountryID of a name in the list (exact match), or 0 when absent.
    static int IdOf(const QString &name);
};
