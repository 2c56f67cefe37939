#include "SampleContactGenerator.h"

#include "CountryList.h"

#include <QString>
#include <cctype>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace {

template <typename T, std::size_t N> constexpr int Count(const T (&)[N]) {
    return int(N);
}

const char *const kCompanyFirst[] = {
    "Harbor",   "Summit",   "Pioneer",   "Granite",  "Silver",     "Northern", "Evergreen",
    "Redwood",  "Lakeside", "Atlas",     "Beacon",   "Cedar",      "Crescent", "Eagle",
    "Falcon",   "Golden",   "Horizon",   "Ironwood", "Keystone",   "Liberty",  "Maple",
    "Meridian", "Oakridge", "Pacific",   "Prairie",  "Riverside",  "Sterling", "Sunrise",
    "Union",    "Valley",   "Westfield", "Bright",   "Clearwater", "Copper",   "Delta",
    "Frontier", "Highland", "Orchard",   "Coastal",  "Northstar"};
const char *const kCompanySecond[] = {
    "Freight", "Digital", "Medical", "Building", "Paper",     "Steel",    "Print",     "Office",
    "Garden",  "Auto",    "Marine",  "Food",     "Energy",    "Textile",  "Software",  "Glass",
    "Timber",  "Dental",  "Travel",  "Home",     "Electric",  "Plastics", "Packaging", "Farm",
    "Audio",   "Optical", "Water",   "Security", "Furniture", "Fitness"};
const char *const kCompanyThird[] = {"Logistics",     "Supplies",    "Systems",      "Services",
                                     "Solutions",     "Trading",     "Partners",     "Works",
                                     "Industries",    "Group",       "Distributors", "Consulting",
                                     "Manufacturing", "Imports",     "Holdings",     "Labs",
                                     "Associates",    "Enterprises", "Outfitters",   "Traders"};

const char *const kFirstNames[] = {
    "James",   "Mary",      "Robert",  "Patricia", "John",    "Jennifer",  "Michael", "Linda",
    "David",   "Elizabeth", "William", "Barbara",  "Richard", "Susan",     "Joseph",  "Jessica",
    "Thomas",  "Sarah",     "Charles", "Karen",    "Daniel",  "Nancy",     "Matthew", "Lisa",
    "Anthony", "Emily",     "Mark",    "Sandra",   "Steven",  "Ashley",    "Paul",    "Kimberly",
    "Andrew",  "Donna",     "Joshua",  "Michelle", "Kevin",   "Carol",     "Brian",   "Amanda",
    "George",  "Melissa",   "Edward",  "Deborah",  "Ronald",  "Stephanie", "Timothy", "Rebecca",
    "Jason",   "Laura",     "Jeffrey", "Helen",    "Ryan",    "Sharon",    "Oliver",  "Sophie",
    "Lukas",   "Anna",      "Pierre",  "Claire",   "Sean",    "Aoife",     "Hiroshi", "Yuki"};
const char *const kLastNames[] = {
    "Smith",     "Johnson",  "Williams",  "Brown",   "Jones",    "Garcia",   "Miller",   "Davis",
    "Rodriguez", "Martinez", "Hernandez", "Lopez",   "Wilson",   "Anderson", "Thomas",   "Taylor",
    "Moore",     "Jackson",  "Martin",    "Lee",     "Thompson", "White",    "Harris",   "Clark",
    "Lewis",     "Robinson", "Walker",    "Young",   "Allen",    "King",     "Wright",   "Scott",
    "Hill",      "Green",    "Adams",     "Baker",   "Nelson",   "Carter",   "Mitchell", "Roberts",
    "Turner",    "Phillips", "Campbell",  "Parker",  "Evans",    "Edwards",  "Collins",  "Stewart",
    "O'Brien",   "Murphy",   "Schmidt",   "Fischer", "Weber",    "Dubois",   "Moreau",   "Laurent",
    "Tanaka",    "Suzuki",   "Rossi",     "Jansen",  "Nielsen",  "Kowalski", "Novak",    "Silva"};

const char *const kEnglishStreets[] = {
    "Oak",     "Maple",    "Main",     "Park",   "Cedar",  "Elm",     "Lake",   "Hill",
    "Church",  "Market",   "Bridge",   "Mill",   "River",  "Station", "Spring", "Washington",
    "Lincoln", "Franklin", "Highland", "Sunset", "Forest", "Meadow",  "Harbor", "Victoria"};
