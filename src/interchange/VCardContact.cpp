#include "interchange/VCardContact.h"

#include "interchange/VCardReader.h"
#include "interchange/VCardWriter.h"

#include <QStringList>

namespace {

QString Joined(const QStringList &parts) {
    QStringList kept;
    for (const QString &part : parts)
        if (!part.trimmed().isEmpty())
            kept << part.trimmed();
    return kept.join(QLatin1Char(' '));
}

// The first property of a name with the type, else the first of the name.
const VCardProperty *Preferred(const VCard &card, const QString &name, const QString &type) {
    const VCardProperty *first = nullptr;
    for (const VCardProperty &property : card.properties) {
        if (property.name != name)
            continue;
        if (property.HasType(type) || property.HasType(QStringLiteral("PREF")) ||
            !property.Param(QStringLiteral("PREF")).isEmpty())
            return &property;
        if (!first)
            first = &property;
    }
    return first;
}

// A telephone number as a text; version 4.0 may give it as a "tel:" address.
QString Number(const VCardProperty &property) {
    QString text = property.Text().trimmed();
    if (text.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive))
        text = text.mid(4);
    return text;
}

// A local date-time as VCardWriter writes it; none when absent or not one.
QDateTime DateTimeOf(const VCard &card, const QString &name) {
    const VCardProperty *property = card.First(name);
    if (!property)
        return QDateTime();
    return QDateTime::fromString(property->Text().trimmed(), VCardWriter::kDateTimeFormat);
}

} // namespace

ImportedContact VCardContact::FromCard(const VCard &card) {
    ImportedContact contact;
    contact.line = card.line;
    if (const VCardProperty *org = card.First(QStringLiteral("ORG")))
        contact.companyName = org->Components().value(0).trimmed();
    // Family; given; additional; prefix; suffix.
    QString name;
    if (const VCardProperty *n = card.First(QStringLiteral("N"))) {
        const QStringList parts = n->Components();
        name = Joined(
            {parts.value(3), parts.value(1), parts.value(2), parts.value(0), parts.value(4)});
    }
    if (const VCardProperty *fn = card.First(QStringLiteral("FN")))
        contact.contactPerson = fn->Text().trimmed();
    if (contact.contactPerson.isEmpty())
        contact.contactPerson = name;
    // A card for a company alone names the company in FN, as FN must name
    // something, and has no name parts: it has no person.
    if (name.isEmpty() && !contact.companyName.isEmpty() &&
        contact.contactPerson == contact.companyName)
        contact.contactPerson.clear();
    if (const VCardProperty *adr = Preferred(card, QStringLiteral("ADR"), QStringLiteral("WORK"))) {
        // Post office box; extended address; street; locality; region;
        // post code; country.
        const QStringList parts = adr->Components();
        contact.address = Joined({parts.value(2), parts.value(1), parts.value(0)});
        contact.city = parts.value(3).trimmed();
        contact.state = parts.value(4).trimmed();
        contact.postCode = parts.value(5).trimmed();
        contact.country = parts.value(6).trimmed();
    }
    // Work numbers first, so a home number fills the phone only when there
    // is no work one.
    for (int pass = 0; pass < 2; ++pass) {
        for (const VCardProperty &tel : card.properties) {
            if (tel.name != QLatin1String("TEL"))
                continue;
            const QString number = Number(tel);
            if (number.isEmpty())
                continue;
            if (tel.HasType(QStringLiteral("FAX"))) {
                if (contact.fax.isEmpty())
                    contact.fax = number;
            } else if (tel.HasType(QStringLiteral("CELL"))) {
                if (contact.mobile.isEmpty())
                    contact.mobile = number;
            } else if (contact.phone.isEmpty() &&
                       (pass == 1 || tel.HasType(QStringLiteral("WORK")))) {
                contact.phone = number;
            }
        }
    }
    if (const VCardProperty *email =
            Preferred(card, QStringLiteral("EMAIL"), QStringLiteral("WORK")))
        contact.email = email->Text().trimmed();
    if (const VCardProperty *url = card.First(QStringLiteral("URL")))
        contact.url = url->Text().trimmed();
    if (const VCardProperty *note = card.First(QStringLiteral("NOTE")))
        contact.note = note->Text();
    if (const VCardProperty *status = card.First(VCardWriter::kStatusProperty))
        contact.status = status->Text().trimmed();
    contact.callbackDate = DateTimeOf(card, VCardWriter::kCallbackProperty);
    contact.lastCallDate = DateTimeOf(card, VCardWriter::kLastCallProperty);
    return contact;
}
