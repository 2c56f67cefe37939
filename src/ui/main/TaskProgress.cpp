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
        progress.setValue(task.Permille());
    });
    poll.start();
    if (!task.Done())
        loop.exec();
    task.Wait();
    return task.Error();
}
