// Call-backs at a million contacts (385,000 of them overdue on the sample's
// today): the list with "Include overdue" to its first screen, a reminder
// check, and the calendar file of 30 days.
// Run: build/bin/corvana_callbacks_bench
#include "../BenchDatabase.h"

#include "calendar/CallbackCalendar.h"
#include "data/DBConnection.h"
#include "data/DateTimeValue.h"
#include "data/QueryCursor.h"
#include "reminders/CallbackReminders.h"
#include "reminders/DesktopNotifier.h"
#include "ui/main/ContactLists.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <benchmark/benchmark.h>

namespace {

constexpr int kFirstScreen = 20;

void OpenCallbacks(TQueryCursor &query, const QDate &day, bool overdue) {
    query.SetConnection(&BenchConnection());
    query.SetCursorType(ctStatic);
    query.SetLockType(ltReadOnly);
    for (const QString &line : ContactLists::CallbackLines(day, overdue))
        query.SQL().Add(line);
    query.Open();
}

// Opening the list and reading the rows of its first screen, as the grid
// does; on a day with few call-backs of its own most of them are overdue.
void BM_CallbacksFirstScreen(benchmark::State &state) {
    const bool overdue = state.range(0) != 0;
    const QDate day = QDate::currentDate();
    int rows = 0;
    for (auto _ : state) {
        TQueryCursor query("qryCallBack");
        OpenCallbacks(query, day, overdue);
        rows = 0;
        for (; rows < kFirstScreen && !query.Eof(); ++rows) {
            benchmark::DoNotOptimize(query.FieldNamed("CompanyName")->TextValue());
            query.Next();
        }
        state.PauseTiming();
        query.Close();
        state.ResumeTiming();
    }
    state.counters["rows"] = rows;
    state.counters["overdue"] = overdue;
}
BENCHMARK(BM_CallbacksFirstScreen)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// One check of the reminders at a busy hour of the day, sent nowhere.
void BM_ReminderCheck(benchmark::State &state) {
    DesktopNotifier notifier(QDBusConnection(QStringLiteral("nowhere")));
    double now = DateTimeValue::FromDate(QDate::currentDate()) + 10.0 / 24;
    CallbackReminders reminders(
        BenchConnection(), notifier, [&now] { return DateTimeValue::ToDateTime(now); },
        [] {
            return CallbackReminders::Settings{true, 15};
        });
    reminders.Start();
    int sent = 0;
    for (auto _ : state) {
        now += 1.0 / (24 * 60);
        sent += reminders.Check();
    }
    state.counters["reminders_per_check"] = double(sent) / double(state.iterations());
}
BENCHMARK(BM_ReminderCheck)->Unit(benchmark::kMillisecond);

void BM_CalendarOf30Days(benchmark::State &state) {
    const QString file = QDir::tempPath() + QStringLiteral("/corvana-bench-callbacks.ics");
    int events = 0;
    for (auto _ : state)
        events = CallbackCalendar(BenchConnection())
                     .Write(QDate::currentDate(), 30, 15, file, QDateTime::currentDateTime());
    state.counters["events"] = events;
    state.counters["file_MB"] = QFileInfo(file).size() / 1e6;
    state.counters["peak_resident_MB"] = PeakResidentMB();
    QFile::remove(file);
}
BENCHMARK(BM_CalendarOf30Days)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    BenchDatabasePath();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
