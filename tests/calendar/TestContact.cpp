#include "TestContact.h"

#include "data/DBConnection.h"

#include <QStringList>

void TestContact::Insert(TDBConnection &connection) {
    auto insert = connection.Prepare(
        QStringLiteral("INSERT INTO Contacts (CompanyName, ContactPerson, Phone, Mobile, Email, "
                       "CallbackDate) VALUES (?1, ?2, ?3, ?4, ?5, ?6)"));
    const QString texts[] = {company, person, phone, mobile, email};
    for (int i = 0; i < 5; ++i)
        insert->Bind(i + 1, texts[i]);
    insert->Bind(6, callback);
    insert->Step();
    insert->Reset();
    id = connection.LastInsertKey();
}

QString TestContact::Summary() const {
    const QString name = company.trimmed().isEmpty() ? person : company;
    return (QStringLiteral("Call back ") + name).trimmed();
}

QString TestContact::Description() const {
    QStringList lines;
    const std::pair<QString, QString> parts[] = {{QStringLiteral("Company: "), company},
                                                 {QStringLiteral("Person: "), person},
                                                 {QStringLiteral("Phone: "), phone},
                                                 {QStringLiteral("Mobile: "), mobile},
                                                 {QStringLiteral("E-mail: "), email}};
    for (const auto &[label, value] : parts)
        if (!value.trimmed().isEmpty())
            lines << label + value;
    return lines.join(QLatin1Char('\n'));
}
