#include "interchange/ContactImporter.h"

#include "data/DBConnection.h"
#include "data/DateTimeValue.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSet>

namespace {

// The text fields of a contact as the table sizes them.
struct TextField {
    const char *column;
    QString ImportedContact::*member;
    int size;
    const char *caption; // for messages
};

const TextField kTextFields[] = {
    {"CompanyName", &ImportedContact::companyName, 100, "company name"},
    {"ContactPerson", &ImportedContact::contactPerson, 100, "contact person"},
    {"State", &ImportedContact::state, 50, "state"},
    {"City", &ImportedContact::city, 50, "city"},
    {"Address", &ImportedContact::address, 255, "address"},
    {"PostCode", &ImportedContact::postCode, 20, "post code"},
    {"Phone", &ImportedContact::phone, 30, "phone"},
    {"Fax", &ImportedContact::fax, 30, "fax"},
    {"Mobile", &ImportedContact::mobile, 30, "mobile"},
    {"Email", &ImportedContact::email, 100, "e-mail address"},
    {"Url", &ImportedContact::url, 255, "web address"},
    {"Note", &ImportedContact::note, 0, "remarks"},
};

// The same expressions as the key indexes of the database, so that every
// look-up is served by them.
const char *const kPhoneExpression =
    "replace(replace(replace(replace(replace(replace(replace(%1, ' ', ''), '-', ''), '(', ''), "
    "')', ''), '.', ''), '/', ''), '+', '')";

QString PhoneLookup(const char *column) {
    return QStringLiteral("SELECT ContactID FROM Contacts WHERE %1 = ?1 LIMIT 1")
        .arg(QString::fromLatin1(kPhoneExpression).arg(QLatin1String(column)));
}

// Letter case beyond ASCII and accents ignored, blanks collapsed.
QString Folded(const QString &text) {
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString result;
    result.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.category() != QChar::Mark_NonSpacing)
            result.append(c);
    }
    return result.toCaseFolded().simplified();
}

// What SQL's lower() does: ASCII letters only.
QString AsciiLower(QString text) {
    for (QChar &c : text) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + 32);
    }
    return text;
}

TValue TextValue(const QString &text) {
    return text.isEmpty() ? TValue() : TValue(text);
}

bool IsEmptyValue(const TValue &value) {
    return ValueIsNull(value) || value.toString().isEmpty();
}

qint64 FirstKey(TDBStatement &statement) {
    const qint64 key = statement.Step() ? statement.Column(0).toLongLong() : 0;
    statement.Reset();
    return key;
}

} // namespace

namespace {

// Rows are stored in batches: one statement writes many rows, since the
// search index does work at the end of every statement that writes it.
constexpr int kBatchRows = 64;
constexpr int kColumns = 16;

QString BatchInsert(int rows) {
    QString sql = QStringLiteral(
        "INSERT INTO Contacts (CompanyName, ContactPerson, State, City, Address, PostCode, Phone, "
        "Fax, Mobile, Email, Url, Note, CountryID, StatusID, LastCallDate, CallbackDate) VALUES ");
    for (int row = 0; row < rows; ++row) {
        sql += row ? QStringLiteral(", (") : QStringLiteral("(");
        for (int column = 0; column < kColumns; ++column)
            sql += (column ? QStringLiteral(", ?") : QStringLiteral("?")) +
                   QString::number(row * kColumns + column + 1);
        sql += QLatin1Char(')');
    }
    return sql;
}

} // namespace

// A row waiting for its batch, with the keys a later row could match it by.
struct ContactImporter::Pending {
    TValue values[kColumns];
    QString email;
    QStringList phones;
    QPair<QString, QString> name;
    bool hasName = false;
};

namespace {

// The variants of a row's name key that the look-up tries.
QList<QPair<QString, QString>> NameVariants(const ImportedContact &contact) {
    QList<QPair<QString, QString>> variants;
    if (contact.companyName.isEmpty() && contact.contactPerson.isEmpty())
        return variants;
    const QPair<QString, QString> texts[] = {
        {contact.companyName, contact.contactPerson},
        {contact.companyName.toLower(), contact.contactPerson.toLower()},
        {contact.companyName.toUpper(), contact.contactPerson.toUpper()}};
    for (const auto &text : texts) {
        const QPair<QString, QString> key(ContactImporter::NameKey(text.first),
                                          ContactImporter::NameKey(text.second));
        if (!variants.contains(key))
            variants << key;
    }
    return variants;
}

QStringList PhoneKeys(const ImportedContact &contact) {
    QStringList keys;
    for (const QString *number : {&contact.phone, &contact.mobile}) {
        const QString key = ContactImporter::PhoneKey(*number);
        // Too short to tell one contact from another.
        if (key.size() >= 6)
            keys << key;
    }
    return keys;
}

// Reads in one transaction, ended when the block is left.
class ReadTransaction {
public:
    explicit ReadTransaction(TDBConnection &connection) : connection_(connection) {
        auto begin = connection_.Prepare(QStringLiteral("BEGIN"));
        begin->Step();
        begin->Reset();
    }
    ~ReadTransaction() {
        try {
            auto end = connection_.Prepare(QStringLiteral("COMMIT"));
            end->Step();
            end->Reset();
        } catch (...) {
            // A read transaction holds nothing to keep.
        }
    }

private:
    TDBConnection &connection_;
};

} // namespace

