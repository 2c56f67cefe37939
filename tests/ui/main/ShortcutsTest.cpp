// The window's keys pressed on a shown window: Ctrl+N, Ctrl+S, Ctrl+P,
// Ctrl+Shift+P, Ctrl+F and Ctrl+Q run the commands of their menu items and
// buttons, from whichever control has the focus, and leave typing alone.

#include "ReportHooks.h"
#include "support/TempDatabase.h"
#include "support/TempSettings.h"
#include "ui/controls/TDBEdit.h"
#include "ui/controls/TDBGrid.h"
#include "ui/controls/TDBMemo.h"
#include "ui/controls/TEdit.h"
#include "ui/controls/TErrorBox.h"
#include "ui/main/ContactEditor.h"
#include "ui/main/ContactLists.h"
#include "ui/main/EditorCommands.h"
#include "ui/main/frmMain.h"

#include "data/Field.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>
#include <map>

namespace {

class Shortcuts : public ::testing::Test {
protected:
    Shortcuts() : db(3) {
        TErrorBox::ShowHook = [this](const QString &, const QString &text) { shown << text; };
        window = std::make_unique<TfrmMain>(db.Folder(),
                                            [this](std::exception_ptr) { shown << "create"; });
        editor = window->editor.get();
        commands = window->commands.get();
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    ~Shortcuts() override { TErrorBox::ShowHook = nullptr; }

    void Focus(QWidget *widget) {
        widget->setFocus(Qt::OtherFocusReason);
        QApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), widget);
    }
    // Presses a key on the focus widget, as the keyboard does.
    void Press(Qt::Key key, Qt::KeyboardModifiers modifiers) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }
    QString Stored(const char *column, int id) { return db.ContactText(column, id); }
    int Count() { return db.ContactCount(); }

    TempSettings settings;
    TempDatabase db;
    QStringList shown;
    std::unique_ptr<TfrmMain> window;
    ContactEditor *editor = nullptr;
    EditorCommands *commands = nullptr;
};