const char *const kEnglishStreetTypes[] = {"Street", "Avenue", "Road",  "Boulevard", "Lane",
                                           "Drive",  "Way",    "Place", "Court"};
const char *const kGermanStreets[] = {
    "Hauptstrasse",  "Bahnhofstrasse", "Gartenstrasse", "Schulstrasse", "Bergstrasse",
    "Lindenstrasse", "Waldweg",        "Kirchplatz",    "Marktplatz",   "Ringstrasse"};
const char *const kFrenchStreets[] = {
    "rue de la Paix", "avenue Victor Hugo", "boulevard Voltaire",   "rue du Commerce",
    "rue des Lilas",  "avenue Foch",        "rue de la Republique", "quai des Marchands"};

const char *const kNotes[] = {"Prefers calls in the morning.",
                              "Asked for a new price list.",
                              "Send the catalogue before the next call.",
                              "Decision maker is away until next month.",
                              "Interested in the annual contract.",
                              "Call the main office, not the mobile.",
                              "Wants a demo for the whole team.",
                              "Budget approved for next quarter.",
                              "Met at the trade fair.",
                              "Follow up on the last quote.",
                              "Do not call before 10 a.m.",
                              "Referred by an existing customer.",
                              "Complained about late delivery.",
                              "Ask about the second warehouse."};

enum class AddressStyle { English, German, French };

// One place of a country: its state or region, city, a post code pattern and
// a landline pattern ('#' a digit, '%' a digit from 2 to 9, '@' a capital
// letter).
struct Place {
    const char *state;
    const char *city;
    const char *postCode;
    const char *phone;
};

struct CountryStyle {
    const char *country;
    int weight; // per thousand contacts
    AddressStyle address;
    const char *tld;
    const char *mobile; // pattern; empty: the place's landline pattern
    std::vector<const char *> suffixes;
    std::vector<Place> places;
};

