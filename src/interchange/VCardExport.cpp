#include "interchange/VCardExport.h"

#include "data/DateTimeValue.h"
#include "data/QueryCursor.h"
#include "export/EInOutError.h"
#include "interchange/VCardWriter.h"

#include <QSaveFile>

namespace {

// The fields of the export query, looked up once when it is open.
class ContactFields {
public:
    explicit ContactFields(const TQueryCursor &query)
        : company_(query.FieldNamed(QStringLiteral("CompanyName"))),
          person_(query.FieldNamed(QStringLiteral("ContactPerson"))),
          address_(query.FieldNamed(QStringLiteral("Address"))),
          city_(query.FieldNamed(QStringLiteral("City"))),
          state_(query.FieldNamed(QStringLiteral("State"))),
          postCode_(query.FieldNamed(QStringLiteral("PostCode"))),
          country_(query.FieldNamed(QStringLiteral("CountryName"))),
          phone_(query.FieldNamed(QStringLiteral("Phone"))),
          fax_(query.FieldNamed(QStringLiteral("Fax"))),
          mobile_(query.FieldNamed(QStringLiteral("Mobile"))),
          email_(query.FieldNamed(QStringLiteral("Email"))),
          url_(query.FieldNamed(QStringLiteral("Url"))),
          note_(query.FieldNamed(QStringLiteral("Note"))),
          status_(query.FieldNamed(QStringLiteral("StatusName"))),
          callback_(query.FieldNamed(QStringLiteral("CallbackDate"))),
          lastCall_(query.FieldNamed(QStringLiteral("LastCallDate"))) {}

    // The current row as a contact.
    ImportedContact Contact() const {
        ImportedContact contact;
        contact.companyName = company_->TextValue();
        contact.contactPerson = person_->TextValue();
        contact.address = address_->TextValue();
        contact.city = city_->TextValue();
        contact.state = state_->TextValue();
        contact.postCode = postCode_->TextValue();
        contact.country = country_->TextValue();
        contact.phone = phone_->TextValue();
        contact.fax = fax_->TextValue();
        contact.mobile = mobile_->TextValue();
        contact.email = email_->TextValue();
        contact.url = url_->TextValue();
        contact.note = note_->TextValue();
        contact.status = status_->TextValue();
        contact.callbackDate = DateTimeOf(*callback_);
        contact.lastCallDate = DateTimeOf(*lastCall_);
        return contact;
    }

private:
    // None for null; a stored text that is no date is left out as well, so
    // that one odd value does not stop the export of every contact.
    static QDateTime DateTimeOf(const TField &field) {
        if (field.IsNull())
            return QDateTime();
        try {
            return DateTimeValue::ToDateTime(field.DateTimeValue());
        } catch (const EError &) {
            return QDateTime();
        }
    }

    const TField *company_, *person_, *address_, *city_, *state_, *postCode_, *country_, *phone_,
        *fax_, *mobile_, *email_, *url_, *note_, *status_, *callback_, *lastCall_;
};

[[noreturn]] void Fail(const char *what, const QSaveFile &file) {
    throw EInOutError(
        QStringLiteral("%1 %2: %3").arg(QLatin1String(what), file.fileName(), file.errorString()));
}

} // namespace

VCardExport::VCardExport(TDBConnection &connection) : connection_(connection) {}

QString VCardExport::SelectText(std::optional<qint64> contactId) {
    // Left joins, so that a contact without a (known) country or status is
    // written too.
    QString text =
        QStringLiteral("select c.*, ct.Name as CountryName, st.Name as StatusName from Contacts c "
                       "left join Countries ct on ct.CountryID = c.CountryID "
                       "left join Status st on st.StatusID = c.StatusID");
    if (contactId)
        text += QStringLiteral(" where c.ContactID = %1").arg(*contactId);
    return text + QStringLiteral(" order by c.ContactID");
}

qint64 VCardExport::SaveTo(const QString &fileName, std::optional<qint64> contactId) {
    TQueryCursor query(QStringLiteral("qryVCardExport"));
    query.SetConnection(&connection_);
    query.SetCursorType(ctOpenForwardOnly);
    query.SetLockType(ltReadOnly);
    query.SQL().Add(SelectText(contactId));

    // Not committed, the temporary file is removed when `file` goes.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        Fail("Cannot create file", file);
    query.Open();
    if (contactId && query.IsEmpty())
        throw EDatabaseError(
            QStringLiteral("Contact %1 is no longer in the database").arg(*contactId));
    const ContactFields fields(query);
    VCardWriter writer(file);
    while (!query.Eof()) {
        if (!writer.Write(fields.Contact()))
            Fail("Cannot write file", file);
        query.Next();
    }
    query.Close();
    if (!file.commit())
        Fail("Cannot write file", file);
    return writer.CardsWritten();
}
