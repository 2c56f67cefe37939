#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>

// Points the home folder, and with it the user's documents folder, at a new
// empty temporary folder for the life of a test (header only). The
// documents folder is <home>/Documents and does not exist until made.
class TempHome {
public:
    TempHome()
        : home_(qgetenv("HOME")), config_(qgetenv("XDG_CONFIG_HOME")),
          hadConfig_(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")) {
        qputenv("HOME", dir_.path().toLocal8Bit());
        // No folder list of the desktop's: the documents folder is the
        // standard one under home.
        qputenv("XDG_CONFIG_HOME", (dir_.path() + QStringLiteral("/.config")).toLocal8Bit());
    }
    ~TempHome() {
        qputenv("HOME", home_);
        if (hadConfig_)
            qputenv("XDG_CONFIG_HOME", config_);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }
    TempHome(const TempHome &) = delete;
    TempHome &operator=(const TempHome &) = delete;

    bool IsValid() const { return dir_.isValid(); }
    QString Path() const { return dir_.path(); }
    QString Documents() const { return dir_.path() + QStringLiteral("/Documents"); }
    bool MakeDocuments() const { return QDir(dir_.path()).mkdir(QStringLiteral("Documents")); }

private:
    QTemporaryDir dir_;
    QByteArray home_;
    QByteArray config_;
    bool hadConfig_;
};
