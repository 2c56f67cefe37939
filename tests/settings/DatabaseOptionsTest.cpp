// The Options dialog's Database page and the stored choice behind it.

#include "settings/DatabaseOptions.h"
#include "settings/DatabaseSettings.h"
#include "settings/GenFun.h"
#include "settings/TfrmOptions.h"
#include "support/TempDatabase.h"
#include "support/TempSettings.h"

#include "data/DBConnection.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <memory>

namespace {

class DatabasePage : public ::testing::Test {
protected:
    // The dialog as the Tools menu opens it, on the Database page.
    std::unique_ptr<TfrmOptions> Open() {
        connDB.SetConnectionString(db.ConnectionString());
        auto dialog = std::make_unique<TfrmOptions>();
        dialog->qryCountries.SetConnection(&connDB);
        dialog->qryCountries.Open();
        dialog->FormShow();
        dialog->show();
        dialog->PageControl1->setCurrentWidget(dialog->tabDatabase);
        return dialog;
    }
    static void TypeServer(DatabaseOptions &page) {
        QTest::mouseClick(page.rdoServer, Qt::LeftButton);
        for (auto [field, text] :
             {std::pair<QWidget *, const char *>{page.txtHost, "db.example.org"},
              {page.spnPort, "6543"},
              {page.txtDatabase, " Corvana Contacts "},
              {page.txtUser, "o'Brien"}}) {
            QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(field, text);
        }
    }
    static bool ServerFieldsEnabled(const DatabaseOptions &page) {
        const bool on = page.txtHost->isEnabled();
        for (QWidget *field : {(QWidget *)page.lblHost, (QWidget *)page.spnPort,
                               (QWidget *)page.txtDatabase, (QWidget *)page.txtUser})
            EXPECT_EQ(field->isEnabled(), on) << field->objectName().toStdString();
        return on;
    }

    TempSettings settings;
    TempDatabase db;
    TDBConnection connDB{QStringLiteral("connDB")};
};

TEST_F(DatabasePage, CancelStoresNothingOkStoresAndTheFieldsFollowTheChoice) {
    auto dialog = Open();
    EXPECT_TRUE(dialog->tabDatabase->rdoFile->isChecked());
    EXPECT_EQ(dialog->tabDatabase->spnPort->value(), 5432);
    EXPECT_FALSE(ServerFieldsEnabled(*dialog->tabDatabase));
    TypeServer(*dialog->tabDatabase);
    EXPECT_TRUE(ServerFieldsEnabled(*dialog->tabDatabase));
    QTest::mouseClick(dialog->btnCancel, Qt::LeftButton);
    EXPECT_EQ(GenFun::ReadRegString(GenFun::kKey, DatabaseSettings::kPlace, "<unset>"), "<unset>");

    dialog = Open();
    EXPECT_TRUE(dialog->tabDatabase->txtHost->text().isEmpty());
    TypeServer(*dialog->tabDatabase);
    QTest::mouseClick(dialog->btnOK, Qt::LeftButton);
    DatabaseSettings expected;
    expected.place = DatabaseSettings::Place::Server;
    expected.host = "db.example.org";
    expected.port = 6543;
    expected.database = "Corvana Contacts";
    expected.user = "o'Brien";
    EXPECT_EQ(DatabaseSettings::Read(), expected);

    // Shown as stored; back to this computer keeps the server's details.
    dialog = Open();
    EXPECT_EQ(dialog->tabDatabase->Shown(), expected);
    EXPECT_TRUE(ServerFieldsEnabled(*dialog->tabDatabase));
    QTest::mouseClick(dialog->tabDatabase->rdoFile, Qt::LeftButton);
    EXPECT_FALSE(ServerFieldsEnabled(*dialog->tabDatabase));
    QTest::mouseClick(dialog->btnOK, Qt::LeftButton);
    expected.place = DatabaseSettings::Place::ThisComputer;
    EXPECT_EQ(DatabaseSettings::Read(), expected);
}

TEST_F(DatabasePage, TabsInReadingOrderAndEveryControlFitsOnThePage) {
    auto dialog = Open();
    DatabaseOptions *page = dialog->tabDatabase;
    const std::vector<QWidget *> order{page->rdoFile, page->rdoServer,   page->txtHost,
                                       page->spnPort, page->txtDatabase, page->txtUser};
    for (size_t i = 1; i < order.size(); ++i) {
        QWidget *next = order[i - 1]->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus || next->focusProxy())
            next = next->nextInFocusChain();
        EXPECT_EQ(next, order[i]) << "after " << order[i - 1]->objectName().toStdString();
    }
    const QList<QWidget *> controls = page->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *control : controls) {
        EXPECT_TRUE(page->rect().contains(control->geometry()))
            << control->objectName().toStdString();
        for (QWidget *other : controls) {
            if (other != control) {
                EXPECT_FALSE(control->geometry().intersects(other->geometry()))
                    << control->objectName().toStdString() << " / "
                    << other->objectName().toStdString();
            }
        }
    }
    EXPECT_GE(page->lblNote->height(), page->lblNote->heightForWidth(page->lblNote->width()));
}

