// Two program instances on one server database, each with its own
// connection and contact cursor, as two people in an office: conflicting
// saves never lose an update, a change by one is seen by the other at its
// next move, and a write transaction's new contacts get consecutive keys
// while the other instance adds contacts at the same time.
#include "data/DBConnection.h"
#include "data/DatabaseErrors.h"
#include "data/TableCursor.h"
#include "support/PgRawConnection.h"
#include "support/TempPgServer.h"

#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <thread>

namespace {

constexpr int kContacts = 5;

struct Instance {
    explicit Instance(const QString &connectionString) {
        conn.SetConnectionString(connectionString);
        rs.SetConnection(&conn);
        rs.SetTableName("Contacts");
        rs.SetIndexName("ContactID");
        rs.Open();
    }
    QString Phone() { return rs.FieldNamed("Phone")->TextValue(); }
    qint64 Id() { return rs.FieldNamed("ContactID")->Value().toLongLong(); }
    void GoTo(qint64 id) { ASSERT_TRUE(rs.Locate("ContactID", TValue(id))); }

    TDBConnection conn{"connDB"};
    TTableCursor rs{"rsContacts"};
};

class TwoPrograms : public ::testing::Test {
protected:
    void SetUp() override {
        conninfo = TempPgServer::Shared().CreateDatabase();
        PgRawConnection(conninfo).Exec(
            QStringLiteral("INSERT INTO \"Contacts\" (\"CompanyName\", \"Phone\") SELECT "
                           "'Company ' || g, '0' || g FROM generate_series(1, %1) g")
                .arg(kContacts));
        a = std::make_unique<Instance>(TempPgServer::ConnectionString(conninfo));
        b = std::make_unique<Instance>(TempPgServer::ConnectionString(conninfo));
    }
    QString StoredPhone(qint64 id) {
        return PgRawConnection(conninfo)
            .Scalar(QStringLiteral("SELECT \"Phone\" FROM \"Contacts\" WHERE \"ContactID\" = $1"),
                    {id})
            .toString();
    }

    QString conninfo;
    std::unique_ptr<Instance> a, b;
};

// Rounds of both instances editing the same contact from what each read,
// saving in a random order: the first save wins, the second is refused as a
// conflict and stores nothing; after reading the row again the loser's save
// goes through. The stored value is always the last accepted save.
TEST_F(TwoPrograms, ConflictingSavesNeverLoseAnUpdate) {
    std::mt19937 random(20261209);
    const qint64 id = 3;
    a->GoTo(id);
    b->GoTo(id);
    QString expected = StoredPhone(id);
    for (int round = 0; round < 40; ++round) {
        Instance *first = random() % 2 ? a.get() : b.get();
        Instance *second = first == a.get() ? b.get() : a.get();
        first->rs.Edit();
        second->rs.Edit();
        const QString firstValue = QStringLiteral("F%1").arg(round);
        const QString secondValue = QStringLiteral("S%1").arg(round);
        first->rs.FieldNamed("Phone")->SetTextValue(firstValue);
        second->rs.FieldNamed("Phone")->SetTextValue(secondValue);
        first->rs.Post();
        expected = firstValue;
        try {
            second->rs.Post();
            FAIL() << "round " << round << ": the second save overwrote the first";
        } catch (const EError &error) {
            EXPECT_NE(error.Message().indexOf("changed by another program"), -1)
                << error.Message().toStdString();
        }
        EXPECT_EQ(StoredPhone(id), expected) << "round " << round;
        // The loser drops its edit, reads the row again and saves on top of
        // the winner's value, which it now shows.
        second->rs.Cancel();
        second->GoTo(id);
        EXPECT_EQ(second->Phone(), expected);
        if (random() % 3 == 0) {
            second->rs.Edit();
            second->rs.FieldNamed("Phone")->SetTextValue(secondValue);
            second->rs.Post();
            expected = secondValue;
            first->GoTo(id);
        }
        EXPECT_EQ(StoredPhone(id), expected) << "round " << round;
        EXPECT_EQ(first->Phone(), expected) << "round " << round;
    }
}

// A save by one instance shows in the other when it next moves onto the row,
// without any refresh; a contact the other deleted is passed over.
TEST_F(TwoPrograms, AChangeByOneIsSeenByTheOtherAtItsNextMove) {
    a->GoTo(2);
    b->GoTo(1);
    a->rs.Edit();
    a->rs.FieldNamed("Phone")->SetTextValue("+44 20 7946 0018");
    a->rs.Post();
    b->rs.Next();
    ASSERT_EQ(b->Id(), 2);
    EXPECT_EQ(b->Phone(), "+44 20 7946 0018");

    a->GoTo(4);
    a->rs.Delete();
    b->GoTo(3);
    b->rs.Next();
    EXPECT_EQ(b->Id(), 5) << "the deleted contact is passed over";
    b->rs.Prior();
    EXPECT_EQ(b->Id(), 3);
}

// While one instance adds contacts in one write transaction (an import), the
// other's new contact waits for it: the transaction's keys are consecutive,
// so undoing the import by its range of keys removes its contacts only.
TEST_F(TwoPrograms, AWriteTransactionsNewContactsHaveConsecutiveKeys) {
    auto insert = a->conn.Prepare(QStringLiteral("insert into Contacts (CompanyName) values (?1)"));
    std::vector<qint64> imported;
    TDBWriteTransaction transaction(a->conn);
    for (int i = 0; i < 2; ++i) {
        insert->Bind(1, QStringLiteral("Imported %1").arg(i));
        insert->Step();
        insert->Reset();
        imported.push_back(a->conn.LastInsertKey());
        if (i == 0) {
            std::thread other([&] {
                b->rs.Insert();
                b->rs.FieldNamed("CompanyName")->SetTextValue("Typed meanwhile");
                b->rs.Post();
            });
            // The other instance's save is under way before the import adds
            // its second contact.
            QThread::msleep(400);
            insert->Bind(1, QStringLiteral("Imported 1"));
            insert->Step();
            insert->Reset();
            imported.push_back(a->conn.LastInsertKey());
            transaction.Commit();
            other.join();
            break;
        }
    }
    ASSERT_EQ(imported.size(), 2u);
    EXPECT_EQ(imported[1], imported[0] + 1);
    EXPECT_GT(b->Id(), imported[1]);
    EXPECT_EQ(b->rs.FieldNamed("CompanyName")->TextValue(), "Typed meanwhile");
}

} // namespace
