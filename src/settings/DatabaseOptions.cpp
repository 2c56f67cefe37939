#include "settings/DatabaseOptions.h"

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <algorithm>

namespace {
// The server's fields stand in rows under "Server", their labels indented
// in a column as wide as the widest of them.
constexpr int kLeft = 16;
constexpr int kLabelLeft = 28;
constexpr int kRight = 312;
constexpr int kRowHeight = 21;
constexpr int kRowStep = 25;
constexpr int kFirstRow = 30;
constexpr int kGap = 6;
constexpr int kPortWidth = 56;
} // namespace

DatabaseOptions::DatabaseOptions(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tabDatabase"));
    rdoFile = new QRadioButton(QStringLiteral("This &computer"), this);
    rdoFile->setObjectName(QStringLiteral("rdoFile"));
    rdoServer = new QRadioButton(QStringLiteral("&Server"), this);
    rdoServer->setObjectName(QStringLiteral("rdoServer"));

    auto label = [this](const char *name, const QString &text) {
        auto *made = new QLabel(text, this);
        made->setObjectName(QString::fromLatin1(name));
        made->adjustSize();
        return made;
    };
    auto edit = [this](const char *name) {
        auto *made = new QLineEdit(this);
        made->setObjectName(QString::fromLatin1(name));
        return made;
    };
    lblHost = label("lblHost", QStringLiteral("&Host:"));
    txtHost = edit("txtHost");
    lblPort = label("lblPort", QStringLiteral("&Port:"));
    spnPort = new QSpinBox(this);
    spnPort->setObjectName(QStringLiteral("spnPort"));
    spnPort->setRange(1, DatabaseSettings::kMaxPort);
    spnPort->setValue(DatabaseSettings::kDefaultPort);
    lblDatabase = label("lblDatabase", QStringLiteral("&Database:"));
    txtDatabase = edit("txtDatabase");
    lblUser = label("lblUser", QStringLiteral("&User:"));
    txtUser = edit("txtUser");
    lblHost->setBuddy(txtHost);
    lblPort->setBuddy(spnPort);
    lblDatabase->setBuddy(txtDatabase);
    lblUser->setBuddy(txtUser);

    lblNote = new QLabel(QStringLiteral("Takes effect at the next start. The password is never "
                                        "stored: it comes from ~/.pgpass or PGPASSWORD, else "
                                        "the program asks for it."),
                         this);
    lblNote->setObjectName(QStringLiteral("lblNote"));
    lblNote->setWordWrap(true);
    lblNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // Placed for the dialog's font: the labels' column as wide as its
    // widest text, the note as tall as its wrapped lines.
    const int radioHeight = std::max(rdoFile->sizeHint().height(), 17);
    rdoFile->setGeometry(kLeft, 8, rdoFile->sizeHint().width(), radioHeight);
    rdoServer->setGeometry(std::max(136, rdoFile->geometry().right() + 16), 8,
                           rdoServer->sizeHint().width(), radioHeight);
    const int fieldLeft =
        kLabelLeft + std::max({lblHost->width(), lblDatabase->width(), lblUser->width()}) + kGap;
    auto row = [](int index) { return kFirstRow + index * kRowStep; };
    auto placeLabel = [](QLabel *made, int left, int top) {
        made->move(left, top + (kRowHeight - made->height()) / 2);
    };
    spnPort->setGeometry(kRight - kPortWidth, row(0), kPortWidth, kRowHeight);
    const int portLabelLeft = spnPort->x() - kGap - lblPort->width();
    placeLabel(lblHost, kLabelLeft, row(0));
    txtHost->setGeometry(fieldLeft, row(0), portLabelLeft - kGap - fieldLeft, kRowHeight);
    placeLabel(lblPort, portLabelLeft, row(0));
    placeLabel(lblDatabase, kLabelLeft, row(1));
    txtDatabase->setGeometry(fieldLeft, row(1), kRight - fieldLeft, kRowHeight);
    placeLabel(lblUser, kLabelLeft, row(2));
    txtUser->setGeometry(fieldLeft, row(2), kRight - fieldLeft, kRowHeight);
    const int noteTop = row(3) + 4;
    lblNote->setGeometry(kLeft, noteTop, kRight - kLeft, lblNote->heightForWidth(kRight - kLeft));

    // The choice, then the server's fields in reading order.
    setTabOrder(rdoFile, rdoServer);
    setTabOrder(rdoServer, txtHost);
    setTabOrder(txtHost, spnPort);
    setTabOrder(spnPort, txtDatabase);
    setTabOrder(txtDatabase, txtUser);

    // The server's fields mean nothing for the file on this computer.
    connect(rdoServer, &QRadioButton::toggled, this, &DatabaseOptions::EnableServerFields);
    rdoFile->setChecked(true);
    EnableServerFields(false);
}

void DatabaseOptions::EnableServerFields(bool on) {
    for (QWidget *field : std::initializer_list<QWidget *>{
             lblHost, txtHost, lblPort, spnPort, lblDatabase, txtDatabase, lblUser, txtUser})
        field->setEnabled(on);
}

void DatabaseOptions::Load() {
    const DatabaseSettings stored = DatabaseSettings::Read();
    (stored.OnServer() ? rdoServer : rdoFile)->setChecked(true);
    txtHost->setText(stored.host);
    spnPort->setValue(stored.port);
    txtDatabase->setText(stored.database);
    txtUser->setText(stored.user);
    EnableServerFields(stored.OnServer());
}

DatabaseSettings DatabaseOptions::Shown() const {
    DatabaseSettings shown;
    shown.place = rdoServer->isChecked() ? DatabaseSettings::Place::Server
                                         : DatabaseSettings::Place::ThisComputer;
    shown.host = txtHost->text().trimmed();
    shown.port = spnPort->value();
    shown.database = txtDatabase->text().trimmed();
    shown.user = txtUser->text().trimmed();
    return shown;
}

void DatabaseOptions::Store() const {
    Shown().Write();
}
