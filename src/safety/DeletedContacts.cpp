#include "safety/DeletedContacts.h"

#include "data/DBConnection.h"
#include "data/DatabaseErrors.h"

#include <QStringList>

const char *const DeletedContacts::kColumns[] = {
    "ContactID", "CompanyName", "ContactPerson", "CountryID",    "State",       "City",
    "Address",   "PostCode",    "Phone",         "Fax",          "Mobile",      "Email",
    "Url",       "Note",        "StatusID",      "LastCallDate", "CallbackDate"};

namespace {

QString ColumnList(bool withoutKey = false) {
    QStringList columns;
    for (const char *column : DeletedContacts::kColumns)
        if (!withoutKey || qstrcmp(column, "ContactID") != 0)
            columns << QString::fromLatin1(column);
    return columns.join(QStringLiteral(", "));
}

} // namespace

DeletedContacts::DeletedContacts(TDBConnection &connection) : connection_(connection) {}

bool DeletedContacts::Available() {
    if (!available_) {
        try {
            auto probe = connection_.Prepare(
                QStringLiteral("SELECT DeletionID, DeletedAt FROM DeletedContacts LIMIT 0"));
            probe->Reset();
            available_ = true;
        } catch (const EProviderError &) {
            available_ = false;
        }
    }
    return *available_;
}

void DeletedContacts::Keep(qint64 contactId, double deletedAt) {
    if (!Available())
        return;
    auto keep = connection_.Prepare(
        QStringLiteral("INSERT INTO DeletedContacts (DeletedAt, %1) SELECT ?1, %1 FROM Contacts "
                       "WHERE ContactID = ?2")
            .arg(ColumnList()));
    keep->Bind(1, deletedAt);
    keep->Bind(2, contactId);
    keep->Step();
    keep->Reset();
}

int DeletedContacts::Count() {
    if (!Available())
        return 0;
    auto count = connection_.Prepare(QStringLiteral("SELECT count(*) FROM DeletedContacts"));
    const int rows = count->Step() ? count->Column(0).toInt() : 0;
    count->Reset();
    return rows;
}

bool DeletedContacts::CanUndo() {
    if (!Available())
        return false;
    auto any = connection_.Prepare(QStringLiteral("SELECT 1 FROM DeletedContacts LIMIT 1"));
    const bool found = any->Step();
    any->Reset();
    return found;
}

std::optional<DeletedContacts::Restored> DeletedContacts::UndoLatest() {
    if (!Available())
        throw EProviderError(QStringLiteral(
            "This database keeps no deleted contacts. Run \"corvana-db upgrade\" on it to "
            "bring it up to date."));
    TDBWriteTransaction transaction(connection_);
    auto latest = connection_.Prepare(
        QStringLiteral("SELECT DeletionID, ContactID, CompanyName FROM DeletedContacts "
                       "ORDER BY DeletionID DESC LIMIT 1"));
    if (!latest->Step())
        return std::nullopt;
    const qint64 deletion = latest->Column(0).toLongLong();
    Restored restored;
    restored.originalKey = latest->Column(1).toLongLong();
    restored.companyName = latest->Column(2).toString();
    latest->Reset();

    auto taken = connection_.Prepare(QStringLiteral("SELECT 1 FROM Contacts WHERE ContactID = ?1"));
    taken->Bind(1, restored.originalKey);
    const bool keyTaken = taken->Step();
    taken->Reset();

    // Under its own key unless another contact has that key by now; then
    // the engine numbers it as a new contact.
    const QString columns = ColumnList(keyTaken);
    auto insert = connection_.Prepare(
        QStringLiteral("INSERT INTO Contacts (%1) SELECT %1 FROM DeletedContacts "
                       "WHERE DeletionID = ?1")
            .arg(columns));
    insert->Bind(1, deletion);
    insert->Step();
    insert->Reset();
    restored.key = keyTaken ? connection_.LastInsertKey() : restored.originalKey;

    auto remove =
        connection_.Prepare(QStringLiteral("DELETE FROM DeletedContacts WHERE DeletionID = ?1"));
    remove->Bind(1, deletion);
    remove->Step();
    remove->Reset();
    transaction.Commit();
    return restored;
}
