#pragma once

#include <QDialog>

class QDialogButtonBox;
class QLabel;
class QLineEdit;

// Asks for the password of a database server's user: "Password for <user>
// on <host>:" over a line edit that does not show what is typed, with OK
// and Cancel. After a password the server refused it says so above the
// question. The dialog keeps the password only as long as it exists.
class ServerLoginDialog : public QDialog {
    Q_OBJECT
public:
    ServerLoginDialog(const QString &user, const QString &host, bool refused,
                      QWidget *parent = nullptr);
    ~ServerLoginDialog() override;

    QString Password() const;

    QLabel *lblRefused = nullptr; // shown only after a refused password
    QLabel *lblPassword = nullptr;
    QLineEdit *txtPassword = nullptr;
    QDialogButtonBox *buttons = nullptr;
};
