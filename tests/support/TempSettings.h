#pragma once

#include <QTemporaryDir>

// Points the per-user settings store at a temporary folder for the life of
// the object, so tests never read or write the real user's settings.
class TempSettings {
public:
    TempSettings();
    ~TempSettings();
    // The folder holding the store's files.
    QString Folder() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
};