struct ContactImporter::Prepared {
    std::unique_ptr<TDBStatement> email;
    std::unique_ptr<TDBStatement> phone;
    std::unique_ptr<TDBStatement> mobile;
    std::unique_ptr<TDBStatement> name;
    std::unique_ptr<TDBStatement> insert; // a whole batch
    std::unique_ptr<TDBStatement> stored;
    std::unique_ptr<TDBStatement> fillRecord;
    QHash<QString, std::shared_ptr<TDBStatement>> fill;
};

ContactImporter::ContactImporter(TDBConnection &connection, Defaults defaults)
    : connection_(connection), defaults_(defaults) {}

ContactImporter::~ContactImporter() = default;

namespace {
// More of the database in memory while a whole file is worked through.
class BulkWork {
public:
    explicit BulkWork(TDBConnection &connection) : connection_(connection) {
        connection_.SetBulkWork(true);
    }
    ~BulkWork() {
        try {
            connection_.SetBulkWork(false);
        } catch (...) {
            // Only the cache size stays larger; nothing is lost.
        }
    }

private:
    TDBConnection &connection_;
};
} // namespace

QString ContactImporter::EmailKey(const QString &email) {
    qsizetype begin = 0;
    qsizetype end = email.size();
    while (begin < end && email.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && email.at(end - 1) == QLatin1Char(' '))
        --end;
    return AsciiLower(email.mid(begin, end - begin));
}

QString ContactImporter::PhoneKey(const QString &phone) {
    QString key;
    key.reserve(phone.size());
    for (const QChar c : phone) {
        if (!QStringLiteral(" -()./+").contains(c))
            key.append(c);
    }
    return key;
}

QString ContactImporter::NameKey(const QString &text) {
    QString key = text;
    key.remove(QLatin1Char(' '));
    return AsciiLower(key);
}

void ContactImporter::CheckDatabase() {
    auto objects = connection_.Prepare(QStringLiteral(
        "SELECT count(*) FROM sqlite_master WHERE name IN ('Imports', 'ImportFills', "
        "'ContactsEmailKey', 'ContactsPhoneKey', 'ContactsMobileKey', 'ContactsNameKey')"));
    const qint64 found = FirstKey(*objects);
    if (found != 6)
        throw EImportError(QStringLiteral(
            "This database was made by an earlier version and has no record of imports. Bring "
            "it up to date with the command \"corvana-db upgrade\" and the database file, then "
            "import again."));
}

void ContactImporter::LoadLookups() {
    countries_.clear();
    statuses_.clear();
    auto countries = connection_.Prepare(QStringLiteral("SELECT CountryID, Name FROM Countries"));
    while (countries->Step())
        countries_.insert(Folded(countries->Column(1).toString()), countries->Column(0).toInt());
    countries->Reset();
    auto statuses = connection_.Prepare(QStringLiteral("SELECT StatusID, Name FROM Status"));
    while (statuses->Step())
        statuses_.insert(Folded(statuses->Column(1).toString()), statuses->Column(0).toInt());
    statuses->Reset();

    prepared_ = std::make_unique<Prepared>();
    Prepared &p = *prepared_;
    p.email = connection_.Prepare(
        QStringLiteral("SELECT ContactID FROM Contacts WHERE lower(trim(Email)) = ?1 LIMIT 1"));
    p.phone = connection_.Prepare(PhoneLookup("Phone"));
    p.mobile = connection_.Prepare(PhoneLookup("Mobile"));
    p.name = connection_.Prepare(QStringLiteral(
        "SELECT ContactID FROM Contacts WHERE lower(replace(coalesce(CompanyName, ''), ' ', '')) "
        "= ?1 AND lower(replace(coalesce(ContactPerson, ''), ' ', '')) = ?2 LIMIT 1"));
    p.insert = connection_.Prepare(BatchInsert(kBatchRows));
    pending_.clear();
    firstAdded_ = 0;
    lastAdded_ = 0;
    p.stored = connection_.Prepare(QStringLiteral(
        "SELECT CompanyName, ContactPerson, State, City, Address, PostCode, Phone, Fax, Mobile, "
        "Email, Url, Note, CountryID FROM Contacts WHERE ContactID = ?1"));
    p.fillRecord = connection_.Prepare(
        QStringLiteral("INSERT INTO ImportFills (ImportID, ContactID, FieldName, OldValue, "
                       "NewValue) VALUES (?1, ?2, ?3, ?4, ?5)"));
}

