// The preview's Save and Load through their real dialogs, answered as the
// user would: the names typed, the types chosen, where the dialogs open and
// the message box of a missing file.
#include "PreviewDriver.h"
#include "ReportTestSupport.h"
#include "ReportWithRows.h"
#include "reports/TQRCSVFilter.h"
#include "reports/TQRHTMLFilter.h"
#include "reports/TQRStandardPreview.h"
#include "reports/TQRTextFilter.h"
#include "support/ModalAnswer.h"
#include "ui/controls/TDialogFolder.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace ReportTest;

namespace {

QByteArray ReadAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool Ready(TQRStandardPreview *preview) {
    return preview->Item(QStringLiteral("Print"))->isEnabled();
}

// Picks a type in the file dialog's type list as the user does, by keys.
void ChooseType(QFileDialog &dialog, const QString &type) {
    auto *types = dialog.findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
    if (!types)
        return;
    const int wanted = types->findText(type);
    while (wanted > types->currentIndex())
        QTest::keyClick(types, Qt::Key_Down);
    while (wanted >= 0 && wanted < types->currentIndex())
        QTest::keyClick(types, Qt::Key_Up);
}

// One preview of a one-row report; `step` runs once the report is complete,
// with the preview, which is closed afterwards.
bool WithPreview(const std::function<void(TQRStandardPreview &)> &step) {
    ReportWithRows data(1);
    PreviewDriver driver([&](const QList<TQRStandardPreview *> &previews) {
        if (previews.size() != 1 || !Ready(previews[0]))
            return false;
        step(*previews[0]);
        previews[0]->close();
        return true;
    });
    data.report.Preview();
    return driver.Done();
}

// Triggers a tool bar item whose command opens a file dialog, and answers
// the dialog; false when none came up or it stayed open.
bool Answer(TQRStandardPreview &preview, const QString &item,
            const std::function<void(QFileDialog &)> &answer) {
    ModalAnswer<QFileDialog> answering(answer);
    preview.Item(item)->trigger();
    return answering.Answered() && !answering.LeftOpen();
}

class PreviewDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        MapReportFonts();
        ASSERT_TRUE(start.isValid());
        ASSERT_TRUE(other.isValid());
        // The dialogs open where a file was chosen last.
        TDialogFolder::Remember(start.filePath(QStringLiteral("earlier.QRP")));
    }
    void TearDown() override { TDialogFolder::Remember(QString()); }

    QTemporaryDir start;
    QTemporaryDir other;
};

TEST(PreviewDialogTypes, EachTypeGivesItsPatternsExtensionWhenItIsOnePlainOne) {
    EXPECT_EQ(TQRStandardPreview::DialogExtensions(
                  QStringLiteral("Folvane file(*.QRP)|*.QRP|HTML document (*.HTM)|*.HTM|"
                                 "All (*.*)|*.*|Web (*.htm *.html)|*.htm *.html|"
                                 "Any|*|Backup (*.qr?)|*.qr?")),
              (QStringList{"QRP", "HTM", "", "", "", ""}));
    // A description without its pattern is no type.
    EXPECT_EQ(TQRStandardPreview::DialogExtensions(QStringLiteral("Text file (*.TXT)")),
              QStringList());
}

