#pragma once

#include "data/BackgroundTask.h"

#include <QString>

class QWidget;

// Runs a piece of work on a thread of its own while a modal progress window
// shows how far it is; the window's thread goes on handling events, so the
// program never stops answering. Returns the work's error, empty when it
// ended normally. With `cancellable`, the window's Cancel asks the work to
// stop.
class TaskProgress {
public:
    static QString Run(QWidget *parent, const QString &caption, TBackgroundTask::TWork work,
                       bool cancellable);
};
