// Where the program's file dialogs open, and what their name box holds,
// with a real dialog answered as the user would.
#include "ui/controls/TDialogFolder.h"
#include "support/ModalAnswer.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class DialogFolder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.IsValid());
        ASSERT_TRUE(elsewhere.isValid());
        TDialogFolder::Remember(QString());
    }
    void TearDown() override { TDialogFolder::Remember(QString()); }

    TempHome home;
    QTemporaryDir elsewhere;
};

TEST_F(DialogFolder, DocumentsFirstHomeWithoutThemThenTheFolderOfTheLastFile) {
    EXPECT_EQ(TDialogFolder::Current(), home.Path());
    ASSERT_TRUE(home.MakeDocuments());
    EXPECT_EQ(TDialogFolder::Current(), home.Documents());

    TDialogFolder::Remember(elsewhere.filePath(QStringLiteral("report.QRP")));
    EXPECT_EQ(TDialogFolder::Current(), elsewhere.path());

    // A folder that has gone since is passed over.
    ASSERT_TRUE(QDir(elsewhere.path()).mkdir(QStringLiteral("gone")));
    TDialogFolder::Remember(elsewhere.filePath(QStringLiteral("gone/report.QRP")));
    EXPECT_EQ(TDialogFolder::Current(), elsewhere.filePath(QStringLiteral("gone")));
    ASSERT_TRUE(QDir(elsewhere.path()).rmdir(QStringLiteral("gone")));
    EXPECT_EQ(TDialogFolder::Current(), home.Documents());

    TDialogFolder::Remember(elsewhere.filePath(QStringLiteral("report.QRP")));
    TDialogFolder::Remember(QString());
    EXPECT_EQ(TDialogFolder::Current(), home.Documents());
}

TEST_F(DialogFolder, RunShowsOnlyTheFileNameAndRemembersTheChosenFolder) {
    ASSERT_TRUE(home.MakeDocuments());
    QFileDialog dialog(nullptr, QStringLiteral("Save"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog);

    // The previous file's folder is not the dialog's: only its name shows,
    // selected, so the name typed replaces it.
    ShownFileDialog first;
    QString chosen;
    {
        ModalAnswer<QFileDialog> answer([&](QFileDialog &shown) {
            first = ShownFileDialog::Of(shown);
            TypeAndPressEnter(shown, elsewhere.filePath(QStringLiteral("new.txt")));
        });
        chosen = TDialogFolder::Run(dialog, QStringLiteral("/somewhere/else/old.txt"));
        ASSERT_TRUE(answer.Answered());
        EXPECT_FALSE(answer.LeftOpen());
    }
    EXPECT_EQ(first.folder, home.Documents());
    EXPECT_EQ(first.nameBox, "old.txt");
    EXPECT_EQ(first.selectedName, "old.txt");
    EXPECT_EQ(chosen, elsewhere.filePath(QStringLiteral("new.txt")));
    EXPECT_EQ(TDialogFolder::Current(), elsewhere.path());

    // A name typed and cancelled is gone the next time; the folder stays.
    QString cancelled = QStringLiteral("unset");
    {
        ModalAnswer<QFileDialog> answer([](QFileDialog &shown) {
            QTest::keyClicks(ShownFileDialog::NameBox(shown), QStringLiteral("typed"));
            shown.reject();
        });
        cancelled = TDialogFolder::Run(dialog);
        ASSERT_TRUE(answer.Answered());
    }
    EXPECT_EQ(cancelled, "");
    EXPECT_EQ(TDialogFolder::Current(), elsewhere.path());
    ShownFileDialog again;
    {
        ModalAnswer<QFileDialog> answer([&](QFileDialog &shown) {
            again = ShownFileDialog::Of(shown);
            shown.reject();
        });
        TDialogFolder::Run(dialog);
        ASSERT_TRUE(answer.Answered());
    }
    EXPECT_EQ(again.folder, elsewhere.path());
    EXPECT_EQ(again.nameBox, "");
}

} // namespace
