// Every label shows its whole text, in the program's fonts, where it was
// placed: before the control to its right and under none. The field labels
// are black but for the maroon "Call Back Date:".

#include "ReportHooks.h"
#include "settings/TfrmOptions.h"
#include "support/TempDatabase.h"
#include "support/TempSettings.h"
#include "ui/main/ContactEditor.h"
#include "ui/main/ContactLists.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>
#include <map>

namespace {

QLabel *LabelWithText(const std::vector<QLabel *> &labels, const QString &text) {
    for (QLabel *label : labels)
        if (label->text() == text)
            return label;
    return nullptr;
}

// The darkest pixel of a label drawn on white.
QColor DarkestPixel(QLabel *label) {
    QImage image(label->size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    label->render(&image);
    QColor darkest(Qt::white);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.lightness() < darkest.lightness())
                darkest = c;
        }
    return darkest;
}

// Checks one label and says what it measured: the text, in the label's own
// font, lies inside the label; it ends at least one pixel before the nearest
// shown sibling to its right on its line; and no shown sibling covers the
// text's glyphs.
std::string CheckLabel(QLabel *label) {
    const QString text = label->text();
    const QFontMetrics metrics(label->font());
    const int advance = metrics.horizontalAdvance(text);
    const QRect contents = label->contentsRect().translated(label->pos());
    int left = contents.left();
    if (label->alignment() & Qt::AlignRight)
        left = contents.right() + 1 - advance;
    else if (label->alignment() & Qt::AlignHCenter)
        left = contents.left() + (contents.width() - advance) / 2;
    const int top = contents.top() + (contents.height() - metrics.height()) / 2;
    const QRect line(left, top, advance, metrics.height());
    const QRect glyphs =
        metrics.tightBoundingRect(text).translated(left, top + metrics.ascent()) & line;

    std::string problems;
    const std::string what = "\"" + text.toStdString() + "\" at (" + std::to_string(label->x()) +
                             ", " + std::to_string(label->y()) + ")";
    if (advance > contents.width() || metrics.height() > contents.height())
        problems += what + " is clipped: text " + std::to_string(advance) + " by " +
                    std::to_string(metrics.height()) + " in " + std::to_string(contents.width()) +
                    " by " + std::to_string(contents.height()) + "\n";
    int nearest = INT_MAX;
    QString nearestName;
    for (QObject *child : label->parentWidget()->children()) {
        auto *sibling = qobject_cast<QWidget *>(child);
        if (!sibling || sibling == label || !sibling->isVisibleTo(label->parentWidget()) ||
            sibling->isWindow())
            continue;
        const QRect g = sibling->geometry();
        if (g.intersects(glyphs))
            problems += what + " is covered by " + sibling->objectName().toStdString() + "\n";
        const bool sameLine = g.top() < line.bottom() + 1 && g.bottom() + 1 > line.top();
        if (sameLine && g.left() >= left && g.left() < nearest) {
            nearest = g.left();
            nearestName = sibling->objectName();
        }
    }
    if (nearest != INT_MAX && left + advance + 1 > nearest)
        problems += what + " ends at " + std::to_string(left + advance) + ", " +
                    nearestName.toStdString() + " begins at " + std::to_string(nearest) + "\n";
    return problems;
}

// Checks every label under `root` that has a text; returns how many.
int CheckLabels(QWidget *root, std::string &problems) {
    int checked = 0;
    for (QLabel *label : root->findChildren<QLabel *>()) {
        if (label->text().isEmpty() || !label->isVisibleTo(root))
            continue;
        problems += CheckLabel(label);
        ++checked;
    }
    return checked;
}

