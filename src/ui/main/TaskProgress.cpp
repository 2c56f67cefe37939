#include "ui/main/TaskProgress.h"

#include "ui/controls/TErrorBox.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>

QString TaskProgress::Run(QWidget *parent, const QString &caption, TBackgroundTask::TWork work,
                          bool cancellable) {
    TBackgroundTask task(std::move(work));
    QProgressDialog progress(caption, cancellable ? QStringLiteral("Cancel") : QString(), 0, 1000,
                             parent);
    progress.setWindowTitle(TErrorBox::ApplicationTitle());
    progress.setWindowModality(Qt::WindowModal);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    // Short work shows no window at all.
    progress.setMinimumDuration(400);
    if (!cancellable)
        progress.setCancelButton(nullptr);
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(25);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (progress.wasCanceled())
            task.Cancel();
        if (task.Done()) {
            loop.quit();
            return;
        }
        // Work that cannot tell how far it is (a check, a restore) shows a
        // moving bar instead of a bar standing still.
        const int permille = task.Permille();
        if (permille == 0)
            progress.setRange(0, 0);
        else if (progress.maximum() == 0)
            progress.setRange(0, 1000);
        progress.setValue(permille == 0 ? 0 : permille);
    });
    poll.start();
    if (!task.Done())
        loop.exec();
    task.Wait();
    return task.Error();
}
