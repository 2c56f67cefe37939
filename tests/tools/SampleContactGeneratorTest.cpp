#include "SampleContactGenerator.h"
#include "CountryList.h"

#include <gtest/gtest.h>
#include <map>
#include <set>

namespace {

const QDate kToday(2024, 2, 29);

double TodayValue() {
    return double(QDate(1899, 12, 30).daysTo(kToday));
}

using Contact = SampleContactGenerator::Contact;

std::string Describe(const Contact &c) {
    auto date = [](const std::optional<double> &d) { return d ? std::to_string(*d) : "null"; };
    return c.companyName + "|" + c.contactPerson + "|" + std::to_string(c.countryId) + "|" +
           c.state + "|" + c.city + "|" + c.address + "|" + c.postCode + "|" + c.phone + "|" +
           c.fax + "|" + c.mobile + "|" + c.email + "|" + c.url + "|" + c.note + "|" +
           std::to_string(c.statusId) + "|" + date(c.lastCallDate) + "|" + date(c.callbackDate);
}

std::vector<Contact> Generate(std::uint64_t seed, int count, const QDate &today = kToday) {
    SampleContactGenerator generator(seed, today);
    std::vector<Contact> contacts(static_cast<std::size_t>(count));
    for (Contact &c : contacts)
        generator.Next(&c);
    return contacts;
}

bool IsPrintableAscii(const std::string &text) {
    for (unsigned char c : text)
        if (c < 0x20 || c > 0x7E)
            return false;
    return true;
}

} // namespace

TEST(SampleContactGenerator, SequenceDependsOnSeedAndToday) {
    const std::vector<Contact> a = Generate(42, 500);
    const std::vector<Contact> b = Generate(42, 500);
    const std::vector<Contact> otherSeed = Generate(43, 500);
    int sameAsOtherSeed = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(Describe(a[i]), Describe(b[i])) << "contact " << i;
        sameAsOtherSeed += Describe(a[i]) == Describe(otherSeed[i]);
    }
    EXPECT_EQ(sameAsOtherSeed, 0);

    // Another day moves the dates by the same number of days and changes
    // nothing else.
    const std::vector<Contact> later = Generate(42, 500, kToday.addDays(10));
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].companyName, later[i].companyName);
        ASSERT_EQ(a[i].callbackDate.has_value(), later[i].callbackDate.has_value());
        if (a[i].callbackDate) {
            EXPECT_DOUBLE_EQ(*later[i].callbackDate - *a[i].callbackDate, 10.0);
        }
    }
}

TEST(SampleContactGenerator, TextsFitTheColumnsAndLookPlausible) {
    const std::map<std::string, std::size_t> limits = {
        {"CompanyName", 100}, {"ContactPerson", 100}, {"State", 50}, {"City", 50},
        {"Address", 255},     {"PostCode", 20},       {"Phone", 30}, {"Fax", 30},
        {"Mobile", 30},       {"Email", 100},         {"Url", 255}};
    std::map<std::string, std::size_t> longest;
    std::set<int> countries;
    int withoutEmail = 0, withNote = 0, withFax = 0;
    SampleContactGenerator generator(2026, kToday);
    Contact c;
    for (int i = 0; i < 5000; ++i) {
        generator.Next(&c);
        const std::pair<const char *, const std::string *> texts[] = {
            {"CompanyName", &c.companyName},
            {"ContactPerson", &c.contactPerson},
            {"State", &c.state},
            {"City", &c.city},
            {"Address", &c.address},
            {"PostCode", &c.postCode},
            {"Phone", &c.phone},
            {"Fax", &c.fax},
            {"Mobile", &c.mobile},
            {"Email", &c.email},
            {"Url", &c.url}};
        for (const auto &[column, text] : texts) {
            longest[column] = std::max(longest[column], text->size());
            EXPECT_TRUE(IsPrintableAscii(*text)) << column << ": " << *text;
        }
        EXPECT_TRUE(IsPrintableAscii(c.note)) << c.note;

        EXPECT_FALSE(c.companyName.empty());
        EXPECT_NE(c.contactPerson.find(' '), std::string::npos) << c.contactPerson;
        EXPECT_FALSE(c.city.empty());
        EXPECT_FALSE(c.address.empty());
        EXPECT_FALSE(c.postCode.empty());
        EXPECT_FALSE(c.phone.empty());
        EXPECT_GE(c.statusId, 1);
        EXPECT_LE(c.statusId, 5);
        ASSERT_GE(c.countryId, 1);
        ASSERT_LE(c.countryId, int(CountryList::All().size()));
        countries.insert(c.countryId);
        // The e-mail and the web address share the company's domain.
        if (c.email.empty()) {
            ++withoutEmail;
        } else {
            const std::size_t at = c.email.find('@');
            ASSERT_NE(at, std::string::npos) << c.email;
            EXPECT_GT(at, 0u) << c.email;
            if (!c.url.empty()) {
                EXPECT_EQ("www." + c.email.substr(at + 1), c.url);
            }
        }
        withNote += !c.note.empty();
        withFax += !c.fax.empty();
    }
    for (const auto &[column, limit] : limits)
        EXPECT_LE(longest[column], limit) << column;
    EXPECT_GE(countries.size(), 10u);
    EXPECT_GT(withoutEmail, 0);
    EXPECT_GT(withNote, 500);
    EXPECT_LT(withNote, 4500);
    EXPECT_GT(withFax, 500);
    EXPECT_LT(withFax, 4500);
}

