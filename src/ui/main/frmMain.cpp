#include "ui/main/frmMain.h"

#include "about/THelpFile.h"
#include "about/TfrmAboutBox.h"
#include "reports/QRpt.h"
#include "reports/TQRReport.h"
#include "settings/TfrmOptions.h"
#include "ui/controls/TColumn.h"
#include "ui/controls/TDBEdit.h"
#include "ui/controls/TDBGrid.h"
#include "ui/controls/TDBMemo.h"
#include "ui/controls/TDateTimePicker.h"
#include "ui/controls/TEdit.h"
#include "ui/controls/TErrorBox.h"
#include "ui/main/CallbackCommands.h"
#include "ui/main/ContactEditor.h"
#include "ui/main/ContactLists.h"
#include "ui/main/DatabaseChoice.h"
#include "ui/main/EditorCommands.h"
#include "ui/main/ExportCommand.h"
#include "ui/main/FocusChain.h"
#include "ui/main/InterchangeCommands.h"
#include "ui/main/SafetyCommands.h"
#include "ui/main/StartupCheck.h"

#include "data/DatabaseErrors.h"
#include "data/DateTimeValue.h"
#include "data/Field.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QTabWidget>
#include <QToolButton>

// The glyphs live in this static library; its resources need registering.
static void InitGlyphs() {
    Q_INIT_RESOURCE(glyphs);
}

namespace {
// The client area below the menu bar: the three areas stack to this height.
constexpr int kClientWidth = 752;
constexpr int kClientHeight = 528;
} // namespace

TfrmMain::TfrmMain(const QString &programFolder, TErrorReporter reportError, QWidget *parent)
    : TfrmMain(programFolder, programFolder, std::move(reportError), parent) {}

TfrmMain::TfrmMain(const QString &programFolder, const QString &databaseFolder,
                   TErrorReporter reportError, QWidget *parent)
    : QMainWindow(parent), programFolder_(programFolder), databaseFolder_(databaseFolder),
      reportError_(std::move(reportError)) {
    setObjectName(QStringLiteral("frmMain"));
    InitGlyphs();
    ConfigureComponents();
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setAutoFillBackground(true);
    client->setBackgroundRole(QPalette::Button);
    setCentralWidget(client);
    BuildMenu();
    BuildTitleStrip();
    Panel2 = new QFrame(client);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFrameShape(QFrame::Panel);
    Panel2->setFrameShadow(QFrame::Raised);
    Panel2->setGeometry(0, 33, 752, 310);
    editor = std::make_unique<ContactEditor>(Panel2, &dsContacts, &dsCountries, &dsStatus);
    commands = std::make_unique<EditorCommands>(Panel2, *editor, rsContacts, dsContacts);
    // A deleted contact is kept, so that Undo Delete can bring it back.
    commands->SetDeleter(
        [this](const std::function<void()> &erase) { safety->DeleteContact(erase); });
    connect(New1, &QAction::triggered, this,
            [this] { TErrorBox::Guard([this] { commands->btnNewClick(); }); });
    BuildLists();
    SetTabOrder();
    BuildShortcuts();
    exportCommand = std::make_unique<ExportCommand>(qryExportContacts, this);
    resize(kClientWidth, kClientHeight + MainMenu1->sizeHint().height());
    FormCreate();
}

TfrmMain::~TfrmMain() {
    callbacks.reset();
    safety.reset();
    // The bound controls go before the data source they follow.
    delete Panel2;
    Panel2 = nullptr;
    lists.reset();
    delete PageControl1;
    PageControl1 = nullptr;
    // The data sources go before the cursors they follow.
    dsContacts.SetDataSet(nullptr);
    dsStatus.SetDataSet(nullptr);
    dsCountries.SetDataSet(nullptr);
    dsSearch.SetDataSet(nullptr);
    dsCallback.SetDataSet(nullptr);
}

