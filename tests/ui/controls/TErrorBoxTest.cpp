#include "ui/controls/TErrorBox.h"
#include "ErrorBoxCapture.h"
#include "data/DatabaseErrors.h"
#include "ui/controls/TApplication.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <stdexcept>

TEST(ErrorBoxText, FullStopAddedOnlyAfterCharactersAboveIt) {
    struct Case {
        QString message;
        QString shown;
    };
    const Case cases[] = {
        {"Disk is full", "Disk is full."},
        {"Row 42", "Row 42."},
        {"Is it open?", "Is it open?."},
        {"See c:", "See c:."},
        {"path a/", "path a/."},
        {QString::fromUtf8("Caf\xC3\xA9"), QString::fromUtf8("Caf\xC3\xA9.")},
        {"Already ends.", "Already ends."},
        {"Stop!", "Stop!"},
        {"(closed)", "(closed)"},
        {"trailing ", "trailing "},
        {"dash-", "dash-"},
        {"comma,", "comma,"},
        {"\"quoted\"", "\"quoted\""},
        {"", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TErrorBox::MessageText(c.message), c.shown) << c.message.toStdString();
}

TEST(ErrorBoxText, TitleIsTheFileNameUpToItsFirstDotWithTheRestLowered) {
    EXPECT_EQ(TErrorBox::TitleFromProgramPath("/opt/some.dir/CorVANA.Exe"), "Corvana");
    EXPECT_EQ(TErrorBox::TitleFromProgramPath("/opt/MyProg.tar.gz"), "Myprog");
    EXPECT_EQ(TErrorBox::TitleFromProgramPath("/usr/bin/corvana"), "corvana");
    EXPECT_EQ(TErrorBox::TitleFromProgramPath("/usr/bin/X"), "X");
}

TEST(ErrorBoxText, TheProgramsApplicationObjectGivesTheTitle) {
    // The tests run under TApplication, as the program does: its title, not
    // the test program file's name.
    ASSERT_NE(qobject_cast<TApplication *>(QCoreApplication::instance()), nullptr);
    EXPECT_EQ(TErrorBox::ApplicationTitle(), "Corvana");
    // The name the desktop shows for a window without a caption of its own.
    EXPECT_EQ(QCoreApplication::applicationName(), "Corvana");
}

TEST(ErrorBoxShow, ShowsOwnAndStandardExceptionsButNotTheSilentAbort) {
    ErrorBoxCapture box;
    TErrorBox::Show(
        EDatabaseError("rsContacts: Cannot perform this operation on a closed dataset"));
    TErrorBox::Show(std::runtime_error("bad thing"));
    TErrorBox::Show(EAbort());
    ASSERT_EQ(box.shown.size(), 2u);
    EXPECT_EQ(box.shown[0].caption, "Corvana");
    EXPECT_EQ(box.shown[0].text, "rsContacts: Cannot perform this operation on a closed dataset.");
    EXPECT_EQ(box.shown[1].text, "bad thing.");
}

TEST(ErrorBoxShow, ShowCurrentHandlesAnyThrownType) {
    ErrorBoxCapture box;
    try {
        throw EAbort();
    } catch (...) {
        TErrorBox::ShowCurrent();
    }
    EXPECT_TRUE(box.shown.empty());
    try {
        throw 42;
    } catch (...) {
        TErrorBox::ShowCurrent();
    }
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "Unknown error.");
}

TEST(ErrorBoxShow, ReleasesTheMouseGrab) {
    ErrorBoxCapture box;
    QWidget window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.grabMouse();
    ASSERT_EQ(QWidget::mouseGrabber(), &window);
    TErrorBox::ShowMessage("grabbed");
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
}

TEST(ErrorBoxShow, RealBoxHasErrorIconOneOkButtonAndTheTitle) {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    bool seen = false;
    // The box is modal: inspect and close it from the nested event loop.
    QTimer::singleShot(0, [&] {
        auto *shown = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!shown)
            return;
        seen = true;
        title = shown->windowTitle();
        text = shown->text();
        icon = shown->icon();
        buttons = shown->standardButtons();
        shown->button(QMessageBox::Ok)->click();
    });
    TErrorBox::ShowMessage("Record not found");
    ASSERT_TRUE(seen);
    EXPECT_EQ(title, "Corvana");
    EXPECT_EQ(text, "Record not found.");
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

TEST(ErrorBoxApplication, ExceptionFromASlotIsShownAndTheProgramCarriesOn) {
    ErrorBoxCapture box;
    QPushButton button("Save");
    int ranAfterThrow = 0;
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] {
        ++clicks;
        if (clicks == 2)
            throw EAbort();
        throw EDatabaseError("rsContacts: Dataset not in edit or insert mode");
        ++ranAfterThrow;
    });
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));

    QTest::mouseClick(&button, Qt::LeftButton);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "rsContacts: Dataset not in edit or insert mode.");
    EXPECT_EQ(box.shown[0].caption, "Corvana");
    EXPECT_EQ(ranAfterThrow, 0);

    // The silent abort shows nothing; the button still works afterwards.
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(box.shown.size(), 1u);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks, 3);
    EXPECT_EQ(box.shown.size(), 2u);
}

TEST(ErrorBoxApplication, ExceptionFromATimerEventIsShownAndTheLoopGoesOn) {
    ErrorBoxCapture box;
    bool later = false;
    QTimer::singleShot(0, [] { throw std::runtime_error("timer failed"); });
    QTimer::singleShot(5, [&] { later = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return later; }, 2000));
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "timer failed.");
}
