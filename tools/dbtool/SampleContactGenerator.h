#pragma once

#include <QDate>
#include <cstdint>
#include <optional>
#include <string>

// Makes plausible contacts for sample and benchmark databases. The sequence
// depends only on the seed and the day given as today: its own random
// generator is used, not the standard library's distributions, whose output
// differs between library versions. Texts are plain ASCII and respect the
// column sizes of the Contacts table.
class SampleContactGenerator {
public:
    // One contact; an empty text stands for a null column.
    struct Contact {
        std::string companyName;
        std::string contactPerson;
        int countryId = 0;
        std::string state;
        std::string city;
        std::string address;
        std::string postCode;
        std::string phone;
        std::string fax;
        std::string mobile;
        std::string email;
        std::string url;
        std::string note;
        int statusId = 1;
        std::optional<double> lastCallDate; // days since 30 December 1899
        std::optional<double> callbackDate;
    };

    // Call-back days are spread over today - kCallbackSpreadDays ..
    // today + kCallbackSpreadDays.
    static constexpr int kCallbackSpreadDays = 60;
    // Within every block of this many contacts, the ones at kDueTodayPlaces
    // are due today, so any run of 20 or more has several due today.
    static constexpr int kDueTodayBlock = 1000;
    static constexpr int kDueTodayPlaces[] = {2, 9, 15};

    SampleContactGenerator(std::uint64_t seed, const QDate &today);

    // Fills `contact` with the next contact of the sequence (every field is
    // overwritten, so one object can be reused without reallocating).
    void Next(Contact *contact);

private:
    std::uint64_t NextRandom();
    int Below(int bound);
    bool Percent(int percent);
    const char *Pick(const char *const *items, int count);
    void Expand(const char *pattern, std::string *out);

    std::uint64_t state_;
    double todayDays_;
    std::int64_t index_ = 0;
};