void TfrmMain::ConfigureComponents() {
    for (TRecordCursor *cursor : std::initializer_list<TRecordCursor *>{
             &rsContacts, &rsStatus, &qryCountries, &qrySearch, &qryCallBack, &qryExportContacts})
        cursor->SetConnection(&connDB);
    rsContacts.SetTableName(QStringLiteral("Contacts"));
    rsContacts.SetIndexName(QStringLiteral("ContactID"));
    rsContacts.SetCursorLocation(clUseServer);
    rsContacts.SetCursorType(ctKeyset);
    rsContacts.SetLockType(ltOptimistic);
    dsContacts.SetDataSet(&rsContacts);

    rsStatus.SetTableName(QStringLiteral("Status"));
    rsStatus.SetCursorType(ctOpenForwardOnly);
    rsStatus.SetLockType(ltReadOnly);
    dsStatus.SetDataSet(&rsStatus);

    qryCountries.SetCursorType(ctOpenForwardOnly);
    qryCountries.SQL().Add(QStringLiteral("select * from Countries order by OrderNumber"));
    dsCountries.SetDataSet(&qryCountries);

    qrySearch.SetCursorType(ctOpenForwardOnly);
    qrySearch.SetLockType(ltReadOnly);
    qrySearch.SQL().Add(QStringLiteral("select * from Contacts"));
    dsSearch.SetAutoEdit(false);
    dsSearch.SetDataSet(&qrySearch);

    qryCallBack.SetCursorType(ctStatic);
    qryCallBack.SetLockType(ltReadOnly);
    dsCallback.SetAutoEdit(false);
    dsCallback.SetDataSet(&qryCallBack);

    qryExportContacts.SQL().Add(QStringLiteral("select ct.Name as Country, c.* from Contacts c"));
    // A left join, so that a contact without a (known) country is exported too.
    qryExportContacts.SQL().Add(
        QStringLiteral("left join Countries ct on ct.CountryID = c.CountryID"));
}

void TfrmMain::BuildTitleStrip() {
    Panel1 = new QFrame(centralWidget());
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);
    Panel1->setGeometry(0, 0, 752, 33);

    lblTitle = new QLabel(QStringLiteral("Contact Details"), Panel1);
    QFont bold(QStringLiteral("MS Sans Serif"));
    bold.setPixelSize(19);
    bold.setBold(true);
    lblTitle->setFont(bold);
    lblTitle->move(31, 5);
    lblTitle->adjustSize();

    auto makeButton = [this](const char *name, const char *glyph, const QString &hint, int left) {
        auto *button = new QToolButton(Panel1);
        button->setObjectName(QString::fromLatin1(name));
        button->setIcon(QIcon(QString::fromLatin1(glyph)));
        button->setGeometry(left, 4, 30, 25);
        // Picture buttons of the title strip: reached by the mouse (and
        // their menu items' keys) only, and a click leaves the focus where
        // it was.
        button->setFocusPolicy(Qt::NoFocus);
        // The hint is kept with the button; the window shows no tool tips.
        button->setProperty("hint", hint);
        return button;
    };
    btnPreview = makeButton("btnPreview", ":/glyphs/preview.png",
                            QStringLiteral("Print Preview Contact"), 679);
    btnPrint = makeButton("btnPrint", ":/glyphs/print.png", QStringLiteral("Print Contact"), 712);
    // The title strip's buttons do what their menu items do.
    connect(btnPreview, &QToolButton::clicked, mniPrintPreview, &QAction::trigger);
    connect(btnPrint, &QToolButton::clicked, mniPrint, &QAction::trigger);
}