const std::vector<CountryStyle> &Styles() {
    static const std::vector<CountryStyle> styles = {
        {"United States",
         550,
         AddressStyle::English,
         ".com",
         "",
         {"Inc", "LLC", "Corp", "Co."},
         {{"California", "San Francisco", "941##", "(415) %##-####"},
          {"California", "Los Angeles", "900##", "(213) %##-####"},
          {"New York", "New York", "100##", "(212) %##-####"},
          {"Texas", "Austin", "787##", "(512) %##-####"},
          {"Texas", "Houston", "770##", "(713) %##-####"},
          {"Illinois", "Chicago", "606##", "(312) %##-####"},
          {"Washington", "Seattle", "981##", "(206) %##-####"},
          {"Massachusetts", "Boston", "021##", "(617) %##-####"},
          {"Florida", "Miami", "331##", "(305) %##-####"},
          {"Colorado", "Denver", "802##", "(303) %##-####"},
          {"Georgia", "Atlanta", "303##", "(404) %##-####"},
          {"Oregon", "Portland", "972##", "(503) %##-####"},
          {"Arizona", "Phoenix", "850##", "(602) %##-####"},
          {"Pennsylvania", "Philadelphia", "191##", "(215) %##-####"},
          {"Ohio", "Columbus", "432##", "(614) %##-####"},
          {"Minnesota", "Minneapolis", "554##", "(612) %##-####"}}},
        {"United Kingdom",
         100,
         AddressStyle::English,
         ".co.uk",
         "+44 7### ######",
         {"Ltd", "plc"},
         {{"Greater London", "London", "EC# #@@", "+44 20 #### ####"},
          {"Greater Manchester", "Manchester", "M# #@@", "+44 161 ### ####"},
          {"Scotland", "Edinburgh", "EH# #@@", "+44 131 ### ####"},
          {"West Midlands", "Birmingham", "B# #@@", "+44 121 ### ####"},
          {"West Yorkshire", "Leeds", "LS# #@@", "+44 113 ### ####"}}},
        {"Canada",
         80,
         AddressStyle::English,
         ".ca",
         "",
         {"Inc", "Ltd"},
         {{"Ontario", "Toronto", "M#@ #@#", "(416) %##-####"},
          {"British Columbia", "Vancouver", "V#@ #@#", "(604) %##-####"},
          {"Quebec", "Montreal", "H#@ #@#", "(514) %##-####"},
          {"Alberta", "Calgary", "T#@ #@#", "(403) %##-####"}}},
        {"Germany",
         60,
         AddressStyle::German,
         ".de",
         "+49 15# ########",
         {"GmbH", "AG"},
         {{"Berlin", "Berlin", "10###", "+49 30 ########"},
          {"Bavaria", "Munich", "80###", "+49 89 ########"},
          {"Hamburg", "Hamburg", "20###", "+49 40 ########"},
          {"Hesse", "Frankfurt", "60###", "+49 69 ########"}}},
        {"Australia",
         50,
         AddressStyle::English,
         ".com.au",
         "+61 4## ### ###",
         {"Pty Ltd"},
         {{"New South Wales", "Sydney", "2###", "+61 2 #### ####"},
          {"Victoria", "Melbourne", "3###", "+61 3 #### ####"},
          {"Queensland", "Brisbane", "4###", "+61 7 #### ####"}}},
        {"France",
         40,
         AddressStyle::French,
         ".fr",
         "+33 6 ## ## ## ##",
         {"SA", "SARL"},
         {{"Ile-de-France", "Paris", "75###", "+33 1 ## ## ## ##"},
          {"Auvergne-Rhone-Alpes", "Lyon", "69###", "+33 4 ## ## ## ##"},
          {"Provence-Alpes-Cote d'Azur", "Marseille", "13###", "+33 4 ## ## ## ##"}}},
        {"Japan",
         6,
         AddressStyle::English,
         ".co.jp",
         "+81 90 #### ####",
         {"KK"},
         {{"Tokyo", "Tokyo", "1##-####", "+81 3 #### ####"}}},
        {"Brazil",
         6,
         AddressStyle::English,
         ".com.br",
         "+55 11 9#### ####",
         {"Ltda"},
         {{"Sao Paulo", "Sao Paulo", "01###-###", "+55 11 #### ####"}}},
        {"India",
         6,
         AddressStyle::English,
         ".in",
         "+91 9#### #####",
         {"Pvt Ltd"},
         {{"Maharashtra", "Mumbai", "400###", "+91 22 #### ####"}}},
        {"Mexico",
         6,
         AddressStyle::English,
         ".com.mx",
         "+52 55 #### ####",
         {"SA de CV"},
         {{"Mexico City", "Mexico City", "06###", "+52 55 #### ####"}}},
        {"Spain",
         6,
         AddressStyle::English,
         ".es",
         "+34 6## ### ###",
         {"SL", "SA"},
         {{"Madrid", "Madrid", "28###", "+34 91 ### ####"}}},
        {"Italy",
         6,
         AddressStyle::English,
         ".it",
         "+39 3## ### ####",
         {"Srl", "SpA"},
         {{"Lombardy", "Milan", "20###", "+39 02 #### ####"}}},
        {"Netherlands",
         6,
         AddressStyle::German,
         ".nl",
         "+31 6 ########",
         {"BV"},
         {{"North Holland", "Amsterdam", "10## @@", "+31 20 ### ####"}}},
        {"Sweden",
         6,
         AddressStyle::German,
         ".se",
         "+46 70 ### ## ##",
         {"AB"},
         {{"Stockholm", "Stockholm", "11# ##", "+46 8 ### ### ##"}}},
        {"Ireland",
         6,
         AddressStyle::English,
         ".ie",
         "+353 8# ### ####",
         {"Ltd"},
         {{"Leinster", "Dublin", "D0# @#@#", "+353 1 ### ####"}}},
        {"New Zealand",
         6,
         AddressStyle::English,
         ".co.nz",
         "+64 21 ### ####",
         {"Ltd"},
         {{"Auckland", "Auckland", "10##", "+64 9 ### ####"}}},
        {"South Africa",
         6,
         AddressStyle::English,
         ".co.za",
         "+27 8# ### ####",
         {"Pty Ltd"},
         {{"Gauteng", "Johannesburg", "2###", "+27 11 ### ####"}}},
        {"Singapore",
         6,
         AddressStyle::English,
         ".com.sg",
         "+65 9### ####",
         {"Pte Ltd"},
         {{"", "Singapore", "######", "+65 6### ####"}}},
        {"Switzerland",
         6,
         AddressStyle::German,
         ".ch",
         "+41 79 ### ## ##",
         {"AG", "GmbH"},
         {{"Zurich", "Zurich", "80##", "+41 44 ### ## ##"}}},
        {"Poland",
         6,
         AddressStyle::English,
         ".pl",
         "+48 5## ### ###",
         {"Sp. z o.o."},
         {{"Masovia", "Warsaw", "00-###", "+48 22 ### ## ##"}}},
        {"Austria",
         6,
         AddressStyle::German,
         ".at",
         "+43 664 #######",
         {"GmbH"},
         {{"Vienna", "Vienna", "1###", "+43 1 #######"}}},
        {"Belgium",
         6,
         AddressStyle::French,
         ".be",
         "+32 47# ## ## ##",
         {"NV", "SA"},
         {{"Brussels", "Brussels", "1###", "+32 2 ### ## ##"}}},
        {"Norway",
         6,
         AddressStyle::German,
         ".no",
         "+47 9## ## ###",
         {"AS"},
         {{"Oslo", "Oslo", "0###", "+47 2# ## ## ##"}}},
        {"Denmark",
         6,
         AddressStyle::German,
         ".dk",
         "+45 2# ## ## ##",
         {"ApS", "A/S"},
         {{"Capital Region", "Copenhagen", "1###", "+45 3# ## ## ##"}}},
        {"Argentina",
         6,
         AddressStyle::English,
         ".com.ar",
         "+54 9 11 #### ####",
         {"SA", "SRL"},
         {{"Buenos Aires", "Buenos Aires", "C1###@@@", "+54 11 #### ####"}}},
        {"Chile",
         6,
         AddressStyle::English,
         ".cl",
         "+56 9 #### ####",
         {"SpA"},
         {{"Santiago Metropolitan", "Santiago", "83#####", "+56 2 #### ####"}}},
    };
    return styles;
}