void ContactImporter::Complete(ImportedContact &contact, int *countryId, int *statusId) const {
    for (const TextField &field : kTextFields) {
        QString &value = contact.*field.member;
        value = value.trimmed();
        if (field.size > 0 && value.size() > field.size)
            throw EImportError(
                QStringLiteral("Line %1: the %2 is longer than %3 characters; nothing was "
                               "imported.")
                    .arg(contact.line)
                    .arg(QLatin1String(field.caption))
                    .arg(field.size));
    }
    *countryId = defaults_.countryId;
    const QString country = contact.country.trimmed();
    if (!country.isEmpty()) {
        const auto found = countries_.constFind(Folded(country));
        if (found != countries_.constEnd()) {
            *countryId = found.value();
        } else {
            // The default country stands in; the file's name is kept.
            if (!contact.note.isEmpty())
                contact.note += QLatin1Char('\n');
            contact.note += QStringLiteral("Country: ") + country;
        }
    }
    *statusId = defaults_.statusId;
    if (!contact.status.trimmed().isEmpty()) {
        const auto found = statuses_.constFind(Folded(contact.status));
        if (found != statuses_.constEnd())
            *statusId = found.value();
    }
}

qint64 ContactImporter::FindDuplicate(const ImportedContact &contact) {
    Prepared &p = *prepared_;
    const QString email = EmailKey(contact.email);
    if (!email.isEmpty()) {
        p.email->Bind(1, email);
        if (const qint64 id = FirstKey(*p.email))
            return id;
    }
    for (const QString &key : PhoneKeys(contact)) {
        for (TDBStatement *lookup : {p.phone.get(), p.mobile.get()}) {
            lookup->Bind(1, key);
            if (const qint64 id = FirstKey(*lookup))
                return id;
        }
    }
    // The index folds ASCII letters only; trying the texts in lower and in
    // upper case as well finds a stored name written in either.
    for (const auto &key : NameVariants(contact)) {
        p.name->Bind(1, key.first);
        p.name->Bind(2, key.second);
        if (const qint64 id = FirstKey(*p.name))
            return id;
    }
    return 0;
}

bool ContactImporter::MayMatchPending(const ImportedContact &contact) const {
    if (pending_.isEmpty())
        return false;
    const QString email = EmailKey(contact.email);
    const QStringList phones = PhoneKeys(contact);
    const QList<QPair<QString, QString>> names = NameVariants(contact);
    for (const Pending &row : pending_) {
        if (!email.isEmpty() && row.email == email)
            return true;
        for (const QString &phone : phones)
            if (row.phones.contains(phone))
                return true;
        if (row.hasName && names.contains(row.name))
            return true;
    }
    return false;
}

void ContactImporter::Flush() {
    if (pending_.isEmpty())
        return;
    const int rows = int(pending_.size());
    std::unique_ptr<TDBStatement> remainder;
    TDBStatement &insert = rows == kBatchRows
                               ? *prepared_->insert
                               : *(remainder = connection_.Prepare(BatchInsert(rows)));
    int position = 1;
    for (const Pending &row : pending_)
        for (const TValue &value : row.values)
            insert.Bind(position++, value);
    insert.Step();
    insert.Reset();
    // The rows got consecutive keys: the transaction holds the write lock.
    lastAdded_ = connection_.LastInsertKey();
    if (!firstAdded_)
        firstAdded_ = lastAdded_ - rows + 1;
    pending_.clear();
}

ContactImporter::Counts ContactImporter::Count(ContactFile &file, const Progress &progress) {
    CheckDatabase();
    LoadLookups();
    BulkWork bulk(connection_);
    // One read transaction for every look-up, instead of one each.
    ReadTransaction read(connection_);
    Counts counts;
    file.Rewind();
    ImportedContact contact;
    int countryId = 0;
    int statusId = 0;
    while (file.Next(&contact)) {
        Complete(contact, &countryId, &statusId);
        ++counts.rows;
        if (FindDuplicate(contact))
            ++counts.duplicates;
        else
            ++counts.fresh;
        if (progress && counts.rows % 512 == 0 && !progress(file.Permille())) {
            counts.complete = false;
            break;
        }
    }
    return counts;
}

