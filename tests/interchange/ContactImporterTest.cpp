// The importer against a model: random imports with each choice for
// duplicates, undos and edits by the user in between, checked after every
// step against a plain list of contacts that follows the duplicate rules
// written out here. Then what must store nothing: a cancel, a malformed
// file, a database without the import record; and the look-ups' use of the
// key indexes.

#include "interchange/ContactImporter.h"
#include "data/DBConnection.h"
#include "interchange/ContactFile.h"
#include "support/TempDatabase.h"

#include <QFile>
#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <map>

namespace {

struct Person {
    QString company, person, email, phone, mobile, city, note;
    int countryId = 0;
};

// The keys as a reader of the rules would write them, not as the importer
// computes them.
QString Lower(const QString &text) {
    return text.toLower(); // the model's names are ASCII
}
QString EmailKey(const QString &email) {
    return Lower(email.trimmed());
}
QString PhoneKey(QString phone) {
    for (const char *separator : {" ", "-", "(", ")", ".", "/", "+"})
        phone.remove(QLatin1String(separator));
    return phone;
}
QString NameKey(const QString &text) {
    return Lower(QString(text).remove(QLatin1Char(' ')));
}

class Model {
public:
    std::map<qint64, Person> contacts;
    qint64 nextId = 1;
    struct Import {
        QList<qint64> added;
        QList<std::pair<qint64, std::pair<QString, QString>>> filled; // id, field, value
    };
    QList<Import> imports;

    qint64 Find(const Person &row) const {
        auto first = [&](auto matches) -> qint64 {
            for (const auto &[id, c] : contacts)
                if (matches(c))
                    return id;
            return 0;
        };
        if (!EmailKey(row.email).isEmpty())
            if (qint64 id = first(
                    [&](const Person &c) { return EmailKey(c.email) == EmailKey(row.email); }))
                return id;
        for (const QString &number : {row.phone, row.mobile}) {
            const QString key = PhoneKey(number);
            if (key.size() < 6)
                continue;
            if (qint64 id = first([&](const Person &c) { return PhoneKey(c.phone) == key; }))
                return id;
            if (qint64 id = first([&](const Person &c) { return PhoneKey(c.mobile) == key; }))
                return id;
        }
        if (row.company.isEmpty() && row.person.isEmpty())
            return 0;
        return first([&](const Person &c) {
            return NameKey(c.company) == NameKey(row.company) &&
                   NameKey(c.person) == NameKey(row.person);
        });
    }

    void Apply(const QList<Person> &rows, ContactImporter::DuplicateChoice choice) {
        Import import;
        for (const Person &row : rows) {
            const qint64 match = choice == ContactImporter::ImportDuplicates ? 0 : Find(row);
            if (!match) {
                contacts[nextId] = row;
                import.added << nextId++;
            } else if (choice == ContactImporter::FillEmptyFields) {
                Person &c = contacts[match];
                const std::pair<QString *, QString> fields[] = {
                    {&c.company, row.company}, {&c.person, row.person}, {&c.email, row.email},
                    {&c.phone, row.phone},     {&c.mobile, row.mobile}, {&c.city, row.city},
                    {&c.note, row.note}};
                const char *names[] = {"company", "person", "email", "phone",
                                       "mobile",  "city",   "note"};
                for (int i = 0; i < 7; ++i) {
                    if (fields[i].first->isEmpty() && !fields[i].second.isEmpty()) {
                        *fields[i].first = fields[i].second;
                        import.filled << std::make_pair(
                            match, std::make_pair(QString::fromLatin1(names[i]), fields[i].second));
                    }
                }
            }
        }
        if (!import.added.isEmpty() || !import.filled.isEmpty())
            imports << import;
    }

    void Undo() {
        if (imports.isEmpty())
            return;
        const Import import = imports.takeLast();
        for (qint64 id : import.added)
            contacts.erase(id);
        for (auto it = import.filled.rbegin(); it != import.filled.rend(); ++it) {
            auto found = contacts.find(it->first);
            if (found == contacts.end())
                continue;
            Person &c = found->second;
            QString *field = it->second.first == "company"  ? &c.company
                             : it->second.first == "person" ? &c.person
                             : it->second.first == "email"  ? &c.email
                             : it->second.first == "phone"  ? &c.phone
                             : it->second.first == "mobile" ? &c.mobile
                             : it->second.first == "city"   ? &c.city
                                                            : &c.note;
            // A value the user changed since stays.
            if (*field == it->second.second)
                field->clear();
        }
    }

