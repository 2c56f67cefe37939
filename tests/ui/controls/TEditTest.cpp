#include "ui/controls/TEdit.h"
#include "ErrorBoxCapture.h"
#include "data/DatabaseErrors.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <gtest/gtest.h>
#include <iterator>
#include <vector>

namespace {

struct KeyUp {
    int key;
    Qt::KeyboardModifiers shift;
};

class SearchEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        edit.OnKeyUp = [this](TEdit *sender, int key, Qt::KeyboardModifiers shift) {
            EXPECT_EQ(sender, &edit);
            keys.push_back({key, shift});
        };
        edit.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&edit));
        edit.setFocus();
    }

    TEdit edit;
    std::vector<KeyUp> keys;
};

} // namespace

TEST_F(SearchEditTest, EnterAndKeypadEnterReport13OnceAtRelease) {
    QTest::keyPress(&edit, Qt::Key_Return);
    EXPECT_TRUE(keys.empty());
    QTest::keyRelease(&edit, Qt::Key_Return);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].key, 13);
    EXPECT_EQ(keys[0].shift, Qt::NoModifier);

    QTest::keyClick(&edit, Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[1].key, 13);
    EXPECT_EQ(keys[1].shift, Qt::NoModifier);
}

TEST_F(SearchEditTest, OtherKeysReportTheirOwnCodesAndShiftState) {
    QTest::keyClicks(&edit, "a1");
    QTest::keyClick(&edit, Qt::Key_F, Qt::AltModifier);
    QTest::keyClick(&edit, Qt::Key_Escape);
    QTest::keyClick(&edit, Qt::Key_Left, Qt::ShiftModifier | Qt::ControlModifier);
    // The modifier keys report their own releases after the key they held.
    const int expected[] = {'A', '1', 'F', 18, 27, 37, 17, 16};
    ASSERT_EQ(keys.size(), std::size(expected));
    for (size_t i = 0; i < keys.size(); ++i)
        EXPECT_EQ(keys[i].key, expected[i]) << i;
    EXPECT_EQ(keys[2].shift, Qt::AltModifier);
    EXPECT_EQ(keys[5].shift, Qt::ShiftModifier | Qt::ControlModifier);
    for (const KeyUp &k : keys)
        EXPECT_NE(k.key, 13);
}

TEST_F(SearchEditTest, HeldKeyReportsOnceAtItsRealRelease) {
    for (int i = 0; i < 3; ++i) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r", i > 0);
        QApplication::sendEvent(&edit, &press);
        if (i < 2) {
            QKeyEvent repeatRelease(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, "\r", true);
            QApplication::sendEvent(&edit, &repeatRelease);
        }
    }
    EXPECT_TRUE(keys.empty());
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, "\r", false);
    QApplication::sendEvent(&edit, &release);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].key, 13);
}

TEST_F(SearchEditTest, ExceptionFromTheHandlerGoesToTheErrorBox) {
    ErrorBoxCapture box;
    edit.OnKeyUp = [](TEdit *, int, Qt::KeyboardModifiers) {
        throw EDatabaseError("qrySearch: Syntax error");
    };
    QTest::keyClick(&edit, Qt::Key_Return);
    QTest::keyClick(&edit, Qt::Key_Return);
    ASSERT_EQ(box.shown.size(), 2u);
    EXPECT_EQ(box.shown[0].text, "qrySearch: Syntax error.");
}
