#include "reminders/CallbackReminders.h"

#include "data/DBConnection.h"
#include "data/DBStatement.h"
#include "data/DateTimeValue.h"
#include "reminders/DesktopNotifier.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int kLongestWaitMs = 60 * 1000;
constexpr double kMsPerDay = 24.0 * 60 * 60 * 1000;
// A clock set back by more than this starts the reminders over.
constexpr double kClockSetBack = 1.0 / 24;

const char *const kNotCalledSince = "(LastCallDate is null or LastCallDate < CallbackDate)";

QString Text(const TValue &value) {
    return ValueIsNull(value) ? QString() : value.toString().trimmed();
}

} // namespace

CallbackReminders::CallbackReminders(TDBConnection &connection, DesktopNotifier &notifier,
                                     Clock clock, SettingsSource settings, QObject *parent)
    : QObject(parent), connection_(connection), notifier_(notifier), clock_(std::move(clock)),
      settings_(std::move(settings)) {
    timer_.setSingleShot(true);
    // On the second: a coarse timer may fire seconds after a call-back.
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &CallbackReminders::Check);
    connect(&notifier_, &DesktopNotifier::Activated, this, &CallbackReminders::Activated);
}

double CallbackReminders::Now() const {
    return DateTimeValue::FromDateTime(clock_ ? clock_() : QDateTime::currentDateTime());
}

int CallbackReminders::Start() {
    running_ = true;
    coveredUntil_ = Now();
    return Check();
}

void CallbackReminders::Stop() {
    running_ = false;
    timer_.stop();
}

int CallbackReminders::NextCheckIn() const {
    return running_ && timer_.isActive() ? timer_.remainingTime() : -1;
}

int CallbackReminders::Check() {
    if (!running_)
        return 0;
    const double now = Now();
    const Settings settings = settings_ ? settings_() : Settings{};
    const double lead = settings.leadMinutes / (24.0 * 60);
    const double until = now + lead;
    if (coveredUntil_ > until + kClockSetBack)
        coveredUntil_ = until;
    int wait = kLongestWaitMs;
    int sent = 0;
    try {
        if (settings.on) {
            // Of the days slept through, only today's call-backs are shown.
            const double from = std::max(coveredUntil_, DateTimeValue::DayOf(now));
            if (until > from)
                sent = Show(from, until);
        }
        // While off, nothing comes due: turned on later, the reminders go on
        // from that moment.
        coveredUntil_ = std::max(coveredUntil_, until);
        if (settings.on) {
            const double next = NextCallback(coveredUntil_);
            if (!std::isnan(next))
                wait = int(std::clamp((next - lead - now) * kMsPerDay + 50, 250.0,
                                      double(kLongestWaitMs)));
        }
    } catch (...) {
        // The database could not be read: the next check tries again over
        // the same stretch of time.
    }
    timer_.start(wait);
    return sent;
}

int CallbackReminders::Show(double from, double until) {
    auto select = connection_.Prepare(
        QStringLiteral("select ContactID, CompanyName, ContactPerson, Phone, Mobile, "
                       "CallbackDate from Contacts where CallbackDate > ?1 and CallbackDate <= ?2 "
                       "and ") +
        QLatin1String(kNotCalledSince) + QStringLiteral(" order by CallbackDate, ContactID"));
    select->Bind(1, from);
    select->Bind(2, until);
    struct Due {
        qint64 id;
        QString summary;
        QString body;
    };
    std::vector<Due> due;
    {
        TDBStatement::Scope reset(*select);
        while (select->Step()) {
            const TValue callback = select->Column(5);
            due.push_back({select->Column(0).toLongLong(),
                           Summary(Text(select->Column(1)), Text(select->Column(2))),
                           Body(Text(select->Column(2)), Text(select->Column(3)),
                                Text(select->Column(4)), callback.toDouble())});
        }
    }
    for (const Due &one : due)
        notifier_.Show(one.summary, one.body, one.id);
    return int(due.size());
}

double CallbackReminders::NextCallback(double after) {
    auto select = connection_.Prepare(
        QStringLiteral("select CallbackDate from Contacts where CallbackDate > ?1 and ") +
        QLatin1String(kNotCalledSince) + QStringLiteral(" order by CallbackDate limit 1"));
    select->Bind(1, after);
    TDBStatement::Scope reset(*select);
    return select->Step() ? select->Column(0).toDouble() : std::numeric_limits<double>::quiet_NaN();
}

QString CallbackReminders::Summary(const QString &company, const QString &person) {
    return QStringLiteral("Call back ") + (company.isEmpty() ? person : company);
}

QString CallbackReminders::Body(const QString &person, const QString &phone, const QString &mobile,
                                double callback) {
    QStringList lines;
    if (!person.isEmpty())
        lines << person;
    if (!phone.isEmpty())
        lines << QStringLiteral("Phone: ") + phone;
    if (!mobile.isEmpty())
        lines << QStringLiteral("Mobile: ") + mobile;
    lines << QStringLiteral("At ") +
                 QLocale().toString(DateTimeValue::ToTime(callback), QLocale::ShortFormat);
    return lines.join(QLatin1Char('\n'));
}
