#include "ui/main/VCardExportCommand.h"

#include "data/DBConnection.h"
#include "support/ModalAnswer.h"
#include "support/TempDatabase.h"
#include "support/TempHome.h"
#include "ui/controls/TDialogFolder.h"
#include "ui/controls/TErrorBox.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

QByteArray Read(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// What the scope dialog showed when it came up.
struct ShownScope {
    QString title;
    QStringList choices; // the radio buttons' texts
    QList<bool> checked; // in the same order
    QList<bool> enabled;
};

// Answers the scope dialog: notes what it shows, clicks the choice with
// `choice` as its text (none for an empty one), then OK, or Cancel when
// `cancel`.
std::unique_ptr<ModalAnswer<QDialog>> AnswerScope(ShownScope *shown, const QString &choice,
                                                  bool cancel = false) {
    return std::make_unique<ModalAnswer<QDialog>>([=](QDialog &dialog) {
        shown->title = dialog.windowTitle();
        for (QRadioButton *radio : dialog.findChildren<QRadioButton *>()) {
            shown->choices << radio->text();
            shown->checked << radio->isChecked();
            shown->enabled << radio->isEnabled();
            if (radio->text() == choice)
                radio->click();
        }
        auto *buttons = dialog.findChild<QDialogButtonBox *>();
        if (!buttons) {
            dialog.reject();
            return;
        }
        buttons->button(cancel ? QDialogButtonBox::Cancel : QDialogButtonBox::Ok)->click();
    });
}

// The command over a database with two contacts, the file it writes in the
// database's folder; what it tells and what the error box shows are caught.
class VCardExportCommandTest : public ::testing::Test {
protected:
    VCardExportCommandTest() {
        db.Exec("insert into Contacts (ContactID, CompanyName, ContactPerson) "
                "values (3, 'Acme', 'Anna Berg')");
        db.Exec("insert into Contacts (ContactID, CompanyName) values (8, 'Bloggs Ltd')");
        conn.SetConnectionString(db.ConnectionString());
        command.chooseFile = [this] {
            ++filesAsked;
            return file;
        };
        command.tell = [this](const QString &text) { told << text; };
        TErrorBox::ShowHook = [this](const QString &caption, const QString &text) {
            errorBoxes << caption + "|" + text;
        };
    }
    ~VCardExportCommandTest() override { TErrorBox::ShowHook = nullptr; }

    TempDatabase db;
    TDBConnection conn{"connDB"};
    QWidget window;
    VCardExportCommand command{conn, &window};
    QString file = db.Folder() + "out.vcf";
    int filesAsked = 0;
    QStringList told;
    QStringList errorBoxes;
};

TEST_F(VCardExportCommandTest, TheCurrentContactChosenInTheScopeDialogIsWrittenAlone) {
    ShownScope shown;
    const auto answer = AnswerScope(&shown, "&Current contact only");
    command.Run(3);
    ASSERT_TRUE(answer->Answered());
    EXPECT_FALSE(answer->LeftOpen());
    EXPECT_EQ(shown.title, "Export vCards");
    EXPECT_EQ(shown.choices, (QStringList{"&All contacts", "&Current contact only"}));
    EXPECT_EQ(shown.checked, (QList<bool>{true, false}));
    EXPECT_EQ(shown.enabled, (QList<bool>{true, true}));

    const QByteArray bytes = Read(file);
    EXPECT_EQ(bytes.count("BEGIN:VCARD"), 1);
    EXPECT_TRUE(bytes.contains("\r\nFN:Anna Berg\r\n")) << bytes.constData();
    EXPECT_EQ(told, QStringList{"1 contact written to " + file + "."});
    EXPECT_TRUE(errorBoxes.isEmpty());
}

TEST_F(VCardExportCommandTest, WithoutACurrentContactOnlyAllCanBeChosenAndAllAreWritten) {
    ShownScope shown;
    const auto answer = AnswerScope(&shown, "&Current contact only");
    command.Run(std::nullopt);
    ASSERT_TRUE(answer->Answered());
    EXPECT_EQ(shown.enabled, (QList<bool>{true, false}));
    const QByteArray bytes = Read(file);
    EXPECT_EQ(bytes.count("END:VCARD"), 2);
    // In key order: the person's card, then the company's.
    EXPECT_LT(bytes.indexOf("FN:Anna Berg"), bytes.indexOf("FN:Bloggs Ltd"));
    EXPECT_EQ(told, QStringList{"2 contacts written to " + file + "."});
}

TEST_F(VCardExportCommandTest, CancellingEitherDialogWritesNothing) {
    ShownScope shown;
    const auto answer = AnswerScope(&shown, QString(), true);
    command.Run(3);
    ASSERT_TRUE(answer->Answered());
    EXPECT_EQ(filesAsked, 0);

    command.chooseScope = [](bool) { return std::optional<bool>(false); };
    file.clear();
    command.Run(3);
    EXPECT_EQ(filesAsked, 1);
    EXPECT_FALSE(QFile::exists(db.Folder() + "out.vcf"));
    EXPECT_TRUE(told.isEmpty());
    EXPECT_TRUE(errorBoxes.isEmpty());
}

TEST_F(VCardExportCommandTest, TheSaveDialogOffersVcfFilesFromTheDocumentsFolderThenTheLastOne) {
    TempHome home;
    ASSERT_TRUE(home.IsValid());
    ASSERT_TRUE(home.MakeDocuments());
    TDialogFolder::Remember(QString());
    command.chooseScope = [](bool) { return std::optional<bool>(false); };
    command.chooseFile = nullptr;

    ShownFileDialog first, second;
    {
        ModalAnswer<QFileDialog> answer([&](QFileDialog &dialog) {
            first = ShownFileDialog::Of(dialog);
            TypeAndPressEnter(dialog, "book");
        });
        command.Run(3);
        ASSERT_TRUE(answer.Answered());
        EXPECT_FALSE(answer.LeftOpen());
    }
    EXPECT_EQ(first.title, "Export vCards");
    EXPECT_EQ(first.folder, home.Documents());
    EXPECT_EQ(first.type, "vCard files (*.vcf)");
    EXPECT_EQ(first.defaultSuffix, "vcf");
    EXPECT_EQ(Read(home.Documents() + "/book.vcf").count("BEGIN:VCARD"), 2);

    // The next run offers that file's name, selected, so a path typed
    // replaces it.
    {
        ModalAnswer<QFileDialog> answer([&](QFileDialog &dialog) {
            second = ShownFileDialog::Of(dialog);
            TypeAndPressEnter(dialog, db.Folder() + "other");
        });
        command.Run(3);
        ASSERT_TRUE(answer.Answered());
    }
    EXPECT_EQ(second.folder, home.Documents());
    EXPECT_EQ(second.nameBox, "book.vcf");
    EXPECT_EQ(second.selectedName, "book.vcf");
    EXPECT_EQ(Read(db.Folder() + "other.vcf").count("BEGIN:VCARD"), 2);
    EXPECT_TRUE(errorBoxes.isEmpty());
    TDialogFolder::Remember(QString());
}

TEST_F(VCardExportCommandTest, AFileThatCannotBeCreatedShowsTheErrorBoxUnderTheApplicationTitle) {
    command.chooseScope = [](bool) { return std::optional<bool>(false); };
    file = db.Folder() + "no such folder/out.vcf";
    // As the menu runs it.
    TErrorBox::Guard([this] { command.Run(3); });
    ASSERT_EQ(errorBoxes.size(), 1);
    EXPECT_TRUE(errorBoxes[0].startsWith(TErrorBox::ApplicationTitle() + "|Cannot create file " +
                                         file + ": "))
        << errorBoxes[0].toStdString();
    EXPECT_TRUE(told.isEmpty());
}

} // namespace