// The country ids of the styles, looked up once; a name missing from the
// country list is a programming error caught by the first use.
const std::vector<int> &StyleCountryIds() {
    static const std::vector<int> ids = [] {
        std::vector<int> result;
        for (const CountryStyle &style : Styles()) {
            const int id = CountryList::IdOf(QString::fromLatin1(style.country));
            if (id == 0)
                throw std::logic_error(std::string("sample country missing from the list: ") +
                                       style.country);
            result.push_back(id);
        }
        return result;
    }();
    return ids;
}

void AppendLowerLetters(const char *text, std::string *out) {
    for (const char *c = text; *c; ++c)
        if (std::isalpha(static_cast<unsigned char>(*c)))
            out->push_back(char(std::tolower(static_cast<unsigned char>(*c))));
}

double TimeOfDay(int minutes) {
    return minutes * 60 / 86400.0;
}

} // namespace

SampleContactGenerator::SampleContactGenerator(std::uint64_t seed, const QDate &today)
    : state_(seed), todayDays_(double(QDate(1899, 12, 30).daysTo(today))) {}

// splitmix64: small, fast and the same on every platform.
std::uint64_t SampleContactGenerator::NextRandom() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int SampleContactGenerator::Below(int bound) {
    return int(((NextRandom() >> 32) * std::uint64_t(bound)) >> 32);
}

bool SampleContactGenerator::Percent(int percent) {
    return Below(100) < percent;
}

const char *SampleContactGenerator::Pick(const char *const *items, int count) {
    return items[Below(count)];
}

void SampleContactGenerator::Expand(const char *pattern, std::string *out) {
    out->clear();
    for (const char *c = pattern; *c; ++c) {
        if (*c == '#')
            out->push_back(char('0' + Below(10)));
        else if (*c == '%')
            out->push_back(char('2' + Below(8)));
        else if (*c == '@')
            out->push_back(char('A' + Below(26)));
        else
            out->push_back(*c);
    }
}