    std::string Rows() const {
        QStringList rows;
        for (const auto &[id, c] : contacts)
            rows << QStringList{QString::number(id),
                                c.company,
                                c.person,
                                c.email,
                                c.phone,
                                c.mobile,
                                c.city,
                                c.note,
                                QString::number(c.countryId)}
                        .join(QLatin1Char('|'));
        return rows.join(QLatin1Char('\n')).toStdString();
    }
};

std::string StoredRows(const TempDatabase &db) {
    return db
        .Rows(QStringLiteral(
            "SELECT ContactID, coalesce(CompanyName, ''), coalesce(ContactPerson, ''), "
            "coalesce(Email, ''), coalesce(Phone, ''), coalesce(Mobile, ''), coalesce(City, ''), "
            "coalesce(Note, ''), CountryID FROM Contacts ORDER BY ContactID"))
        .join(QLatin1Char('\n'))
        .toStdString();
}

QByteArray Quoted(const QString &text) {
    return '"' + text.toUtf8().replace('"', "\"\"") + '"';
}

class ImporterModel : public ::testing::Test {
protected:
    ImporterModel() {
        connection.SetConnectionString(db.ConnectionString());
        austria =
            db.Scalar(QStringLiteral("SELECT CountryID FROM Countries WHERE Name = 'Austria'"))
                .toInt();
    }

    // Rows drawn from a few people, each written in several ways: the e-mail
    // in other letter case and with blanks, the phone with other separators,
    // the names in other case and spacing; fields left out at random.
    QList<Person> RandomRows(int count) {
        static const char *companies[] = {"Acme Ltd", "Birch & Co", "Cobalt, Inc", "Dune"};
        static const char *people[] = {"Ann Lee", "Bo Ng", "Cy Moss", "Di Roe"};
        QList<Person> rows;
        for (int i = 0; i < count; ++i) {
            const int who = int(random.bounded(4));
            const bool shout = random.bounded(2);
            Person row;
            auto maybe = [&](const QString &text) { return random.bounded(3) ? text : QString(); };
            QString company = QString::fromLatin1(companies[who]);
            QString person = QString::fromLatin1(people[who]);
            row.company = maybe(shout ? company.toUpper() : company);
            row.person = maybe(
                shout ? person.toUpper().replace(QLatin1Char(' '), QStringLiteral("  ")) : person);
            const QString email = QStringLiteral("%1@%2.example").arg(people[who][0]).arg(who);
            row.email = maybe(shout ? QStringLiteral(" ") + email.toUpper() : email).trimmed();
            const QString digits = QStringLiteral("0201555%1%1").arg(who);
            row.phone = maybe(shout ? QStringLiteral("+(020) 1555-%1%1").arg(who) : digits);
            row.mobile = maybe(QStringLiteral("07700 9000%1").arg(who));
            row.city = maybe(QStringLiteral("Town %1").arg(random.bounded(3)));
            const int country = int(random.bounded(3));
            row.countryId =
                country == 0 ? austria : 1; // Austria, or the default for none or unknown
            if (country == 2)
                row.note = QStringLiteral("Country: Atlantis");
            row.city = maybe(row.city);
            rows << row;
        }
        return rows;
    }

    QString WriteCsv(const QList<Person> &rows) {
        QByteArray bytes =
            "Company,Contact,E-mail Address,Business Phone,Mobile Phone,City,Country\r\n";
        for (const Person &row : rows) {
            const QString countryText =
                row.countryId == austria
                    ? QStringLiteral("AUSTRIA")
                    : (row.note.isEmpty() ? QString() : QStringLiteral("Atlantis"));
            bytes += QList<QByteArray>{Quoted(row.company), Quoted(row.person), Quoted(row.email),
                                       Quoted(row.phone),   Quoted(row.mobile), Quoted(row.city),
                                       Quoted(countryText)}
                         .join(',') +
                     "\r\n";
        }
        const QString path = db.Folder() + QStringLiteral("rows.csv");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return path;
    }

