#pragma once

#include <QString>

// How the program reminds of call-backs: whether it shows a desktop
// notification at a call-back's time, and how many minutes before it. Kept
// in the settings store beside the default country. Reading never fails: a
// missing, damaged or out-of-range value reads as its default (on, no lead),
// so a bad store can never stop the reminders or the program.
class ReminderSettings {
public:
    static const QString kOn;          // "RemindersOn": "1" or "0"
    static const QString kLeadMinutes; // "ReminderLeadMinutes": 0 to kMaxLead
    static constexpr int kMaxLead = 24 * 60;

    bool on = true;
    int leadMinutes = 0;

    static ReminderSettings Read();
    // Stores both values; fails as GenFun::WriteRegString does.
    void Write() const;

    bool operator==(const ReminderSettings &other) const {
        return on == other.on && leadMinutes == other.leadMinutes;
    }
};
