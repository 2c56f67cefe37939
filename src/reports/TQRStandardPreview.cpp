#include "reports/TQRStandardPreview.h"

#include "reports/TQRExportFilterLibrary.h"
#include "reports/TQRPreview.h"
#include "reports/TQRPrinter.h"
#include "reports/TQRReport.h"
#include "ui/controls/TDialogFolder.h"
#include "ui/controls/TErrorBox.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

namespace {

const QString kLoadFilter = QStringLiteral("Folvane file (*.QRP)|*.QRP");

// A 16 x 16 glyph: a short mark drawn in black on a transparent ground.
QIcon TextGlyph(const QString &text) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QFont font = painter.font();
    font.setPixelSize(text.size() > 2 ? 7 : 10);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, 15, 15);
    painter.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, text);
    return QIcon(pixmap);
}

QIcon StyleGlyph(QStyle::StandardPixmap pixmap) {
    return QIcon(QApplication::style()->standardIcon(pixmap).pixmap(16, 16));
}

} // namespace

TQRStandardPreview::SaveFileDialog TQRStandardPreview::SaveDialog =
    [](QWidget *parent, const QString &caption, const QString &filter, int &filterIndex) {
        const QStringList filters = DialogFilters(filter);
        const QStringList extensions = DialogExtensions(filter);
        QFileDialog dialog(parent, caption);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // The save command overwrites without asking.
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setNameFilters(filters);
        // A name typed without an extension gets the chosen type's: "QRP"
        // for the saved report file, the format's for an export.
        const auto followType = [&dialog, filters, extensions](const QString &type) {
            dialog.setDefaultSuffix(extensions.value(filters.indexOf(type)));
        };
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, followType);
        dialog.selectNameFilter(filters.value(filterIndex - 1));
        followType(dialog.selectedNameFilter());
        const QString fileName = TDialogFolder::Run(dialog);
        filterIndex = filters.indexOf(dialog.selectedNameFilter()) + 1;
        return fileName;
    };
TQRStandardPreview::FileDialog TQRStandardPreview::OpenDialog =
    [](QWidget *parent, const QString &caption, const QString &filter) {
        QFileDialog dialog(parent, caption);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        // Any name typed is taken, so that a missing file meets Load's own
        // check and message. The platform's dialogs refuse such a name
        // themselves, so this one is always Qt's own.
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setNameFilters(DialogFilters(filter));
        return TDialogFolder::Run(dialog);
    };
TQRStandardPreview::MessageBox TQRStandardPreview::Message = [](QWidget *parent,
                                                                const QString &text) {
    QMessageBox::information(parent, TErrorBox::ApplicationTitle(), text);
};