    TempDatabase db;
    int austria = 0;
    TDBConnection connection;
    QRandomGenerator random{7};
    ContactImporter::Defaults defaults{45000, 1, 1};
};

TEST_F(ImporterModel, RandomImportsUndosAndEditsFollowTheModel) {
    Model model;
    for (int step = 0; step < 60; ++step) {
        const int op = int(random.bounded(10));
        if (op < 6) {
            const QList<Person> rows = RandomRows(1 + int(random.bounded(6)));
            const auto choice = ContactImporter::DuplicateChoice(random.bounded(3));
            ContactFile file(WriteCsv(rows));
            ContactImporter importer(connection, defaults);
            const ContactImporter::Counts counts = importer.Count(file);
            qint64 duplicates = 0;
            for (const Person &row : rows)
                duplicates += model.Find(row) != 0;
            EXPECT_EQ(counts.duplicates, duplicates) << "step " << step;
            importer.Import(file, choice);
            model.Apply(rows, choice);
        } else if (op < 8) {
            ContactImporter::UndoLast(connection);
            model.Undo();
        } else if (!model.contacts.empty()) {
            // The user fills in or changes a city.
            auto it = model.contacts.begin();
            std::advance(it, random.bounded(int(model.contacts.size())));
            it->second.city = QStringLiteral("Edited %1").arg(step);
            db.Exec(QStringLiteral("UPDATE Contacts SET City = '%1' WHERE ContactID = %2")
                        .arg(it->second.city)
                        .arg(it->first));
        }
        ASSERT_EQ(StoredRows(db), model.Rows()) << "step " << step;
    }
    while (!model.imports.isEmpty()) {
        ContactImporter::UndoLast(connection);
        model.Undo();
        ASSERT_EQ(StoredRows(db), model.Rows());
    }
    EXPECT_FALSE(ContactImporter::CanUndo(connection));
}

TEST_F(ImporterModel, CancelMalformedAndOldDatabasesStoreNothing) {
    const QString path = WriteCsv(RandomRows(2000));
    const std::string before = StoredRows(db);
    {
        ContactFile file(path);
        ContactImporter importer(connection, defaults);
        int calls = 0;
        const auto result = importer.Import(file, ContactImporter::ImportDuplicates,
                                            [&](int) { return ++calls < 2; });
        EXPECT_TRUE(result.cancelled);
        EXPECT_EQ(StoredRows(db), before);
        EXPECT_FALSE(ContactImporter::CanUndo(connection));
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("\"Never closed,a@b.example\r\n");
    file.close();
    for (int pass = 0; pass < 2; ++pass) {
        ContactFile contacts(path);
        ContactImporter importer(connection, defaults);
        try {
            pass == 0 ? (void)importer.Count(contacts)
                      : (void)importer.Import(contacts, ContactImporter::ImportDuplicates);
            ADD_FAILURE() << "a malformed file was taken";
        } catch (const EImportError &error) {
            EXPECT_TRUE(error.Message().startsWith("Line 2002:")) << error.what();
        }
        EXPECT_EQ(StoredRows(db), before);
    }
    db.Exec(QStringLiteral("DROP TABLE ImportFills"));
    ContactImporter importer(connection, defaults);
    try {
        importer.CheckDatabase();
        ADD_FAILURE() << "a database without the import record was taken";
    } catch (const EImportError &error) {
        EXPECT_TRUE(error.Message().contains("corvana-db upgrade")) << error.what();
    }
}

TEST_F(ImporterModel, EveryLookUpGoesThroughAKeyIndex) {
    const QString phone = QStringLiteral(
        "replace(replace(replace(replace(replace(replace(replace(%1, ' ', ''), '-', ''), '(', ''), "
        "')', ''), '.', ''), '/', ''), '+', '')");
    const std::pair<QString, const char *> lookups[] = {
        {QStringLiteral("lower(trim(Email)) = 'a'"), "ContactsEmailKey"},
        {phone.arg("Phone") + QStringLiteral(" = '1'"), "ContactsPhoneKey"},
        {phone.arg("Mobile") + QStringLiteral(" = '1'"), "ContactsMobileKey"},
        {QStringLiteral("lower(replace(coalesce(CompanyName, ''), ' ', '')) = 'a' AND "
                        "lower(replace(coalesce(ContactPerson, ''), ' ', '')) = 'b'"),
         "ContactsNameKey"}};
    for (const auto &[where, index] : lookups) {
        const QString plan =
            db.Rows(QStringLiteral("EXPLAIN QUERY PLAN SELECT ContactID FROM Contacts WHERE ") +
                    where)
                .join(' ');
        EXPECT_TRUE(plan.contains(QLatin1String(index))) << plan.toStdString();
    }
}

} // namespace
