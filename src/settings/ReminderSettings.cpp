#include "settings/ReminderSettings.h"

#include "settings/GenFun.h"

const QString ReminderSettings::kOn = QStringLiteral("RemindersOn");
const QString ReminderSettings::kLeadMinutes = QStringLiteral("ReminderLeadMinutes");

namespace {

QString Stored(const QString &name) {
    try {
        return GenFun::ReadRegString(GenFun::kKey, name, QString());
    } catch (...) {
        return QString();
    }
}

} // namespace

ReminderSettings ReminderSettings::Read() {
    ReminderSettings settings;
    const QString on = Stored(kOn).trimmed();
    if (on == QLatin1String("0"))
        settings.on = false;
    bool ok = false;
    const int lead = Stored(kLeadMinutes).trimmed().toInt(&ok, 10);
    if (ok && lead >= 0 && lead <= kMaxLead)
        settings.leadMinutes = lead;
    return settings;
}

void ReminderSettings::Write() const {
    GenFun::WriteRegString(GenFun::kKey, kOn, on ? QStringLiteral("1") : QStringLiteral("0"));
    GenFun::WriteRegString(GenFun::kKey, kLeadMinutes,
                           QString::number(qBound(0, leadMinutes, kMaxLead)));
}