void ContactImporter::Insert(const ImportedContact &contact, int countryId, int statusId) {
    Pending row;
    int column = 0;
    for (const TextField &field : kTextFields)
        row.values[column++] = TextValue(contact.*field.member);
    row.values[12] = countryId;
    row.values[13] = statusId;
    const auto time = [&](const QDateTime &value) {
        return value.isValid() ? DateTimeValue::FromDateTime(value) : defaults_.now;
    };
    row.values[14] = time(contact.lastCallDate);
    row.values[15] = time(contact.callbackDate);
    row.email = EmailKey(contact.email);
    row.phones = PhoneKeys(contact);
    row.hasName = !contact.companyName.isEmpty() || !contact.contactPerson.isEmpty();
    row.name = {NameKey(contact.companyName), NameKey(contact.contactPerson)};
    pending_.append(std::move(row));
    if (pending_.size() == kBatchRows)
        Flush();
}

bool ContactImporter::FillEmpty(qint64 importId, qint64 contactId, const ImportedContact &contact,
                                int countryId) {
    Prepared &p = *prepared_;
    p.stored->Bind(1, contactId);
    if (!p.stored->Step()) {
        p.stored->Reset();
        return false;
    }
    QList<QPair<QString, QPair<TValue, TValue>>> changes; // column, old, new
    int index = 0;
    for (const TextField &field : kTextFields) {
        const TValue stored = p.stored->Column(index++);
        const QString &value = contact.*field.member;
        if (!value.isEmpty() && IsEmptyValue(stored))
            changes.append({QLatin1String(field.column), {stored, TValue(value)}});
    }
    const TValue storedCountry = p.stored->Column(index);
    if (ValueIsNull(storedCountry) && !contact.country.isEmpty())
        changes.append({QStringLiteral("CountryID"), {storedCountry, TValue(countryId)}});
    p.stored->Reset();

    for (const auto &change : changes) {
        std::shared_ptr<TDBStatement> &update = p.fill[change.first];
        // The column names come from the list above, never from the file.
        if (!update)
            update = connection_.Prepare(
                QStringLiteral("UPDATE Contacts SET %1 = ?1 WHERE ContactID = ?2")
                    .arg(change.first));
        update->Bind(1, change.second.second);
        update->Bind(2, contactId);
        update->Step();
        update->Reset();
        p.fillRecord->Bind(1, importId);
        p.fillRecord->Bind(2, contactId);
        p.fillRecord->Bind(3, change.first);
        p.fillRecord->Bind(4, change.second.first);
        p.fillRecord->Bind(5, change.second.second);
        p.fillRecord->Step();
        p.fillRecord->Reset();
    }
    return !changes.isEmpty();
}

ContactImporter::Result ContactImporter::Import(ContactFile &file, DuplicateChoice choice,
                                                const Progress &progress) {
    CheckDatabase();
    LoadLookups();
    BulkWork bulk(connection_);
    Result result;
    TDBWriteTransaction transaction(connection_);
    auto record = connection_.Prepare(
        QStringLiteral("INSERT INTO Imports (ImportedAt, FileName) VALUES (?1, ?2)"));
    record->Bind(1, DateTimeValue::FromDateTime(QDateTime::currentDateTime()));
    record->Bind(2, QFileInfo(file.Path()).absoluteFilePath());
    record->Step();
    record->Reset();
    const qint64 importId = connection_.LastInsertKey();

    qint64 rows = 0;
    file.Rewind();
    ImportedContact contact;
    int countryId = 0;
    int statusId = 0;
    while (file.Next(&contact)) {
        Complete(contact, &countryId, &statusId);
        qint64 duplicate = 0;
        if (choice != ImportDuplicates) {
            // A row waiting in the batch must be stored before it can be found.
            if (MayMatchPending(contact))
                Flush();
            duplicate = FindDuplicate(contact);
        }
        if (!duplicate) {
            Insert(contact, countryId, statusId);
            ++result.added;
        } else if (choice == FillEmptyFields &&
                   FillEmpty(importId, duplicate, contact, countryId)) {
            ++result.filled;
        } else {
            ++result.skipped;
        }
        if (progress && ++rows % 512 == 0 && !progress(file.Permille())) {
            // Leaving without Commit rolls everything back.
            result = Result();
            result.cancelled = true;
            return result;
        }
    }

    Flush();
    const qint64 first = firstAdded_;
    const qint64 last = lastAdded_;
    if (result.added == 0 && result.filled == 0) {
        // Nothing to undo: no record.
        auto drop = connection_.Prepare(QStringLiteral("DELETE FROM Imports WHERE ImportID = ?1"));
        drop->Bind(1, importId);
        drop->Step();
        drop->Reset();
    } else {
        auto finish = connection_.Prepare(QStringLiteral(
            "UPDATE Imports SET FirstContactID = ?1, LastContactID = ?2, Added = ?3, Filled = ?4, "
            "Skipped = ?5 WHERE ImportID = ?6"));
        finish->Bind(1, first ? TValue(first) : TValue());
        finish->Bind(2, last ? TValue(last) : TValue());
        finish->Bind(3, result.added);
        finish->Bind(4, result.filled);
        finish->Bind(5, result.skipped);
        finish->Bind(6, importId);
        finish->Step();
        finish->Reset();
    }
    transaction.Commit();
    result.firstAdded = first;
    if (progress)
        progress(1000);
    return result;
}

