#include "TempSettings.h"

#include <QSettings>
#include <QStandardPaths>

TempSettings::TempSettings() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path());
}

TempSettings::~TempSettings() {
    const QString standard =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, standard);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, standard);
}