TQRStandardPreview::TQRStandardPreview(TQRPrinter *producer, QWidget *parent)
    : QMainWindow(parent), producer_(producer), preview_(new TQRPreview(this)),
      toolBar_(new QToolBar(QStringLiteral("ToolBar1"), this)), zoomGroup_(new QActionGroup(this)),
      progressPanel_(new QLabel(QStringLiteral("0%"))),
      pagePanel_(new QLabel(QStringLiteral("Page"))) {
    setObjectName(QStringLiteral("QRStandardPreview"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Print Preview"));
    resize(652, 579);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    images_ = {TextGlyph(QStringLiteral("[]")),          TextGlyph(QStringLiteral("1:1")),
               TextGlyph(QStringLiteral("<>")),          StyleGlyph(QStyle::SP_MediaSkipBackward),
               StyleGlyph(QStyle::SP_MediaSeekBackward), StyleGlyph(QStyle::SP_MediaSeekForward),
               StyleGlyph(QStyle::SP_MediaSkipForward),  TextGlyph(QStringLiteral("Set")),
               TextGlyph(QStringLiteral("Prt")),         StyleGlyph(QStyle::SP_DialogOpenButton),
               StyleGlyph(QStyle::SP_DialogSaveButton),  StyleGlyph(QStyle::SP_DialogHelpButton)};
    BuildToolBar();

    setCentralWidget(preview_);
    progressPanel_->setObjectName(QStringLiteral("Panel0"));
    progressPanel_->setFixedWidth(40);
    progressPanel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    pagePanel_->setObjectName(QStringLiteral("Panel1"));
    pagePanel_->setMinimumWidth(50);
    statusBar()->setObjectName(QStringLiteral("StatusBar"));
    statusBar()->addWidget(progressPanel_);
    statusBar()->addWidget(pagePanel_);

    connect(preview_, &TQRPreview::PageAvailable, this,
            &TQRStandardPreview::QRPreviewPageAvailable);
    connect(preview_, &TQRPreview::ProgressUpdate, this,
            &TQRStandardPreview::QRPreviewProgressUpdate);

    // The window sees keys before its controls do.
    qApp->installEventFilter(this);

    preview_->SetQRPrinter(producer);
    if (producer && !producer->Title().isEmpty())
        setWindowTitle(producer->Title());
    Item(QStringLiteral("ZoomToWidth"))->setChecked(true);
    if (producer && producer->Status() == mpFinished)
        Item(QStringLiteral("Print"))->setEnabled(true);
}

TQRStandardPreview::~TQRStandardPreview() {
    qApp->removeEventFilter(this);
}

QAction *TQRStandardPreview::AddItem(const QString &name, const QString &hint, int glyph,
                                     void (TQRStandardPreview::*handler)()) {
    QAction *action = toolBar_->addAction(images_.value(glyph), hint);
    action->setObjectName(name);
    action->setToolTip(hint);
    connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    return action;
}

void TQRStandardPreview::BuildToolBar() {
    toolBar_->setObjectName(QStringLiteral("ToolBar1"));
    toolBar_->setMovable(false);
    toolBar_->setIconSize(QSize(16, 16));
    toolBar_->setContentsMargins(2, 2, 2, 2);
    toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    addToolBar(Qt::TopToolBarArea, toolBar_);

    toolBar_->addSeparator()->setObjectName(QStringLiteral("ToolButton1"));
    for (QAction *zoom : {AddItem(QStringLiteral("ZoomFit"), QStringLiteral("Zoom to fit"), 0,
                                  &TQRStandardPreview::ZoomToFitClick),
                          AddItem(QStringLiteral("Zoom100"), QStringLiteral("100%"), 1,
                                  &TQRStandardPreview::ZoomTo100Click),
                          AddItem(QStringLiteral("ZoomToWidth"), QStringLiteral("Zoom to width"), 2,
                                  &TQRStandardPreview::ZoomToWidthClick)}) {
        zoom->setCheckable(true);
        zoomGroup_->addAction(zoom);
    }
    zoomGroup_->setExclusive(true);
    toolBar_->addSeparator()->setObjectName(QStringLiteral("Separator1"));
    AddItem(QStringLiteral("FirstPage"), QStringLiteral("First page"), 3,
            &TQRStandardPreview::FirstPageClick);
    AddItem(QStringLiteral("PreviousPage"), QStringLiteral("Previous page"), 4,
            &TQRStandardPreview::PrevPageClick);
    AddItem(QStringLiteral("ToolButton2"), QStringLiteral("Next page"), 5,
            &TQRStandardPreview::NextPageClick);
    AddItem(QStringLiteral("LastPage"), QStringLiteral("Last page"), 6,
            &TQRStandardPreview::LastPageClick);
    toolBar_->addSeparator()->setObjectName(QStringLiteral("Separator2"));
    AddItem(QStringLiteral("PrintSetup"), QStringLiteral("Printer setup"), 7,
            &TQRStandardPreview::PrintSetupClick)
        ->setEnabled(false);
    AddItem(QStringLiteral("Print"), QStringLiteral("Print"), 8, &TQRStandardPreview::PrintClick)
        ->setEnabled(false);
    toolBar_->addSeparator()->setObjectName(QStringLiteral("Separator3"));
    AddItem(QStringLiteral("SaveReport"), QStringLiteral("Save Report"), 10,
            &TQRStandardPreview::SaveClick);
    AddItem(QStringLiteral("LoadReport"), QStringLiteral("Load Report"), 9,
            &TQRStandardPreview::LoadClick);
    toolBar_->addSeparator()->setObjectName(QStringLiteral("Separator4"));
    exitButton_ = new QPushButton(QStringLiteral("&Close"), toolBar_);
    exitButton_->setObjectName(QStringLiteral("ExitButton"));
    exitButton_->setFixedSize(40, 22);
    toolBar_->addWidget(exitButton_);
    connect(exitButton_, &QPushButton::clicked, this, &TQRStandardPreview::ExitClick);
}

QAction *TQRStandardPreview::Item(const QString &name) const {
    return findChild<QAction *>(name);
}

QLabel *TQRStandardPreview::StatusPanel(int index) const {
    return index == 0 ? progressPanel_ : index == 1 ? pagePanel_ : nullptr;
}

void TQRStandardPreview::Show() {
    showMaximized();
    UpdatePageInfo();
}

void TQRStandardPreview::UpdatePageInfo() {
    const int count = producer_ ? producer_->PageCount() : 0;
    pagePanel_->setText(QStringLiteral("Page") + QLatin1Char(' ') +
                        QString::number(preview_->PageNumber()) + QLatin1Char(' ') +
                        QStringLiteral("of") + QLatin1Char(' ') + QString::number(count));
}

void TQRStandardPreview::ZoomToFitClick() {
    preview_->ZoomToFit();
}

void TQRStandardPreview::ZoomTo100Click() {
    preview_->ZoomTo100();
}

void TQRStandardPreview::ZoomToWidthClick() {
    preview_->ZoomToWidth();
}

void TQRStandardPreview::FirstPageClick() {
    preview_->SetPageNumber(1);
    UpdatePageInfo();
}

void TQRStandardPreview::PrevPageClick() {
    preview_->SetPageNumber(preview_->PageNumber() - 1);
    UpdatePageInfo();
}

void TQRStandardPreview::NextPageClick() {
    preview_->SetPageNumber(preview_->PageNumber() + 1);
    UpdatePageInfo();
}

void TQRStandardPreview::LastPageClick() {
    if (producer_)
        preview_->SetPageNumber(producer_->PageCount());
    UpdatePageInfo();
}

void TQRStandardPreview::PrintSetupClick() {
    if (producer_ && producer_->PrinterSetupHandler) {
        const auto handler = producer_->PrinterSetupHandler;
        TErrorBox::Guard(handler);
    }
}

void TQRStandardPreview::PrintClick() {
    if (!producer_)
        return;
    TQRReport *master = producer_->Master();
    if (master && !producer_->LoadedFromFile()) {
        // Queued: the report prints again from its data once this click is
        // over; a report gone by then drops the request.
        QMetaObject::invokeMethod(
            master, [master] { TErrorBox::Guard([master] { master->Print(); }); },
            Qt::QueuedConnection);
        return;
    }
    if (producer_->Status() == mpFinished && TQRPrinter::PrinterInstalled()) {
        QPointer<TQRPrinter> producer = producer_;
        TErrorBox::Guard([producer] {
            if (producer)
                producer->PrintStoredPages();
        });
    }
}

QStringList TQRStandardPreview::DialogFilters(const QString &filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters.append(parts.at(i));
    return filters;
}

QStringList TQRStandardPreview::DialogExtensions(const QString &filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList extensions;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString &pattern = parts.at(i + 1);
        // "*.QRP" names one extension; "*.*", "*.htm *.html" and the like
        // name none.
        static const QRegularExpression plain(QStringLiteral("^\\*\\.([^*?\\[\\] ;]+)$"));
        const QRegularExpressionMatch match = plain.match(pattern);
        extensions.append(match.hasMatch() ? match.captured(1) : QString());
    }
    return extensions;
}

void TQRStandardPreview::SaveClick() {
    const TQRExportFilterLibrary &library = TQRExportFilterLibrary::Instance();
    int filterIndex = 1;
    QString fileName =
        SaveDialog(this, QStringLiteral("Save report"), library.SaveDialogFilter(), filterIndex);
    if (fileName.isEmpty() || !producer_)
        return;
    // The dialog adds the chosen type's extension to a name typed without
    // one; a name that comes back without one all the same gets it here.
    const int entry = filterIndex - 2;
    if (entry < 0 || entry >= library.Filters().size()) {
        if (QFileInfo(fileName).suffix().isEmpty())
            fileName += QStringLiteral(".QRP");
        // Before the run is over there is nothing complete to save.
        if (producer_->Status() != mpFinished)
            return;
        QPointer<TQRPrinter> producer = producer_;
        TErrorBox::Guard([producer, fileName] {
            if (producer)
                producer->StorePages(fileName);
        });
        return;
    }
    const TQRExportFilterLibraryEntry format = library.Filters().at(entry);
    if (QFileInfo(fileName).suffix().isEmpty())
        fileName += QLatin1Char('.') + format.fileExtension;
    // Pages loaded from a saved file have no report behind them to export.
    if (!producer_->ExportHandler)
        return;
    // A copy: closing this window during the export frees the producer that
    // holds the handler.
    const auto exportHandler = producer_->ExportHandler;
    TErrorBox::Guard([&exportHandler, &format, &fileName] {
        const std::unique_ptr<TQRExportFilter> exportFilter = format.exportFilterClass(fileName);
        exportHandler(*exportFilter);
    });
}

void TQRStandardPreview::LoadClick() {
    const QString fileName = OpenDialog(this, QStringLiteral("Load report"), kLoadFilter);
    if (fileName.isEmpty() || !producer_)
        return;
    if (!QFileInfo(fileName).isFile()) {
        Message(this, QStringLiteral("File does not exist"));
        return;
    }
    // A run still producing into this producer stops before the loaded
    // pages take its place: the report draws nothing more on it, not even
    // the footer of the page under way.
    if (producer_->Status() == mpBusy && producer_->Master())
        producer_->Master()->PreviewClosed(producer_);
    bool loaded = false;
    QPointer<TQRPrinter> producer = producer_;
    TErrorBox::Guard([producer, fileName, &loaded] {
        if (!producer)
            return;
        producer->RestorePages(fileName);
        loaded = true;
    });
    if (!loaded || !producer_)
        return;
    preview_->ReloadPage(1);
    UpdatePageInfo();
    Item(QStringLiteral("PrintSetup"))->setEnabled(false);
    Item(QStringLiteral("Print"))->setEnabled(true);
}

void TQRStandardPreview::ExitClick() {
    close();
}

void TQRStandardPreview::QRPreviewPageAvailable(int) {
    UpdatePageInfo();
    if (producer_ && producer_->Status() == mpFinished) {
        // Loaded pages have no report behind them to set up.
        Item(QStringLiteral("PrintSetup"))->setEnabled(!producer_->LoadedFromFile());
        Item(QStringLiteral("Print"))->setEnabled(true);
    }
}

void TQRStandardPreview::RunEnded() {
    // The producer's page notices are queued; the first page is shown before
    // Print is offered, so nothing acts on a window that shows no page yet.
    // Zooming lets events run, and the window may close meanwhile.
    QPointer<TQRStandardPreview> self(this);
    preview_->CatchUp();
    if (!self)
        return;
    QRPreviewPageAvailable(producer_ ? producer_->AvailablePages() : 0);
}

void TQRStandardPreview::QRPreviewProgressUpdate(int progress) {
    if (progress >= lastProgress_ + 5) {
        progressPanel_->setText(QString::number(progress) + QLatin1Char('%'));
        lastProgress_ = progress;
    }
    if (progress == 0 || progress == 100)
        progressPanel_->clear();
}

bool TQRStandardPreview::FormKeyDown(int key, Qt::KeyboardModifiers modifiers) {
    const Qt::KeyboardModifiers held =
        modifiers & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    const bool exactlyCtrl =
        held == Qt::ControlModifier && QGuiApplication::mouseButtons() == Qt::NoButton;
    switch (key) {
    case Qt::Key_Escape:
        ExitClick();
        return true;
    case Qt::Key_PageUp:
        exactlyCtrl ? FirstPageClick() : PrevPageClick();
        return true;
    case Qt::Key_PageDown:
        exactlyCtrl ? LastPageClick() : NextPageClick();
        return true;
    case Qt::Key_Home:
        FirstPageClick();
        return true;
    case Qt::Key_End:
        LastPageClick();
        return true;
    default:
        return false;
    }
}

bool TQRStandardPreview::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget *>(watched)->window() == this) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (FormKeyDown(key->key(), key->modifiers()))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TQRStandardPreview::closeEvent(QCloseEvent *event) {
    if (!closed_) {
        closed_ = true;
        // The report learns at once: a run still producing is cancelled,
        // and its wait for this window ends.
        if (producer_ && producer_->Master())
            producer_->Master()->PreviewClosed(producer_);
        preview_->SetQRPrinter(nullptr);
        emit Closed();
    }
    event->accept();
}

void TQRStandardPreview::resizeEvent(QResizeEvent *event) {
    QMainWindow::resizeEvent(event);
    preview_->UpdateLayout();
}