void TfrmMain::BuildMenu() {
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    QMenu *file = MainMenu1->addMenu(QStringLiteral("&File"));
    New1 = file->addAction(QStringLiteral("New"));
    mniSaveContacts = file->addAction(QStringLiteral("Save Contacts ..."));
    file->addSeparator()->setObjectName(QStringLiteral("N3"));
    mniPrintPreview = file->addAction(QStringLiteral("Print Preview"));
    mniPrint = file->addAction(QStringLiteral("Print ..."));
    file->addSeparator()->setObjectName(QStringLiteral("N1"));
    mniExit = file->addAction(QStringLiteral("E&xit"));
    QMenu *tools = MainMenu1->addMenu(QStringLiteral("&Tools"));
    mniOptions = tools->addAction(QStringLiteral("&Options"));
    interchange = std::make_unique<InterchangeCommands>(*this, *tools);
    safety = std::make_unique<SafetyCommands>(*this, *tools);
    callbacks = std::make_unique<CallbackCommands>(*this, *tools);
    QMenu *help = MainMenu1->addMenu(QStringLiteral("&Help"));
    mniHelpContent = help->addAction(QStringLiteral("Help"));
    help->addSeparator()->setObjectName(QStringLiteral("N2"));
    mniAbout = help->addAction(QStringLiteral("A&bout"));
    const std::pair<QAction *, const char *> names[] = {{New1, "New1"},
                                                        {mniSaveContacts, "mniSaveContacts"},
                                                        {mniPrintPreview, "mniPrintPreview"},
                                                        {mniPrint, "mniPrint"},
                                                        {mniExit, "mniExit"},
                                                        {mniOptions, "mniOptions"},
                                                        {mniHelpContent, "mniHelpContent"},
                                                        {mniAbout, "mniAbout"}};
    for (const auto &[action, name] : names)
        action->setObjectName(QString::fromLatin1(name));
    connect(mniExit, &QAction::triggered, this, &TfrmMain::mniExitClick);
    auto guarded = [this](QAction *action, void (TfrmMain::*handler)()) {
        connect(action, &QAction::triggered, this,
                [this, handler] { TErrorBox::Guard([this, handler] { (this->*handler)(); }); });
    };
    guarded(mniSaveContacts, &TfrmMain::mniSaveContactsClick);
    guarded(mniOptions, &TfrmMain::mniOptionsClick);
    guarded(mniHelpContent, &TfrmMain::mniHelpContentClick);
    guarded(mniAbout, &TfrmMain::mniAboutClick);
    guarded(mniPrint, &TfrmMain::mniPrintClick);
    guarded(mniPrintPreview, &TfrmMain::mniPrintPreviewClick);
}

void TfrmMain::mniPrintPreviewClick() {
    ShowContactReport(true);
}

void TfrmMain::mniPrintClick() {
    ShowContactReport(false);
}

void TfrmMain::ShowContactReport(bool preview) {
    // The stored row of the contact under the editor, by its key: a new row
    // without a key yet, or no contact at all, prints nothing.
    const TField *key =
        rsContacts.Active() ? rsContacts.FindField(QStringLiteral("ContactID")) : nullptr;
    const QString text = key ? key->TextValue() : QString();
    if (text.isEmpty())
        return;
    // The form stays, hidden, as long as the window (and its connection).
    reportForms.push_back(std::make_unique<TQRMDForm>());
    TQRMDForm *form = reportForms.back().get();
    form->LoadContact(connDB, text);
    if (preview)
        form->Report->Preview();
    else
        form->Report->Print();
}

void TfrmMain::mniSaveContactsClick() {
    exportCommand->ExportContacts();
}

void TfrmMain::mniOptionsClick() {
    TfrmOptions::Execute(connDB, this);
    callbacks->SettingsChanged();
}

void TfrmMain::mniHelpContentClick() {
    THelpFile::OpenIn(programFolder_, shellOpen);
}

void TfrmMain::mniAboutClick() {
    TfrmAboutBox::Execute(this, shellOpen);
}

void TfrmMain::SetTabOrder() {
    // New, the fields from Company to Contact Status, the four pickers,
    // Remarks, then Next, Previous, First, Last; then the lists' tab bar and
    // the shown tab's own stops, and round to New again.
    tabStops_ = {commands->btnNew};
    for (QWidget *control : editor->TabOrder())
        if (control != editor->txtNotes)
            tabStops_.push_back(control);
    tabStops_.insert(tabStops_.end(),
                     {commands->dateLastCall, commands->timeLastCall, commands->dateCallback,
                      commands->timeCallback, editor->txtNotes, commands->btnNext,
                      commands->btnPrev, commands->btnFirst, commands->btnLast, PageControl1});
    for (QWidget *control : lists->TabOrder())
        tabStops_.push_back(control);
    // Qt's own chain follows the stops. The buttons that take the focus
    // only when clicked sit among them, so that Tab goes on from Save,
    // Cancel or Delete to Next, and from the mail and web buttons to the
    // field below them.
    std::vector<QWidget *> chain;
    for (QWidget *stop : tabStops_) {
        chain.push_back(stop);
        if (stop == editor->txtEmail)
            chain.push_back(commands->btnMail);
        else if (stop == editor->txtUrl)
            chain.push_back(commands->btnBrowse);
        else if (stop == editor->txtNotes)
            chain.insert(chain.end(),
                         {commands->btnSave, commands->btnCancel, commands->btnDelete});
    }
    FocusChain::Chain(chain);
}