class Labels : public ::testing::Test {
protected:
    Labels() : db(3) {
        window = std::make_unique<TfrmMain>(db.Folder(), [](std::exception_ptr) {});
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    TempSettings settings;
    TempDatabase db;
    std::unique_ptr<TfrmMain> window;
};

TEST_F(Labels, CallBackDateIsMaroonAndTheOtherFieldLabelsBlack) {
    const std::vector<QLabel *> &labels = window->editor->labels;
    ASSERT_EQ(labels.size(), 16u);
    for (QLabel *label : labels) {
        const bool maroon = label->text() == "Call Back Date:";
        const QColor expected = maroon ? QColor(0x80, 0, 0) : QColor(Qt::black);
        EXPECT_EQ(label->palette().color(label->foregroundRole()), expected)
            << label->text().toStdString();
        // Drawn in that colour: the darkest pixel is the colour's own.
        const QColor darkest = DarkestPixel(label);
        EXPECT_NEAR(darkest.red(), expected.red(), 24) << label->text().toStdString();
        EXPECT_LE(darkest.green(), 24) << label->text().toStdString();
        EXPECT_LE(darkest.blue(), 24) << label->text().toStdString();
    }
    // The colours are the labels' own, not the window's text colour.
    QPalette red = window->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    window->setPalette(red);
    EXPECT_EQ(LabelWithText(labels, "Company:")->palette().color(QPalette::WindowText),
              QColor(Qt::black));
}

TEST_F(Labels, EveryLabelShowsItsWholeTextBeforeItsControl) {
    // The editor's labels keep their places, in bold 15-pixel text of the
    // program's stand-in face.
    const std::map<QString, QPoint> places = {{"Company:", {30, 16}},
                                              {"Contact Preson:", {349, 18}},
                                              {"Country:", {43, 48}},
                                              {"State/Area:", {379, 48}},
                                              {"City:", {69, 72}},
                                              {"Address:", {37, 96}},
                                              {"Post Code:", {23, 121}},
                                              {"Phone:", {51, 160}},
                                              {"Fax:", {70, 184}},
                                              {"Mobile:", {48, 208}},
                                              {"Email:", {56, 232}},
                                              {"Web SIte:", {32, 256}},
                                              {"Contact Status:", {351, 74}},
                                              {"Last Contact:", {478, 101}},
                                              {"Call Back Date:", {465, 125}},
                                              {"Remarks:", {353, 137}}};
    for (const auto &[text, place] : places) {
        QLabel *label = LabelWithText(window->editor->labels, text);
        ASSERT_NE(label, nullptr) << text.toStdString();
        EXPECT_EQ(label->pos(), place) << text.toStdString();
        const QFontInfo font(label->font());
        EXPECT_EQ(font.family(), "Liberation Sans") << text.toStdString();
        EXPECT_EQ(font.pixelSize(), 15) << text.toStdString();
        EXPECT_TRUE(font.bold()) << text.toStdString();
    }
    EXPECT_EQ(window->lists->lblSearchFor->pos(), QPoint(85, 7));
    EXPECT_EQ(window->lists->lblCallBackDate->pos(), QPoint(82, 7));

    std::string problems;
    EXPECT_EQ(CheckLabels(window->Panel2, problems), 16);
    EXPECT_EQ(CheckLabels(window->Panel1, problems), 1);
    EXPECT_EQ(CheckLabels(window->tabCallBacks, problems), 1);
    EXPECT_EQ(CheckLabels(window->tabSearch, problems), 1);

    TfrmOptions options;
    options.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&options));
    EXPECT_EQ(CheckLabels(&options, problems), 1);
    options.close();

    // The preview's status panels, as the contact's preview shows them.
    int previewLabels = 0;
    QString pageText;
    {
        PreviewCloser closer([&](TQRStandardPreview &preview) {
            previewLabels = CheckLabels(&preview, problems);
            pageText = preview.StatusPanel(1)->text();
            // The progress panel holds the widest value it can show.
            QLabel *progress = preview.StatusPanel(0);
            const int widest = QFontMetrics(progress->font()).horizontalAdvance("100%");
            if (widest > progress->contentsRect().width())
                problems += "\"100%\" does not fit the progress panel\n";
            EXPECT_EQ(QFontInfo(progress->font()).family(), "Liberation Sans");
        });
        window->mniPrintPreview->trigger();
        EXPECT_EQ(closer.Seen(), 1);
    }
    EXPECT_GE(previewLabels, 1);
    EXPECT_EQ(pageText, "Page 1 of 1");
    EXPECT_TRUE(problems.empty()) << problems;
}

} // namespace