void SampleContactGenerator::Next(Contact *contact) {
    Contact &c = *contact;
    const std::int64_t index = index_++;

    // Country: mostly a handful of common ones.
    const std::vector<CountryStyle> &styles = Styles();
    int roll = Below(1000);
    std::size_t styleIndex = 0;
    while (styleIndex + 1 < styles.size() && roll >= styles[styleIndex].weight)
        roll -= styles[styleIndex++].weight;
    const CountryStyle &style = styles[styleIndex];
    c.countryId = StyleCountryIds()[styleIndex];
    const Place &place = style.places[std::size_t(Below(int(style.places.size())))];

    // Company: "Harbor Freight Logistics Ltd".
    const char *first = Pick(kCompanyFirst, Count(kCompanyFirst));
    const char *second = Pick(kCompanySecond, Count(kCompanySecond));
    c.companyName.assign(first).append(" ").append(second).append(" ");
    c.companyName.append(Pick(kCompanyThird, Count(kCompanyThird)));
    if (Percent(80)) {
        c.companyName.append(" ");
        c.companyName.append(style.suffixes[std::size_t(Below(int(style.suffixes.size())))]);
    }

    const char *firstName = Pick(kFirstNames, Count(kFirstNames));
    const char *lastName = Pick(kLastNames, Count(kLastNames));
    c.contactPerson.assign(firstName).append(" ").append(lastName);

    c.state.assign(place.state);
    c.city.assign(place.city);
    Expand(place.postCode, &c.postCode);

    char number[32];
    std::snprintf(number, sizeof number, "%d",
                  1 + Below(style.address == AddressStyle::English ? 9899 : 180));
    switch (style.address) {
    case AddressStyle::English:
        c.address.assign(number).append(" ");
        c.address.append(Pick(kEnglishStreets, Count(kEnglishStreets))).append(" ");
        c.address.append(Pick(kEnglishStreetTypes, Count(kEnglishStreetTypes)));
        if (Percent(20)) {
            std::snprintf(number, sizeof number, ", Suite %d", 100 + Below(900));
            c.address.append(number);
        }
        break;
    case AddressStyle::German:
        c.address.assign(Pick(kGermanStreets, Count(kGermanStreets))).append(" ").append(number);
        break;
    case AddressStyle::French:
        c.address.assign(number).append(" ");
        c.address.append(Pick(kFrenchStreets, Count(kFrenchStreets)));
        break;
    }

    Expand(place.phone, &c.phone);
    if (Percent(45))
        Expand(place.phone, &c.fax);
    else
        c.fax.clear();
    if (Percent(75))
        Expand(*style.mobile ? style.mobile : place.phone, &c.mobile);
    else
        c.mobile.clear();

    // Web address and e-mail from the company's first two words.
    std::string domain;
    AppendLowerLetters(first, &domain);
    AppendLowerLetters(second, &domain);
    domain.append(style.tld);
    if (Percent(85))
        c.url.assign("www.").append(domain);
    else
        c.url.clear();
    c.email.clear();
    if (Percent(90)) {
        const int form = Below(10);
        if (form == 0) {
            c.email.assign("info");
        } else if (form <= 5) {
            AppendLowerLetters(firstName, &c.email);
            c.email.push_back('.');
            AppendLowerLetters(lastName, &c.email);
        } else if (form <= 8) {
            c.email.push_back(char(std::tolower(static_cast<unsigned char>(firstName[0]))));
            AppendLowerLetters(lastName, &c.email);
        } else {
            AppendLowerLetters(firstName, &c.email);
        }
        c.email.append("@").append(domain);
    }

    c.note.clear();
    if (Percent(30)) {
        c.note.assign(Pick(kNotes, Count(kNotes)));
        if (Percent(20))
            c.note.append(" ").append(Pick(kNotes, Count(kNotes)));
    }

    const int statusRoll = Below(100);
    c.statusId = statusRoll < 20   ? 1
                 : statusRoll < 55 ? 2
                 : statusRoll < 85 ? 3
                 : statusRoll < 95 ? 4
                                   : 5;

    // The last call lies in the past year, at a minute between 08:00 and 18:59.
    // (One draw per statement: the order of evaluation within an expression
    // is unspecified, and the sequence must not depend on the compiler.)
    if (Percent(c.statusId == 1 ? 70 : 5)) {
        c.lastCallDate.reset();
    } else {
        const int daysAgo = 1 + Below(365);
        const int minute = 8 * 60 + Below(11 * 60);
        c.lastCallDate = todayDays_ - daysAgo + TimeOfDay(minute);
    }

    // The call-back falls on a half hour from 09:00 to 17:30.
    const int block = int(index % kDueTodayBlock);
    bool dueToday = false;
    for (int duePlace : kDueTodayPlaces)
        dueToday = dueToday || block == duePlace;
    const double slot = TimeOfDay(9 * 60 + 30 * Below(18));
    // "Do not call" contacts get no call-back, so one due today is a prospect.
    if (dueToday) {
        if (c.statusId == 5)
            c.statusId = 2;
        c.callbackDate = todayDays_ + slot;
    } else if (c.statusId == 5 || Percent(12)) {
        c.callbackDate.reset();
    } else {
        const int offset = Below(2 * kCallbackSpreadDays + 1) - kCallbackSpreadDays;
        c.callbackDate = todayDays_ + offset + slot;
    }
}
