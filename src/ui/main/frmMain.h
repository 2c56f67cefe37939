#pragma once

#include "data/DBConnection.h"
#include "data/DataSource.h"
#include "data/DateTimeValue.h"
#include "data/QueryCursor.h"
#include "data/TableCursor.h"

#include <QMainWindow>
#include <QUrl>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

class ContactEditor;
class StartupCheck;
class ContactLists;
class ExportCommand;
class InterchangeCommands;
class SafetyCommands;
class CallbackCommands;
class TQRMDForm;
class TDBGrid;
class EditorCommands;
class QFrame;
class QLabel;
class QMenu;
class QAction;
class QTabWidget;
class QToolButton;
class QWidget;

// The main window: owns the connection and every cursor of the main screen
// for the life of the program, lays out the title strip, the editor panel and
// the two lists, and holds the menu bar.
class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    // Shows an exception in the application's error box; the application
    // sets it before the window is created.
    using TErrorReporter = std::function<void(std::exception_ptr)>;

    // `programFolder` ends in a path delimiter; the database is found there.
    // The database opened is the one chosen on the Options dialog's
    // Database page (DatabaseChoice): that file, or one on a server. A
    // server that cannot be connected to is said in a message box offering
    // the Options dialog (after which the new choice is opened) or to quit;
    // the program never goes on with the file in its place.
    explicit TfrmMain(const QString &programFolder, TErrorReporter reportError,
                      QWidget *parent = nullptr);
    // The same with the database in a folder of its own (ending in a path
    // delimiter), as for an installed program; the help page is still found
    // from `programFolder`.
    TfrmMain(const QString &programFolder, const QString &databaseFolder,
             TErrorReporter reportError, QWidget *parent = nullptr);
    ~TfrmMain() override;

    // The window's outer size and the position FormCreate centres it at.
    static constexpr int kOuterWidth = 760;
    static constexpr int kOuterHeight = 582;
    static QPoint CentredPosition(const QSize &screen);

    // True when the user chose to quit at the start, the database being out
    // of reach: the window then never shows, and showing it ends the
    // program's event loop as soon as that runs.
    bool QuitAtStart() const { return quitAtStart_; }
    void setVisible(bool visible) override;

    TDBConnection connDB{QStringLiteral("connDB")};
    TTableCursor rsContacts{QStringLiteral("rsContacts")};
    TDataSource dsContacts{QStringLiteral("dsContacts")};
    TTableCursor rsStatus{QStringLiteral("rsStatus")};
    TDataSource dsStatus{QStringLiteral("dsStatus")};
    TQueryCursor qryCountries{QStringLiteral("qryCountries")};
    TDataSource dsCountries{QStringLiteral("dsCountries")};
    TQueryCursor qrySearch{QStringLiteral("qrySearch")};
    TDataSource dsSearch{QStringLiteral("dsSearch")};
    TQueryCursor qryCallBack{QStringLiteral("qryCallBack")};
    TDataSource dsCallback{QStringLiteral("dsCallback")};
    TQueryCursor qryExportContacts{QStringLiteral("qryExportContacts")};

    QFrame *Panel1 = nullptr;
    QLabel *lblTitle = nullptr;
    QToolButton *btnPreview = nullptr;
    QToolButton *btnPrint = nullptr;
    QFrame *Panel2 = nullptr;
    std::unique_ptr<ContactEditor> editor;    // the bound controls on Panel2
    std::unique_ptr<EditorCommands> commands; // its buttons, pickers and handlers
    QTabWidget *PageControl1 = nullptr;
    QWidget *tabCallBacks = nullptr;
    QWidget *tabSearch = nullptr;
    std::unique_ptr<ContactLists> lists; // the call-backs and search tabs
    std::unique_ptr<ExportCommand> exportCommand;
    // Tools: import, vCard export and undo of the last import.
    std::unique_ptr<InterchangeCommands> interchange;
    // Tools: backup, restore and undo of a delete; the automatic backup.
    std::unique_ptr<SafetyCommands> safety;
    // Tools: the call-backs as a calendar file; the call-back reminders.
    std::unique_ptr<CallbackCommands> callbacks;
    // Every report form made by a print or preview command; they hold
    // their own query on connDB, so they go before it.
    std::vector<std::unique_ptr<TQRMDForm>> reportForms;
    // Receives the addresses the Help menu opens; the desktop when empty.
    std::function<void(const QUrl &)> shellOpen;

    QMenuBar *MainMenu1 = nullptr;
    QAction *New1 = nullptr;
    QAction *mniSaveContacts = nullptr;
    QAction *mniPrintPreview = nullptr;
    QAction *mniPrint = nullptr;
    QAction *mniExit = nullptr;
    QAction *mniOptions = nullptr;
    QAction *mniHelpContent = nullptr;
    QAction *mniAbout = nullptr;
    // Window keys without a menu item: Ctrl+S saves the contact as the
    // editor's Save does, Ctrl+F goes to the search text.
    QAction *actSave = nullptr;
    QAction *actFind = nullptr;

    void FormCreate();
    void LoadCallbacks();
    void RunSearch();
    // Moves the editor to the contact whose key is in the grid's first
    // column on the grid cursor's current row; nothing when not found.
    void LoadFromGrid(TDBGrid *grid);
    // After the contacts changed outside the editor (an import, an undo):
    // the editor is read again and stands on `key` (else where it stood),
    // and both lists are read again.
    void ReadContactsAgain(qint64 key);
    void mniExitClick();
    void mniSaveContactsClick();
    void mniOptionsClick();
    void mniHelpContentClick();
    void mniAboutClick();
    void mniPrintClick();
    void mniPrintPreviewClick();
    // Shows the search tab and puts the focus in its text, selected.
    void FocusSearchText();
    // Prints or previews the report of the contact under the editor.
    void ShowContactReport(bool preview);

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    // Tab and Shift+Tab walk tabStops_.
    bool focusNextPrevChild(bool next) override;

private:
    void ConfigureComponents();
    void BuildTitleStrip();
    void BuildMenu();
    void BuildLists();
    void SetTabOrder();
    void BuildShortcuts();
    void FormClose();
    // Connects connDB to the chosen database, offering the Options dialog
    // while a server cannot be connected to; false when the user quits.
    bool OpenDatabase();
    // Says why the database cannot be opened; true when the user chooses
    // the Options dialog, false to quit.
    bool OfferOptions(const QString &failure);

    // The window's tab stops in their order (see SetTabOrder).
    std::vector<QWidget *> tabStops_;
    QString programFolder_;
    QString databaseFolder_;
    TErrorReporter reportError_;
    bool quitAtStart_ = false;
    // The lock and check of a file chosen only after the start's choice of
    // a server failed (the program's start made none for a server).
    std::unique_ptr<StartupCheck> startupCheck_;
};