TEST_F(PreviewDialogs, ANameTypedWithoutExtensionIsSavedAsQrp) {
    ShownFileDialog first, second;
    bool answered = false, again = false;
    ASSERT_TRUE(WithPreview([&](TQRStandardPreview &preview) {
        answered = Answer(preview, QStringLiteral("SaveReport"), [&](QFileDialog &dialog) {
            first = ShownFileDialog::Of(dialog);
            TypeAndPressEnter(dialog, QStringLiteral("contact"));
        });
        // A whole path typed: the file goes there, and the next Save opens
        // there with an empty name box.
        again = Answer(preview, QStringLiteral("SaveReport"), [&](QFileDialog &dialog) {
            second = ShownFileDialog::Of(dialog);
            TypeAndPressEnter(dialog, other.filePath(QStringLiteral("copy")));
        });
    }));
    ASSERT_TRUE(answered);
    EXPECT_EQ(first.title, "Save report");
    EXPECT_EQ(first.folder, start.path());
    EXPECT_EQ(first.nameBox, "");
    // No report form lives, so the saved report file is the only type.
    EXPECT_EQ(first.types, QStringList{"Folvane file(*.QRP)"});
    EXPECT_EQ(first.defaultSuffix, "QRP");
    EXPECT_EQ(QDir(start.path()).entryList(QDir::Files), QStringList{"contact.QRP"});
    const QByteArray saved = ReadAll(start.filePath(QStringLiteral("contact.QRP")));
    ASSERT_GT(saved.size(), 128);
    EXPECT_EQ(qFromLittleEndian<quint16>(saved.constData()), 3);
    EXPECT_EQ(qFromLittleEndian<qint32>(saved.constData() + 8), 1);

    ASSERT_TRUE(again);
    EXPECT_EQ(second.folder, start.path());
    EXPECT_EQ(second.nameBox, "");
    EXPECT_EQ(ReadAll(other.filePath(QStringLiteral("copy.QRP"))), saved);
    EXPECT_EQ(TDialogFolder::Current(), other.path());
}

TEST_F(PreviewDialogs, TheDefaultExtensionFollowsTheChosenExportType) {
    // While these live, the three export formats are offered.
    TQRHTMLFilter html;
    TQRCSVFilter csv;
    TQRTextFilter text;
    ShownFileDialog shown;
    QString suffixForHtml, suffixForText, renamed;
    bool answered = false;
    ASSERT_TRUE(WithPreview([&](TQRStandardPreview &preview) {
        answered = Answer(preview, QStringLiteral("SaveReport"), [&](QFileDialog &dialog) {
            shown = ShownFileDialog::Of(dialog);
            ChooseType(dialog, QStringLiteral("HTML document (*.HTM)"));
            suffixForHtml = dialog.defaultSuffix();
            TypeAndPressEnter(dialog, QStringLiteral("page"));
        });
        answered =
            answered && Answer(preview, QStringLiteral("SaveReport"), [&](QFileDialog &dialog) {
                ChooseType(dialog, QStringLiteral("Text file (*.TXT)"));
                suffixForText = dialog.defaultSuffix();
                TypeAndPressEnter(dialog, QStringLiteral("lines"));
            });
        // A name with the saved report's extension takes that of the type
        // chosen after it was typed.
        answered =
            answered && Answer(preview, QStringLiteral("SaveReport"), [&](QFileDialog &dialog) {
                QTest::keyClicks(ShownFileDialog::NameBox(dialog), QStringLiteral("table.QRP"));
                ChooseType(dialog, QStringLiteral("Comma Separated (*.CSV)"));
                renamed = ShownFileDialog::NameBox(dialog)->text();
                QTest::keyClick(ShownFileDialog::NameBox(dialog), Qt::Key_Return);
            });
    }));
    ASSERT_TRUE(answered);
    EXPECT_EQ(shown.types, (QStringList{"Folvane file(*.QRP)", "HTML document (*.HTM)",
                                        "Comma Separated (*.CSV)", "Text file (*.TXT)"}));
    EXPECT_EQ(shown.type, "Folvane file(*.QRP)");
    EXPECT_EQ(shown.defaultSuffix, "QRP");
    EXPECT_EQ(suffixForHtml, "HTM");
    EXPECT_EQ(suffixForText, "TXT");
    EXPECT_EQ(renamed, "table.CSV");
    EXPECT_EQ(QDir(start.path()).entryList(QDir::Files),
              (QStringList{"lines.TXT", "page.HTM", "table.CSV"}));
    EXPECT_TRUE(ReadAll(start.filePath(QStringLiteral("page.HTM"))).contains("<TABLE"));
    EXPECT_TRUE(ReadAll(start.filePath(QStringLiteral("table.CSV"))).contains("\"Row 1\""));
    EXPECT_TRUE(ReadAll(start.filePath(QStringLiteral("lines.TXT"))).contains("Row 1"));
    EXPECT_FALSE(ReadAll(start.filePath(QStringLiteral("lines.TXT"))).contains("<TABLE"));
}

