#include "about/TfrmAboutBox.h"

#include <QEvent>
#include <QFont>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <memory>

const QString TfrmAboutBox::kWebSite = QStringLiteral("https://www.brennart.example/");
const QString TfrmAboutBox::kSupportAddress = QStringLiteral("support@brennart.example");

namespace {
constexpr int kClientWidth = 298;
constexpr int kClientHeight = 149;
const QColor kSilver(192, 192, 192);

QLabel *MakeLabel(const QString &name, const QString &text, int left, int top, QWidget *parent) {
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    // Plain text keeps the product line's two spaces as they are.
    label->setTextFormat(Qt::PlainText);
    label->move(left, top);
    label->adjustSize();
    return label;
}

// A link line: blue and underlined, with the hand cursor over it.
void MakeLink(QLabel *label) {
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    label->setPalette(palette);
    label->setCursor(Qt::PointingHandCursor);
    label->adjustSize();
}
} // namespace

TfrmAboutBox::TfrmAboutBox(QWidget *parent, TShellOpen::TOpener opener)
    : QDialog(parent), opener_(std::move(opener)) {
    setObjectName(QStringLiteral("frmAboutBox"));
    setWindowTitle(QStringLiteral("About The Program"));
    // A fixed dialog border: a title with the close box, no resizing.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientWidth, kClientHeight);
    // The lines are placed for this font; it is the box's own, not the
    // application's.
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    setFont(font);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kSilver);
    setPalette(palette);

    // Built first, so it lies under everything else; never shown.
    imgLogo = new QLabel(this);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setGeometry(0, 0, 305, 81);
    imgLogo->setVisible(false);

    QLabel *oldVersion = nullptr;
    QLabel *oldWebSite = nullptr;
    QLabel *oldEmail = nullptr;
    pnlOldVersion =
        BuildPanel(QStringLiteral("Version 1.5"), this, &oldVersion, &oldWebSite, &oldEmail);
    pnlOldVersion->setObjectName(QStringLiteral("pnlOldVersion"));
    pnlOldVersion->setVisible(false);

    Panel1 = BuildPanel(QString(), this, &lblVersion, &lblWebSite, &lblEmail);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    lblProduct = Panel1->findChild<QLabel *>(QStringLiteral("lblProduct"));
    lblWebSiteCaption = Panel1->findChild<QLabel *>(QStringLiteral("lblWebSiteCaption"));
    lblEmailCaption = Panel1->findChild<QLabel *>(QStringLiteral("lblEmailCaption"));
    lblWebSite->installEventFilter(this);
    lblEmail->installEventFilter(this);

    btnClose = new QPushButton(QStringLiteral("Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setGeometry(189, 118, 100, 24);
    closeGapFromBottomRight_ = QPoint(kClientWidth - btnClose->geometry().right(),
                                      kClientHeight - btnClose->geometry().bottom());
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(CentredPosition(screen->geometry().size(), size()));

    FormCreate();
}

QFrame *TfrmAboutBox::BuildPanel(const QString &version, QWidget *parent, QLabel **versionLabel,
                                 QLabel **webSite, QLabel **email) {
    auto *panel = new QFrame(parent);
    panel->setGeometry(-1, 0, 300, 110);
    // A lowered outer and a raised inner bevel, one pixel each.
    panel->setFrameShape(QFrame::Box);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setLineWidth(1);
    panel->setMidLineWidth(0);
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, Qt::white);
    panel->setPalette(palette);

    QLabel *product =
        MakeLabel(QStringLiteral("lblProduct"),
                  QStringLiteral("Corvana - Business  Contacts Database"), 48, 16, panel);
    QFont bold = product->font();
    bold.setBold(true);
    product->setFont(bold);
    product->adjustSize();
    *versionLabel = MakeLabel(QStringLiteral("lblVersion"), version, 113, 34, panel);
    MakeLabel(QStringLiteral("lblWebSiteCaption"), QStringLiteral("Web Site:"), 64, 66, panel);
    *webSite = MakeLabel(QStringLiteral("lblWebSite"), kWebSite, 113, 66, panel);
    MakeLink(*webSite);
    MakeLabel(QStringLiteral("lblEmailCaption"), QStringLiteral("Email:"), 66, 82, panel);
    *email = MakeLabel(QStringLiteral("lblEmail"), kSupportAddress, 97, 82, panel);
    MakeLink(*email);
    return panel;
}

void TfrmAboutBox::Execute(QWidget *parent, TShellOpen::TOpener opener) {
    auto box = std::make_unique<TfrmAboutBox>(parent, std::move(opener));
    box->exec();
}

QPoint TfrmAboutBox::CentredPosition(const QSize &screen, const QSize &size) {
    // Integer division truncates toward zero, so a screen narrower than the
    // box puts its left edge at minus half the difference.
    return QPoint((screen.width() - size.width()) / 2, (screen.height() - size.height()) / 2);
}

void TfrmAboutBox::FormCreate() {
    lblVersion->setText(QStringLiteral("Version 1.1"));
    lblVersion->adjustSize();
}

void TfrmAboutBox::lblWebSiteClick() {
    TShellOpen::Open(opener_, QUrl(kWebSite));
}

void TfrmAboutBox::lblEmailClick() {
    TShellOpen::Open(opener_, QUrl(QStringLiteral("mailto:") + kSupportAddress));
}

bool TfrmAboutBox::eventFilter(QObject *watched, QEvent *event) {
    // A label click is a left button released over the label it was
    // pressed on (the label holds the mouse from the press).
    if (event->type() == QEvent::MouseButtonRelease &&
        (watched == lblWebSite || watched == lblEmail)) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const auto *label = static_cast<QLabel *>(watched);
        if (mouse->button() == Qt::LeftButton &&
            label->rect().contains(mouse->position().toPoint())) {
            if (watched == lblWebSite)
                lblWebSiteClick();
            else
                lblEmailClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmAboutBox::resizeEvent(QResizeEvent *event) {
    QDialog::resizeEvent(event);
    if (!btnClose)
        return;
    // The close button keeps its distance to the right and bottom edges.
    const QSize buttonSize = btnClose->size();
    const QPoint bottomRight(width() - closeGapFromBottomRight_.x(),
                             height() - closeGapFromBottomRight_.y());
    btnClose->setGeometry(
        QRect(bottomRight - QPoint(buttonSize.width() - 1, buttonSize.height() - 1), buttonSize));
}
