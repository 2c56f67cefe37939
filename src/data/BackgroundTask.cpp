#include "data/BackgroundTask.h"

#include "data/DatabaseErrors.h"

TBackgroundTask::TBackgroundTask(TWork work) {
    thread_ = std::thread([this, work = std::move(work)]() mutable {
        try {
            work(control_);
        } catch (const EError &error) {
            error_ = error.Message();
        } catch (const std::exception &error) {
            error_ = QString::fromUtf8(error.what());
        } catch (...) {
            error_ = QStringLiteral("The work failed.");
        }
        // What the work holds (a copy's partial file) is released before
        // the task counts as done.
        work = nullptr;
        done_ = true;
    });
}

TBackgroundTask::~TBackgroundTask() {
    Cancel();
    Wait();
}

void TBackgroundTask::Wait() {
    if (thread_.joinable())
        thread_.join();
}

QString TBackgroundTask::Error() const {
    // error_ is written before done_ is set, and read only after.
    return done_ ? error_ : QString();
}

TBackgroundTask::TWork TBackgroundTask::CopyWork(std::shared_ptr<TDBCopy> copy) {
    return [copy](Control &control) {
        while (!copy->Step()) {
            control.permille = copy->Permille() * 9 / 10;
            if (control.cancelled)
                throw EProviderError(QStringLiteral("The backup was cancelled."));
        }
        control.permille = 900;
        copy->Finish();
        control.permille = 1000;
    };
}