TEST_F(PreviewDialogs, AMissingFileTypedForLoadIsReportedAndChangesNothing) {
    ShownFileDialog saveShown, loadShown;
    QString boxTitle, boxText;
    bool saved = false, answeredLoad = false, boxShown = false, boxLeftOpen = true;
    bool loadedAfterMissing = true, setupAfterMissing = false;
    QString pageAfterMissing, pageAfterLoad;
    bool loadedAfterLoad = false, setupAfterLoad = true, secondBox = true;
    ASSERT_TRUE(WithPreview([&](TQRStandardPreview &preview) {
        saved = Answer(preview, QStringLiteral("SaveReport"), [&](QFileDialog &dialog) {
            saveShown = ShownFileDialog::Of(dialog);
            TypeAndPressEnter(dialog, other.filePath(QStringLiteral("kept")));
        });
        {
            ModalAnswer<QMessageBox> box([&](QMessageBox &shown) {
                boxTitle = shown.windowTitle();
                boxText = shown.text();
                shown.button(QMessageBox::Ok)->click();
            });
            answeredLoad = Answer(preview, QStringLiteral("LoadReport"), [&](QFileDialog &dialog) {
                loadShown = ShownFileDialog::Of(dialog);
                TypeAndPressEnter(dialog, QStringLiteral("missing.QRP"));
            });
            boxShown = box.Answered();
            boxLeftOpen = box.LeftOpen();
        }
        loadedAfterMissing = preview.QRPrinter()->LoadedFromFile();
        setupAfterMissing = preview.Item(QStringLiteral("PrintSetup"))->isEnabled();
        pageAfterMissing = preview.StatusPanel(1)->text();

        // No box this time; one shown all the same is answered, so the test
        // fails instead of waiting.
        ModalAnswer<QMessageBox> noBox([](QMessageBox &shown) { shown.reject(); });
        Answer(preview, QStringLiteral("LoadReport"),
               [&](QFileDialog &dialog) { TypeAndPressEnter(dialog, QStringLiteral("kept.QRP")); });
        secondBox = noBox.Answered();
        loadedAfterLoad = preview.QRPrinter()->LoadedFromFile();
        setupAfterLoad = preview.Item(QStringLiteral("PrintSetup"))->isEnabled();
        pageAfterLoad = preview.StatusPanel(1)->text();
    }));
    ASSERT_TRUE(saved);
    ASSERT_TRUE(answeredLoad);
    EXPECT_EQ(loadShown.title, "Load report");
    EXPECT_EQ(loadShown.types, QStringList{"Folvane file (*.QRP)"});
    // Load opens where Save put the file.
    EXPECT_EQ(saveShown.folder, start.path());
    EXPECT_EQ(loadShown.folder, other.path());
    EXPECT_EQ(loadShown.nameBox, "");

    ASSERT_TRUE(boxShown);
    EXPECT_FALSE(boxLeftOpen);
    EXPECT_EQ(boxTitle, "Corvana");
    EXPECT_EQ(boxText, "File does not exist");
    EXPECT_FALSE(loadedAfterMissing);
    EXPECT_TRUE(setupAfterMissing);
    EXPECT_EQ(pageAfterMissing, "Page 1 of 1");
    EXPECT_FALSE(QFileInfo::exists(other.filePath(QStringLiteral("missing.QRP"))));

    EXPECT_FALSE(secondBox);
    EXPECT_TRUE(loadedAfterLoad);
    EXPECT_FALSE(setupAfterLoad);
    EXPECT_EQ(pageAfterLoad, "Page 1 of 1");
}

} // namespace
