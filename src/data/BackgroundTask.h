#pragma once

#include "data/DBCopy.h"

#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

// One piece of work run on a thread of its own, so that the thread that
// started it stays free and only looks at its progress now and then.
//
// The work gets the task's progress (thousandths, which it sets) and its
// cancel flag (which it should look at between parts). An exception that
// leaves the work ends it: an EError's message, or a general text, becomes
// Error(). The destructor cancels the work and waits for it to end.
class TBackgroundTask {
public:
    struct Control {
        std::atomic<int> permille{0};
        std::atomic<bool> cancelled{false};
    };
    using TWork = std::function<void(Control &)>;

    explicit TBackgroundTask(TWork work);
    ~TBackgroundTask();
    TBackgroundTask(const TBackgroundTask &) = delete;
    TBackgroundTask &operator=(const TBackgroundTask &) = delete;

    // Asks the work to stop at its next look at the flag.
    void Cancel() { control_.cancelled = true; }
    bool Cancelled() const { return control_.cancelled; }
    // True once the work has ended, whichever way.
    bool Done() const { return done_; }
    int Permille() const { return control_.permille; }
    // Waits until the work has ended.
    void Wait();
    // Once done: empty when the work ended normally.
    QString Error() const;

    // Runs a copy of the database part by part until it is finished or
    // cancelled; a cancelled copy is abandoned and reports "The backup was
    // cancelled.". The copy's first nine tenths are the progress of its
    // parts, the last tenth its check and putting in place.
    static TWork CopyWork(std::shared_ptr<TDBCopy> copy);

private:
    Control control_;
    std::atomic<bool> done_{false};
    QString error_;
    std::thread thread_;
};