bool TfrmMain::focusNextPrevChild(bool next) {
    // Every Tab in the window ends here, from whichever control it was
    // pressed on.
    if (FocusChain::Next(this, tabStops_, next))
        return true;
    return QMainWindow::focusNextPrevChild(next);
}

void TfrmMain::BuildShortcuts() {
    // The desktop's usual keys for the commands the window has. None of them
    // is a key an edit, the memo, a picker or a grid uses, so they work from
    // every control; Alt+D (Delete) and the menus' Alt keys stay as they are.
    New1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    mniPrint->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    mniPrintPreview->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
    mniExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    // Save and the search text have no menu items; their keys belong to
    // the window.
    actSave = new QAction(QStringLiteral("Save"), this);
    actSave->setObjectName(QStringLiteral("actSave"));
    actSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(actSave, &QAction::triggered, commands->btnSave, &QPushButton::click);
    addAction(actSave);
    actFind = new QAction(QStringLiteral("Search For"), this);
    actFind->setObjectName(QStringLiteral("actFind"));
    actFind->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    connect(actFind, &QAction::triggered, this, &TfrmMain::FocusSearchText);
    addAction(actFind);
}

void TfrmMain::FocusSearchText() {
    PageControl1->setCurrentWidget(tabSearch);
    // As when tabbing into it, the text is selected, so typing replaces it.
    lists->txtSearch->setFocus(Qt::ShortcutFocusReason);
}

void TfrmMain::BuildLists() {
    PageControl1 = new QTabWidget(centralWidget());
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(0, 344, 753, 184);
    tabCallBacks = new QWidget;
    tabCallBacks->setObjectName(QStringLiteral("tabCallBacks"));
    tabSearch = new QWidget;
    tabSearch->setObjectName(QStringLiteral("tabSearch"));
    PageControl1->addTab(tabCallBacks, QStringLiteral("Call Backs"));
    PageControl1->addTab(tabSearch, QStringLiteral("Search / Filter"));
    PageControl1->setCurrentWidget(tabCallBacks);
    lists =
        std::make_unique<ContactLists>(tabCallBacks, tabSearch, qryCallBack, dsCallback, qrySearch,
                                       dsSearch, [this](TDBGrid *grid) { LoadFromGrid(grid); });
}

QPoint TfrmMain::CentredPosition(const QSize &screen) {
    // Integer division truncating toward zero, as C++ division does: on a
    // screen narrower than the window the edge lies half the difference off.
    return QPoint((screen.width() - kOuterWidth) / 2, (screen.height() - kOuterHeight) / 2);
}

void TfrmMain::FormCreate() {
    try {
        setWindowTitle(QStringLiteral("Corvana - Business Contacts Database"));
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            move(CentredPosition(screen->size()));
        connDB.Close();
        if (!OpenDatabase())
            return;
        rsContacts.Open();
        qryCountries.Open();
        rsStatus.Open();
        qrySearch.Open();
        lists->timeCallBacks->SetDateTime(
            DateTimeValue::FromDateTime(QDateTime::currentDateTime()));
        LoadCallbacks();
        callbacks->StartReminders();
    } catch (...) {
        if (reportError_)
            reportError_(std::current_exception());
    }
}

