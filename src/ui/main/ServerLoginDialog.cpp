#include "ui/main/ServerLoginDialog.h"

#include "ui/controls/TErrorBox.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

ServerLoginDialog::ServerLoginDialog(const QString &user, const QString &host, bool refused,
                                     QWidget *parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("dlgServerLogin"));
    setWindowTitle(TErrorBox::ApplicationTitle());
    setMinimumWidth(320);
    lblRefused =
        new QLabel(QStringLiteral("The server did not accept the password. Type it again."), this);
    lblRefused->setObjectName(QStringLiteral("lblRefused"));
    lblRefused->setWordWrap(true);
    lblRefused->setVisible(refused);
    lblPassword = new QLabel(QStringLiteral("Password for %1 on %2:").arg(user, host), this);
    lblPassword->setObjectName(QStringLiteral("lblPassword"));
    lblPassword->setWordWrap(true);
    lblPassword->setTextFormat(Qt::PlainText);
    txtPassword = new QLineEdit(this);
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    txtPassword->setEchoMode(QLineEdit::Password);
    // No buddy: a '&' in a user's or host's name is shown, not taken as a key.
    txtPassword->setAccessibleName(lblPassword->text());
    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblRefused);
    layout->addWidget(lblPassword);
    layout->addWidget(txtPassword);
    layout->addWidget(buttons);
    txtPassword->setFocus();
}

ServerLoginDialog::~ServerLoginDialog() {
    // What was typed does not linger in the edit's memory.
    txtPassword->clear();
}

QString ServerLoginDialog::Password() const {
    return txtPassword->text();
}