TEST(SampleContactGenerator, DatesLieAroundTodayAtWorkingHours) {
    const double today = TodayValue();
    int dueToday = 0, pastCallbacks = 0, futureCallbacks = 0, noCallback = 0, noLastCall = 0;
    SampleContactGenerator generator(99, kToday);
    Contact c;
    for (int i = 0; i < 5000; ++i) {
        generator.Next(&c);
        if (c.lastCallDate) {
            EXPECT_LT(*c.lastCallDate, today);
            EXPECT_GE(*c.lastCallDate, today - 366);
            const double minutes = (*c.lastCallDate - std::floor(*c.lastCallDate)) * 1440;
            EXPECT_GE(minutes, 8 * 60 - 0.01);
            EXPECT_LT(minutes, 19 * 60);
        } else {
            ++noLastCall;
        }
        if (!c.callbackDate) {
            ++noCallback;
            continue;
        }
        const double day = std::floor(*c.callbackDate);
        const double minutes = std::round((*c.callbackDate - day) * 1440);
        EXPECT_GE(minutes, 9 * 60);
        EXPECT_LE(minutes, 17 * 60 + 30);
        EXPECT_EQ(int(minutes) % 30, 0);
        EXPECT_GE(day, today - SampleContactGenerator::kCallbackSpreadDays);
        EXPECT_LE(day, today + SampleContactGenerator::kCallbackSpreadDays);
        EXPECT_NE(c.statusId, 5) << "a contact not to be called has a call-back";
        dueToday += day == today;
        pastCallbacks += day < today;
        futureCallbacks += day > today;
    }
    // Three forced into each block of 1000, plus the random share of 1/121.
    EXPECT_GE(dueToday, 15);
    EXPECT_GT(pastCallbacks, 1000);
    EXPECT_GT(futureCallbacks, 1000);
    EXPECT_GT(noCallback, 0);
    EXPECT_GT(noLastCall, 0);
}

TEST(SampleContactGenerator, EveryShortRunHasSeveralDueToday) {
    const double today = TodayValue();
    for (std::uint64_t seed : {1u, 2u, 3u, 20261208u}) {
        int dueToday = 0;
        for (const Contact &c : Generate(seed, 20))
            dueToday += c.callbackDate && std::floor(*c.callbackDate) == today;
        EXPECT_GE(dueToday, 2) << "seed " << seed;
    }
}

TEST(CountryList, IdsNamesAndOrder) {
    const std::vector<CountryList::Country> &all = CountryList::All();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.front().id, CountryList::kUnitedStatesId);
    EXPECT_EQ(all.front().name, "United States");
    std::set<int> orderNumbers;
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i].id, int(i) + 1);
        EXPECT_LE(all[i].name.size(), 50);
        EXPECT_EQ(CountryList::IdOf(all[i].name), all[i].id);
        orderNumbers.insert(all[i].orderNumber);
    }
    EXPECT_EQ(orderNumbers.size(), all.size());
    EXPECT_EQ(CountryList::IdOf("Atlantis"), 0);
    for (const char *common : {"United Kingdom", "Canada", "Germany", "Australia", "France",
                               "Japan", "Cote d'Ivoire", "Guinea-Bissau"})
        EXPECT_NE(CountryList::IdOf(common), 0) << common;
}