bool TfrmMain::OpenDatabase() {
    bool chosenAgain = false;
    for (;;) {
        const DatabaseChoice choice = DatabaseChoice::Stored(databaseFolder_);
        QWidget *parent = isVisible() ? this : nullptr;
        if (!choice.OnServer()) {
            if (chosenAgain && !startupCheck_) {
                // Held from now on, as the program's start holds its own.
                startupCheck_ = std::make_unique<StartupCheck>(databaseFolder_);
                try {
                    startupCheck_->Run();
                } catch (...) {
                    if (reportError_)
                        reportError_(std::current_exception());
                }
            }
            // The file's failures are reported as they always were.
            connDB.SetConnectionString(choice.ConnectionString());
            connDB.Open();
            return true;
        }
        QString failure;
        try {
            choice.Connect(connDB, parent);
            return true;
        } catch (const EError &error) {
            failure = error.Message();
        }
        if (!OfferOptions(failure)) {
            quitAtStart_ = true;
            return false;
        }
        // OK or Cancel, the choice as it then stands is tried again.
        TfrmOptions::ExecuteWithoutDatabase(parent);
        chosenAgain = true;
    }
}

bool TfrmMain::OfferOptions(const QString &failure) {
    QMessageBox box(QMessageBox::Warning, TErrorBox::ApplicationTitle(),
                    failure.trimmed() +
                        QStringLiteral("\n\nThe program cannot work without its database. Choose "
                                       "Options to change the database or the server's details, "
                                       "or Quit."),
                    QMessageBox::NoButton, isVisible() ? this : nullptr);
    box.setObjectName(QStringLiteral("msgNoDatabase"));
    QPushButton *options = box.addButton(QStringLiteral("&Options ..."), QMessageBox::AcceptRole);
    QPushButton *quit = box.addButton(QStringLiteral("&Quit"), QMessageBox::RejectRole);
    box.setDefaultButton(options);
    box.setEscapeButton(quit);
    box.exec();
    return box.clickedButton() == options;
}

void TfrmMain::setVisible(bool visible) {
    if (visible && quitAtStart_) {
        // Queued: the program's event loop has not started yet. Outside
        // that loop (no program running) quit does nothing.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
        return;
    }
    QMainWindow::setVisible(visible);
}

void TfrmMain::LoadCallbacks() {
    lists->LoadCallbacks();
}

void TfrmMain::RunSearch() {
    lists->RunSearch();
}

void TfrmMain::LoadFromGrid(TDBGrid *grid) {
    const TField *key = grid->Columns().Count() > 0 ? grid->Columns()[0]->Field() : nullptr;
    const int id = key ? key->IntegerValue() : 0;
    rsContacts.Locate(QStringLiteral("ContactID"), id);
}

void TfrmMain::ReadContactsAgain(qint64 key) {
    qint64 current = 0;
    if (rsContacts.Active()) {
        if (const TField *field = rsContacts.FindField(QStringLiteral("ContactID")))
            current = field->TextValue().toLongLong();
    }
    rsContacts.Close();
    rsContacts.Open();
    const qint64 target = key ? key : current;
    if (target)
        rsContacts.Locate(QStringLiteral("ContactID"), target);
    lists->LoadCallbacks();
    lists->RunSearch();
}

void TfrmMain::mniExitClick() {
    close();
}

void TfrmMain::resizeEvent(QResizeEvent *event) {
    QMainWindow::resizeEvent(event);
    // The title strip and the editor keep their height and stretch to the
    // right; the lists stretch both ways.
    const QSize client = centralWidget()->size();
    const int grow = client.width() - kClientWidth;
    const int rise = client.height() - kClientHeight;
    Panel1->resize(752 + grow, 33);
    Panel2->resize(752 + grow, 310);
    PageControl1->resize(std::max(0, 753 + grow), std::max(0, 184 + rise));
}

void TfrmMain::FormClose() {
    // Discards a pending edit or insert without asking.
    rsContacts.Cancel();
    qryCountries.Close();
    rsStatus.Close();
}

void TfrmMain::closeEvent(QCloseEvent *event) {
    try {
        FormClose();
    } catch (...) {
        if (reportError_)
            reportError_(std::current_exception());
    }
    // Then the reminders withdrawn, the automatic backup when one is due,
    // and the database left as one file.
    try {
        if (callbacks)
            callbacks->AtClose();
        if (safety)
            safety->AtClose();
    } catch (...) {
        if (reportError_)
            reportError_(std::current_exception());
    }
    event->accept();
}
