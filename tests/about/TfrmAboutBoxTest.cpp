#include "about/TfrmAboutBox.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// An About box whose links land in `opened` instead of the desktop.
struct RecordedBox {
    RecordedBox() : box(nullptr, [this](const QUrl &url) { opened << url; }) { box.show(); }
    QList<QUrl> opened;
    TfrmAboutBox box;
};

TEST(AboutBox, CaptionSizeBackgroundAndPlace) {
    RecordedBox recorded;
    TfrmAboutBox &box = recorded.box;
    EXPECT_EQ(box.windowTitle(), "About The Program");
    EXPECT_EQ(box.size(), QSize(298, 149));
    EXPECT_EQ(box.minimumSize(), box.maximumSize()); // the border is fixed
    EXPECT_TRUE(box.autoFillBackground());
    EXPECT_EQ(box.palette().color(QPalette::Window), QColor(192, 192, 192));
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    EXPECT_EQ(box.pos(), QPoint((screen.width() - 298) / 2, (screen.height() - 149) / 2));
}

TEST(AboutBox, CentringTruncatesTowardZeroOnANarrowScreen) {
    EXPECT_EQ(TfrmAboutBox::CentredPosition(QSize(1024, 768), QSize(298, 149)), QPoint(363, 309));
    EXPECT_EQ(TfrmAboutBox::CentredPosition(QSize(297, 148), QSize(298, 149)), QPoint(0, 0));
    EXPECT_EQ(TfrmAboutBox::CentredPosition(QSize(200, 100), QSize(298, 149)), QPoint(-49, -24));
}

TEST(AboutBox, PanelLinesSitWhereTheyBelong) {
    RecordedBox recorded;
    TfrmAboutBox &box = recorded.box;
    EXPECT_EQ(box.Panel1->geometry(), QRect(-1, 0, 300, 110));
    EXPECT_TRUE(box.Panel1->isVisible());
    EXPECT_EQ(box.Panel1->palette().color(QPalette::Window), QColor(Qt::white));
    // A lowered outer and a raised inner bevel.
    EXPECT_EQ(box.Panel1->frameShape(), QFrame::Box);
    EXPECT_EQ(box.Panel1->frameShadow(), QFrame::Sunken);

    const struct {
        QLabel *label;
        QPoint pos;
        const char *text;
    } lines[] = {
        {box.lblProduct, {48, 16}, "Corvana - Business  Contacts Database"},
        {box.lblVersion, {113, 34}, "Version 1.1"},
        {box.lblWebSiteCaption, {64, 66}, "Web Site:"},
        {box.lblWebSite, {113, 66}, "https://www.brennart.example/"},
        {box.lblEmailCaption, {66, 82}, "Email:"},
        {box.lblEmail, {97, 82}, "support@brennart.example"},
    };
    for (const auto &line : lines) {
        SCOPED_TRACE(line.text);
        ASSERT_NE(line.label, nullptr);
        EXPECT_EQ(line.label->parentWidget(), box.Panel1);
        EXPECT_EQ(line.label->pos(), line.pos);
        EXPECT_EQ(line.label->text(), line.text);
        EXPECT_TRUE(line.label->isVisible());
        // The whole text fits inside the box.
        EXPECT_LE(box.Panel1->mapTo(&box, line.label->geometry().topRight()).x(), 298);
    }
    EXPECT_EQ(box.lblWebSite->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(box.lblEmail->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(box.lblVersion->cursor().shape(), Qt::ArrowCursor);
}

TEST(AboutBox, FormCreateSetsTheVersionOverTheOlderHiddenCopy) {
    RecordedBox recorded;
    TfrmAboutBox &box = recorded.box;
    EXPECT_EQ(box.lblVersion->text(), "Version 1.1");

    ASSERT_NE(box.pnlOldVersion, nullptr);
    EXPECT_FALSE(box.pnlOldVersion->isVisible());
    EXPECT_EQ(box.pnlOldVersion->geometry(), box.Panel1->geometry());
    QStringList oldTexts;
    for (const QLabel *label : box.pnlOldVersion->findChildren<QLabel *>())
        oldTexts << label->text();
    EXPECT_TRUE(oldTexts.contains("Version 1.5"));
    EXPECT_FALSE(oldTexts.contains("Version 1.1"));

    ASSERT_NE(box.imgLogo, nullptr);
    EXPECT_EQ(box.imgLogo->size(), QSize(305, 81));
    EXPECT_FALSE(box.imgLogo->isVisible());
}

TEST(AboutBox, LinksHandTheirAddressesToTheOpener) {
    RecordedBox recorded;
    QTest::mouseClick(recorded.box.lblWebSite, Qt::LeftButton);
    QTest::mouseClick(recorded.box.lblEmail, Qt::LeftButton);
    ASSERT_EQ(recorded.opened.size(), 2);
    EXPECT_EQ(recorded.opened[0], QUrl("https://www.brennart.example/"));
    EXPECT_EQ(recorded.opened[1].toString(), "mailto:support@brennart.example");

    // Other buttons and the plain lines open nothing.
    QTest::mouseClick(recorded.box.lblWebSite, Qt::RightButton);
    QTest::mouseClick(recorded.box.lblVersion, Qt::LeftButton);
    QTest::mouseClick(recorded.box.lblEmailCaption, Qt::LeftButton);
    EXPECT_EQ(recorded.opened.size(), 2);
}

TEST(AboutBox, CloseButtonClosesAndKeepsToTheBottomRightCorner) {
    RecordedBox recorded;
    TfrmAboutBox &box = recorded.box;
    EXPECT_EQ(box.btnClose->text(), "Close");
    EXPECT_EQ(box.btnClose->geometry(), QRect(189, 118, 100, 24));

    // Anchored right and bottom: a larger box moves it along.
    box.setFixedSize(398, 189);
    QApplication::processEvents();
    EXPECT_EQ(box.btnClose->geometry(), QRect(289, 158, 100, 24));
    box.setFixedSize(298, 149);
    QApplication::processEvents();
    EXPECT_EQ(box.btnClose->geometry(), QRect(189, 118, 100, 24));

    QTest::mouseClick(box.btnClose, Qt::LeftButton);
    EXPECT_FALSE(box.isVisible());
    EXPECT_TRUE(recorded.opened.isEmpty());
}

TEST(AboutBox, ExecuteShowsAFreshModalBoxAndDestroysItWhenClosed) {
    QPointer<TfrmAboutBox> seen;
    bool modal = false;
    QString version;
    QTimer::singleShot(0, [&] {
        seen = qobject_cast<TfrmAboutBox *>(QApplication::activeModalWidget());
        if (!seen)
            return;
        modal = seen->isModal();
        version = seen->lblVersion->text();
        QTest::mouseClick(seen->btnClose, Qt::LeftButton);
    });
    // Should the box not be found, the run must still end.
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (auto *stuck = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
            stuck->reject();
    });
    guard.start(5000);
    TfrmAboutBox::Execute(nullptr, [](const QUrl &) {});
    EXPECT_TRUE(modal);
    EXPECT_EQ(version, "Version 1.1");
    EXPECT_TRUE(seen.isNull());
}

} // namespace
