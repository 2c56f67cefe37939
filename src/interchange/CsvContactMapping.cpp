#include "interchange/CsvContactMapping.h"

#include <QHash>

namespace {

QString Normalised(const QString &header) {
    QString out;
    for (QChar c : header.toLower())
        if (c.isLetterOrNumber())
            out += c;
    return out;
}

const QHash<QString, CsvContactMapping::Target> &KnownHeaders() {
    using T = CsvContactMapping::Target;
    static const QHash<QString, T> known = [] {
        QHash<QString, T> map;
        const auto add = [&map](T target, std::initializer_list<const char *> names) {
            for (const char *name : names)
                map.insert(Normalised(QString::fromLatin1(name)), target);
        };
        // The program's own export first, then common address books.
        add(T::CompanyName, {"CompanyName", "Company", "Organization", "Organisation",
                             "Organization 1 - Name", "Business Name"});
        add(T::ContactPerson, {"ContactPerson", "Name", "Full Name", "Display Name", "Contact"});
        add(T::FirstName, {"First Name", "Given Name", "FirstName"});
        add(T::MiddleName, {"Middle Name", "Additional Name"});
        add(T::LastName, {"Last Name", "Family Name", "Surname", "LastName"});
        add(T::Address, {"Address", "Business Street", "Street", "Business Address",
                         "Address 1 - Street", "Business Street 2"});
        add(T::City, {"City", "Business City", "Address 1 - City", "Town"});
        add(T::State, {"State", "Business State", "Region", "Address 1 - Region", "State/Area",
                       "Province", "County"});
        add(T::PostCode, {"PostCode", "Post Code", "Postal Code", "Business Postal Code", "Zip",
                          "Zip Code", "Address 1 - Postal Code", "Postcode"});
        add(T::Country, {"Country", "Business Country/Region", "Business Country", "Country/Region",
                         "Address 1 - Country"});
        add(T::Phone, {"Phone", "Business Phone", "Work Phone", "Telephone", "Phone 1 - Value",
                       "Primary Phone", "Company Main Phone"});
        add(T::Fax, {"Fax", "Business Fax", "Work Fax"});
        add(T::Mobile, {"Mobile", "Mobile Phone", "Cell", "Cell Phone", "Mobile Number"});
        add(T::Email, {"Email", "E-mail", "E-mail Address", "Email Address", "E-mail 1 - Value",
                       "Primary Email"});
        add(T::Url,
            {"Url", "Web Page", "Web Site", "Website", "Business Web Page", "Website 1 - Value"});
        add(T::Note, {"Note", "Notes", "Remarks", "Comments"});
        return map;
    }();
    return known;
}

void Add(QString &field, const QString &value) {
    const QString text = value.trimmed();
    if (text.isEmpty())
        return;
    field = field.isEmpty() ? text : field + QLatin1Char(' ') + text;
}

} // namespace

CsvContactMapping::Target CsvContactMapping::Guess(const QString &header) {
    return KnownHeaders().value(Normalised(header), Skip);
}

QList<CsvContactMapping::Target> CsvContactMapping::GuessAll(const QStringList &headers) {
    QList<Target> targets;
    for (const QString &header : headers)
        targets << Guess(header);
    return targets;
}

QString CsvContactMapping::TargetName(Target target) {
    static const char *const names[] = {
        "(skip)",  "Company", "Contact Person", "First Name", "Middle Name", "Last Name",
        "Address", "City",    "State/Area",     "Post Code",  "Country",     "Phone",
        "Fax",     "Mobile",  "Email",          "Web Site",   "Remarks"};
    return QString::fromLatin1(names[target]);
}

ImportedContact CsvContactMapping::Apply(const QList<Target> &targets, const QStringList &row,
                                         int line) {
    ImportedContact contact;
    contact.line = line;
    QString first, middle, last;
    for (int i = 0; i < targets.size() && i < row.size(); ++i) {
        const QString &value = row[i];
        switch (targets[i]) {
        case Skip:
            break;
        case CompanyName:
            Add(contact.companyName, value);
            break;
        case ContactPerson:
            Add(contact.contactPerson, value);
            break;
        case FirstName:
            Add(first, value);
            break;
        case MiddleName:
            Add(middle, value);
            break;
        case LastName:
            Add(last, value);
            break;
        case Address:
            Add(contact.address, value);
            break;
        case City:
            Add(contact.city, value);
            break;
        case State:
            Add(contact.state, value);
            break;
        case PostCode:
            Add(contact.postCode, value);
            break;
        case Country:
            Add(contact.country, value);
            break;
        case Phone:
            Add(contact.phone, value);
            break;
        case Fax:
            Add(contact.fax, value);
            break;
        case Mobile:
            Add(contact.mobile, value);
            break;
        case Email:
            Add(contact.email, value);
            break;
        case Url:
            Add(contact.url, value);
            break;
        case Note:
            if (!value.trimmed().isEmpty())
                contact.note = contact.note.isEmpty() ? value : contact.note + "\n" + value;
            break;
        }
    }
    if (contact.contactPerson.isEmpty()) {
        Add(contact.contactPerson, first);
        Add(contact.contactPerson, middle);
        Add(contact.contactPerson, last);
    }
    return contact;
}
