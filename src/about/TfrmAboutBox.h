#pragma once

#include "about/TShellOpen.h"

#include <QDialog>
#include <QString>

class QFrame;
class QLabel;
class QPushButton;

// The About box: the product's name and version on a white panel, and two
// links to its maker, the web site and the support mail address, which a
// click hands to the desktop. Shown modally from Help > About.
class TfrmAboutBox : public QDialog {
    Q_OBJECT
public:
    static const QString kWebSite;        // "https://www.brennart.example/"
    static const QString kSupportAddress; // "support@brennart.example"

    // `opener` receives the addresses of the two links; empty means the
    // desktop's own.
    explicit TfrmAboutBox(QWidget *parent = nullptr,
                          TShellOpen::TOpener opener = TShellOpen::TOpener());

    // Creates a fresh box, shows it modally and destroys it when closed.
    static void Execute(QWidget *parent, TShellOpen::TOpener opener = TShellOpen::TOpener());

    // The position that centres a window of `size` on a screen of `screen`
    // (each half-difference truncated toward zero).
    static QPoint CentredPosition(const QSize &screen, const QSize &size);

    void FormCreate();
    void lblWebSiteClick();
    void lblEmailClick();

    QFrame *Panel1 = nullptr;
    QLabel *lblProduct = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblWebSiteCaption = nullptr;
    QLabel *lblWebSite = nullptr;
    QLabel *lblEmailCaption = nullptr;
    QLabel *lblEmail = nullptr;
    QPushButton *btnClose = nullptr;
    // Never shown: the picture and an older copy of the panel's lines.
    QLabel *imgLogo = nullptr;
    QFrame *pnlOldVersion = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QFrame *BuildPanel(const QString &version, QWidget *parent, QLabel **versionLabel,
                       QLabel **webSite, QLabel **email);

    TShellOpen::TOpener opener_;
    QPoint closeGapFromBottomRight_;
};