TEST_F(Shortcuts, MenuItemsShowTheirKeysAndNoKeyIsTakenTwice) {
    EXPECT_EQ(window->New1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
    EXPECT_EQ(window->mniPrint->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    EXPECT_EQ(window->mniPrintPreview->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
    EXPECT_EQ(window->mniExit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(window->actSave->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(window->actFind->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
    // The keyed menu items are the File menu's own, so the menu shows the
    // keys beside their unchanged texts.
    QMenu *file = window->MainMenu1->actions()[0]->menu();
    for (QAction *item : {window->New1, window->mniPrint, window->mniPrintPreview, window->mniExit})
        EXPECT_TRUE(file->actions().contains(item)) << item->objectName().toStdString();
    EXPECT_EQ(window->New1->text(), "New");
    // Save and the search have no menu item; their keys work in the window.
    EXPECT_TRUE(window->actions().contains(window->actSave));
    EXPECT_TRUE(window->actions().contains(window->actFind));
    // Every key of the window's actions and menus belongs to one action
    // only, and none is an Alt key of the window (the menus' and Delete's).
    QList<QAction *> actions = window->actions();
    for (QAction *menu : window->MainMenu1->actions())
        actions += menu->menu()->actions();
    std::map<QString, QString> owners;
    for (QAction *action : actions) {
        for (const QKeySequence &key : action->shortcuts()) {
            const QString text = key.toString();
            EXPECT_TRUE(owners.emplace(text, action->objectName()).second)
                << text.toStdString() << " is taken twice";
            EXPECT_FALSE(text.startsWith("Alt+")) << text.toStdString();
        }
    }
    EXPECT_EQ(owners.size(), 6u);
    EXPECT_EQ(commands->btnDelete->shortcut(), QKeySequence(Qt::ALT | Qt::Key_D));
}

TEST_F(Shortcuts, CtrlNStartsANewContactFromAnyControlAndGoesToCompany) {
    for (QWidget *from : std::initializer_list<QWidget *>{editor->txtCity, editor->txtNotes,
                                                          window->lists->gridCallBack}) {
        Focus(from);
        Press(Qt::Key_N, Qt::ControlModifier);
        EXPECT_EQ(window->rsContacts.State(), stInsert) << from->objectName().toStdString();
        EXPECT_EQ(QApplication::focusWidget(), editor->txtCompany);
        commands->btnCancel->click();
    }
    EXPECT_EQ(Count(), 3);
    EXPECT_TRUE(shown.isEmpty()) << shown.join("; ").toStdString();
}

TEST_F(Shortcuts, CtrlSSavesWhatWasTypedWithoutLeavingTheField) {
    Focus(editor->txtPhone);
    QTest::keyClick(editor->txtPhone, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor->txtPhone, "555 0142");
    ASSERT_EQ(window->rsContacts.State(), stEdit);
    Press(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(window->rsContacts.State(), stBrowse);
    EXPECT_EQ(Stored("Phone", 1), "555 0142");
    EXPECT_EQ(QApplication::focusWidget(), editor->txtPhone);
    // The memo's text goes in as well.
    Focus(editor->txtNotes);
    QTest::keyClicks(editor->txtNotes, "Call at ten");
    Press(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(window->rsContacts.State(), stBrowse);
    EXPECT_TRUE(Stored("Note", 1).endsWith("Call at ten")) << Stored("Note", 1).toStdString();
    // A new contact typed and saved by key.
    Press(Qt::Key_N, Qt::ControlModifier);
    QTest::keyClicks(editor->txtCompany, "Keyed Ltd");
    Press(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(Count(), 4);
    EXPECT_EQ(db.Scalar("select count(*) from Contacts where CompanyName = 'Keyed Ltd'").toInt(),
              1);
    EXPECT_TRUE(shown.isEmpty()) << shown.join("; ").toStdString();
}

TEST_F(Shortcuts, CtrlFShowsTheSearchTabWithItsTextSelected) {
    window->lists->txtSearch->setText("old");
    ASSERT_EQ(window->PageControl1->currentWidget(), window->tabCallBacks);
    Focus(editor->txtCompany);
    Press(Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(window->PageControl1->currentWidget(), window->tabSearch);
    EXPECT_EQ(QApplication::focusWidget(), window->lists->txtSearch);
    EXPECT_EQ(window->lists->txtSearch->selectedText(), "old");
    // Typing replaces the text, and Enter runs the search as always.
    db.Exec("update Contacts set City = 'Oxbridge' where ContactID = 2");
    QTest::keyClicks(window->lists->txtSearch, "xbrid");
    QTest::keyClick(window->lists->txtSearch, Qt::Key_Return);
    EXPECT_EQ(window->lists->txtSearch->text(), "xbrid");
    EXPECT_EQ(window->qrySearch.RecordCount(), 1);
    EXPECT_EQ(window->qrySearch.FieldNamed("ContactID")->IntegerValue(), 2);
}

TEST_F(Shortcuts, CtrlQClosesTheWindowAndDiscardsTheEdit) {
    Focus(editor->txtCity);
    QTest::keyClicks(editor->txtCity, "Unsaved");
    ASSERT_EQ(window->rsContacts.State(), stEdit);
    Press(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->rsContacts.State(), stBrowse);
    EXPECT_FALSE(Stored("City", 1).contains("Unsaved"));
}

TEST_F(Shortcuts, CtrlPPrintsTheCurrentContact) {
    PrintToPdf pdf;
    Focus(editor->txtCompany);
    Press(Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(window->reportForms.size(), 1u);
    EXPECT_EQ(pdf.Pages(), 1);
    EXPECT_TRUE(shown.isEmpty()) << shown.join("; ").toStdString();
}

TEST_F(Shortcuts, CtrlShiftPPreviewsTheCurrentContact) {
    int triggered = 0;
    QObject::connect(window->mniPrintPreview, &QAction::triggered, [&] { ++triggered; });
    PreviewCloser closer;
    Focus(editor->txtNotes);
    // Returns once the preview, which waits for its window, is closed.
    Press(Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(triggered, 1);
    EXPECT_EQ(closer.Seen(), 1);
    EXPECT_EQ(closer.Timeouts(), 0);
    EXPECT_EQ(window->reportForms.size(), 1u);
    // Nothing was typed into the memo on the way.
    EXPECT_EQ(window->rsContacts.State(), stBrowse);
}

TEST_F(Shortcuts, PlainLettersStillTypeAndTheOtherKeysStillWork) {
    // The letters of the keys, with and without Shift, go into the fields.
    Focus(editor->txtCompany);
    QTest::keyClick(editor->txtCompany, Qt::Key_End);
    QTest::keyClicks(editor->txtCompany, "nsfpqNSFPQ");
    EXPECT_TRUE(editor->txtCompany->text().endsWith("nsfpqNSFPQ"));
    Focus(editor->txtNotes);
    QTest::keyClicks(editor->txtNotes, "fnsp");
    EXPECT_TRUE(editor->txtNotes->toPlainText().contains("fnsp"));
    EXPECT_EQ(window->rsContacts.State(), stEdit);
    EXPECT_TRUE(window->isVisible());
    // Ctrl+A still selects a field's text rather than running a command.
    Focus(editor->txtCity);
    Press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(editor->txtCity->selectedText(), editor->txtCity->text());
    commands->btnCancel->click();
    // Alt+D is still Delete's key; the button clicks itself a moment later.
    Focus(editor->txtCompany);
    Press(Qt::Key_D, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([this] { return Count() == 2; }, 2000));
    EXPECT_TRUE(shown.isEmpty()) << shown.join("; ").toStdString();
}

} // namespace