bool ContactImporter::CanUndo(TDBConnection &connection) {
    auto tables = connection.Prepare(
        QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'Imports'"));
    if (FirstKey(*tables) == 0)
        return false;
    auto any = connection.Prepare(QStringLiteral("SELECT count(*) FROM Imports"));
    return FirstKey(*any) > 0;
}

ContactImporter::Undone ContactImporter::UndoLast(TDBConnection &connection) {
    Undone undone;
    if (!CanUndo(connection))
        return undone;
    TDBWriteTransaction transaction(connection);
    auto last = connection.Prepare(QStringLiteral(
        "SELECT ImportID, FirstContactID, LastContactID FROM Imports ORDER BY ImportID DESC "
        "LIMIT 1"));
    if (!last->Step()) {
        last->Reset();
        return undone;
    }
    const qint64 importId = last->Column(0).toLongLong();
    const TValue first = last->Column(1);
    const TValue lastId = last->Column(2);
    last->Reset();
    undone.any = true;

    if (!ValueIsNull(first) && !ValueIsNull(lastId)) {
        auto count = connection.Prepare(
            QStringLiteral("SELECT count(*) FROM Contacts WHERE ContactID BETWEEN ?1 AND ?2"));
        count->Bind(1, first);
        count->Bind(2, lastId);
        undone.removed = FirstKey(*count);
        auto remove = connection.Prepare(
            QStringLiteral("DELETE FROM Contacts WHERE ContactID BETWEEN ?1 AND ?2"));
        remove->Bind(1, first);
        remove->Bind(2, lastId);
        remove->Step();
        remove->Reset();
    }

    QSet<QString> columns{QStringLiteral("CountryID")};
    for (const TextField &field : kTextFields)
        columns.insert(QLatin1String(field.column));
    auto fills = connection.Prepare(
        QStringLiteral("SELECT ContactID, FieldName, OldValue, NewValue FROM ImportFills WHERE "
                       "ImportID = ?1 ORDER BY rowid DESC"));
    fills->Bind(1, importId);
    struct Fill {
        qint64 contactId;
        QString column;
        TValue oldValue;
        TValue newValue;
    };
    QList<Fill> list;
    while (fills->Step()) {
        const QString column = fills->Column(1).toString();
        // Only the contact's own columns; the record is read, not trusted.
        if (columns.contains(column))
            list.append(
                {fills->Column(0).toLongLong(), column, fills->Column(2), fills->Column(3)});
    }
    fills->Reset();
    for (const Fill &fill : list) {
        // A field changed since the import keeps its newer value.
        auto restore = connection.Prepare(
            QStringLiteral("UPDATE Contacts SET %1 = ?1 WHERE ContactID = ?2 AND %1 IS ?3")
                .arg(fill.column));
        restore->Bind(1, fill.oldValue);
        restore->Bind(2, fill.contactId);
        restore->Bind(3, fill.newValue);
        restore->Step();
        restore->Reset();
        auto changed = connection.Prepare(QStringLiteral("SELECT changes()"));
        undone.restored += FirstKey(*changed);
    }

    for (const char *sql : {"DELETE FROM ImportFills WHERE ImportID = ?1",
                            "DELETE FROM Imports WHERE ImportID = ?1"}) {
        auto drop = connection.Prepare(QLatin1String(sql));
        drop->Bind(1, importId);
        drop->Step();
        drop->Reset();
    }
    transaction.Commit();
    return undone;
}
