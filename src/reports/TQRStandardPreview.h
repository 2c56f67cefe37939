#pragma once

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <functional>

class QAction;
class QActionGroup;
class QLabel;
class QPushButton;
class QToolBar;
class TQRPreview;
class TQRPrinter;

// The print preview window of one producer: a tool bar to zoom, page, print,
// set up the printer, save and load; the page view; and a status bar with
// the progress (panel 0) and "Page n of m" (panel 1). It is destroyed when
// closed; closing tells the producer's report at once, which cancels a run
// still under way.
//
// Print and Printer setup become usable when the producer announces a page
// and is finished; after a Load, Printer setup is disabled (the report's
// handlers are gone) and Print prints the stored pages.
class TQRStandardPreview : public QMainWindow {
    Q_OBJECT
public:
    // The dialogs the window opens; tests replace them. A file dialog gives
    // the chosen file name, empty when cancelled. Filters come as
    // "description|pattern" pairs joined by "|"; the save dialog also
    // reports the chosen type, counting from 1. Both open where a file was
    // chosen last (TDialogFolder) with an empty name box; the save dialog
    // adds the chosen type's extension to a name typed without one, the
    // open dialog takes a name that does not exist.
    using FileDialog =
        std::function<QString(QWidget *parent, const QString &caption, const QString &filter)>;
    using SaveFileDialog = std::function<QString(QWidget *parent, const QString &caption,
                                                 const QString &filter, int &filterIndex)>;
    using MessageBox = std::function<void(QWidget *parent, const QString &text)>;
    static SaveFileDialog SaveDialog;
    static FileDialog OpenDialog;
    static MessageBox Message;

    explicit TQRStandardPreview(TQRPrinter *producer, QWidget *parent = nullptr);
    ~TQRStandardPreview() override;

    // Shows the window maximised and writes the page information.
    void Show();

    TQRPrinter *QRPrinter() const { return producer_; }
    TQRPreview *QRPreview() const { return preview_; }
    QToolBar *ToolBar1() const { return toolBar_; }
    QAction *Item(const QString &name) const;
    QLabel *StatusPanel(int index) const;
    // The twelve 16 x 16 glyphs of the tool bar, by index.
    const QList<QIcon> &Images() const { return images_; }

    // The file dialog's types of a "description|pattern|..." filter: the
    // descriptions, each naming its pattern in brackets.
    static QStringList DialogFilters(const QString &filter);
    // The extension of each type's pattern ("*.QRP": "QRP"); empty for a
    // pattern that is not one plain extension.
    static QStringList DialogExtensions(const QString &filter);

    void UpdatePageInfo();
    // The run behind the window has ended: a run without any page announces
    // none, yet its (empty) report is complete and may be printed or saved.
    void RunEnded();
    void ZoomToFitClick();
    void ZoomTo100Click();
    void ZoomToWidthClick();
    void FirstPageClick();
    void PrevPageClick();
    void NextPageClick();
    void LastPageClick();
    void PrintSetupClick();
    void PrintClick();
    void SaveClick();
    void LoadClick();
    void ExitClick();

signals:
    // The window has been closed; it is deleted soon after.
    void Closed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void BuildToolBar();
    QAction *AddItem(const QString &name, const QString &hint, int glyph,
                     void (TQRStandardPreview::*handler)());
    bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void QRPreviewPageAvailable(int availablePages);
    void QRPreviewProgressUpdate(int progress);

    QPointer<TQRPrinter> producer_;
    TQRPreview *preview_;
    QToolBar *toolBar_;
    QActionGroup *zoomGroup_;
    QPushButton *exitButton_ = nullptr;
    QLabel *progressPanel_;
    QLabel *pagePanel_;
    QList<QIcon> images_;
    int lastProgress_ = 0;
    bool closed_ = false;
};
