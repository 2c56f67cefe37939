#pragma once

#include "settings/DatabaseSettings.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;

// The Options dialog's "Database" page: whether the program opens the
// database file on this computer or a database on a server, and for a
// server its host, port, database and user (enabled only while "Server" is
// chosen). The choice takes effect at the next start; the page says so, and
// where the password comes from, as it never stores one.
class DatabaseOptions : public QWidget {
    Q_OBJECT
public:
    explicit DatabaseOptions(QWidget *parent = nullptr);

    // Shows the stored settings.
    void Load();
    // The settings as the page shows them.
    DatabaseSettings Shown() const;
    // Stores what the page shows.
    void Store() const;

    QRadioButton *rdoFile = nullptr;
    QRadioButton *rdoServer = nullptr;
    QLabel *lblHost = nullptr;
    QLineEdit *txtHost = nullptr;
    QLabel *lblPort = nullptr;
    QSpinBox *spnPort = nullptr;
    QLabel *lblDatabase = nullptr;
    QLineEdit *txtDatabase = nullptr;
    QLabel *lblUser = nullptr;
    QLineEdit *txtUser = nullptr;
    QLabel *lblNote = nullptr;

private:
    void EnableServerFields(bool on);
};