TEST(DatabaseSettingsStore, DamagedValuesReadAsTheirDefaults) {
    TempSettings settings;
    for (const auto &[place, port] : {std::pair<const char *, const char *>{"servre", "abc"},
                                      {"1", "65536"},
                                      {"Server ", "-1"},
                                      {"file", "54 32"}}) {
        GenFun::WriteRegString(GenFun::kKey, DatabaseSettings::kPlace, place);
        GenFun::WriteRegString(GenFun::kKey, DatabaseSettings::kPort, port);
        EXPECT_EQ(DatabaseSettings::Read().OnServer(), place[0] == 'S') << place;
        EXPECT_EQ(DatabaseSettings::Read().port, 5432) << port;
    }
    {
        // A type no one stores (a list) reads as nothing.
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Brennart", "Corvana");
        for (const QString &key : {DatabaseSettings::kPlace, DatabaseSettings::kHost})
            store.setValue(key, QStringList{"server", "7"});
    }
    EXPECT_EQ(DatabaseSettings::Read(), DatabaseSettings{});
}

TEST(DatabaseSettingsConninfo, EveryValueReadsBackThroughTheClientLibrary) {
    DatabaseSettings settings;
    settings.host = "db.example.org";
    settings.database = "Corvana Contacts";
    settings.user = "o'Brien \\ co";
    EXPECT_EQ(settings.Conninfo(), "host='db.example.org' port='5432' dbname='Corvana Contacts' "
                                   "user='o\\'Brien \\\\ co'");
    EXPECT_EQ(DatabaseSettings{}.Conninfo(), "port='5432'");

    // Random values of the characters that matter, parsed by libpq itself.
    const QString alphabet = QStringLiteral("ab ='\\\"\t;ü");
    QRandomGenerator random(20240611);
    auto text = [&] {
        QString value;
        for (int n = random.bounded(8); n > 0; --n)
            value += alphabet[random.bounded(int(alphabet.size()))];
        return value;
    };
    for (int round = 0; round < 300; ++round) {
        DatabaseSettings s;
        s.host = text();
        s.database = text();
        s.user = text();
        char *error = nullptr;
        PQconninfoOption *options = PQconninfoParse(s.Conninfo().toUtf8().constData(), &error);
        ASSERT_NE(options, nullptr) << s.Conninfo().toStdString() << ": " << error;
        std::map<std::string, QString> parsed;
        for (PQconninfoOption *option = options; option->keyword; ++option)
            if (option->val)
                parsed[option->keyword] = QString::fromUtf8(option->val);
        PQconninfoFree(options);
        EXPECT_EQ(parsed.size(),
                  size_t(1 + !s.host.trimmed().isEmpty() + !s.database.trimmed().isEmpty() +
                         !s.user.trimmed().isEmpty()));
        EXPECT_EQ(parsed["host"], s.host.trimmed()) << s.Conninfo().toStdString();
        EXPECT_EQ(parsed["dbname"], s.database.trimmed()) << s.Conninfo().toStdString();
        EXPECT_EQ(parsed["user"], s.user.trimmed()) << s.Conninfo().toStdString();
    }
}

} // namespace
