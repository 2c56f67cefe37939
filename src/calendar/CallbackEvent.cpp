#include "calendar/CallbackEvent.h"

#include <QStringList>
#include <libical/ical.h>
#include <memory>
#include <stdexcept>

namespace {

using Component = std::unique_ptr<icalcomponent, void (*)(icalcomponent *)>;

// A UTC time as libical's time type: DATE-TIME with the "Z" suffix.
icaltimetype UtcTime(const QDateTime &when) {
    const QDateTime utc = when.toUTC();
    icaltimetype time = icaltime_null_time();
    time.year = utc.date().year();
    time.month = utc.date().month();
    time.day = utc.date().day();
    time.hour = utc.time().hour();
    time.minute = utc.time().minute();
    time.second = utc.time().second();
    time.is_date = 0;
    time.zone = icaltimezone_get_utc_timezone();
    return time;
}

bool Empty(const QString &text) {
    return CallbackEvent::CleanText(text).trimmed().isEmpty();
}

} // namespace

QString CallbackEvent::Uid() const {
    return QStringLiteral("callback-%1-%2@corvana")
        .arg(contactId)
        .arg((wallStart.isValid() ? wallStart : start.toLocalTime())
                 .toString(QStringLiteral("yyyyMMdd'T'HHmmss")));
}

QString CallbackEvent::Summary() const {
    return (QStringLiteral("Call back ") + CleanText(Empty(company) ? person : company)).trimmed();
}

QString CallbackEvent::Description() const {
    const std::pair<const char *, const QString *> lines[] = {{"Company: ", &company},
                                                              {"Person: ", &person},
                                                              {"Phone: ", &phone},
                                                              {"Mobile: ", &mobile},
                                                              {"E-mail: ", &email}};
    QStringList result;
    for (const auto &[label, value] : lines)
        if (!Empty(*value))
            result << QLatin1String(label) + CleanText(*value);
    return result.join(QLatin1Char('\n'));
}

QByteArray CallbackEvent::Serialize(const QDateTime &stamp, int leadMinutes) const {
    const QByteArray summary = Summary().toUtf8();
    const QByteArray description = Description().toUtf8();

    Component event(icalcomponent_new_vevent(), icalcomponent_free);
    icalcomponent_add_property(event.get(), icalproperty_new_uid(Uid().toUtf8().constData()));
    icalcomponent_add_property(event.get(), icalproperty_new_dtstamp(UtcTime(stamp)));
    icalcomponent_add_property(event.get(), icalproperty_new_dtstart(UtcTime(start)));
    icalcomponent_add_property(event.get(),
                               icalproperty_new_duration(icaldurationtype_from_int(15 * 60)));
    icalcomponent_add_property(event.get(), icalproperty_new_summary(summary.constData()));
    if (!description.isEmpty())
        icalcomponent_add_property(event.get(),
                                   icalproperty_new_description(description.constData()));

    icalcomponent *alarm = icalcomponent_new_valarm();
    icalcomponent_add_property(alarm, icalproperty_new_action(ICAL_ACTION_DISPLAY));
    icalcomponent_add_property(alarm, icalproperty_new_description(summary.constData()));
    // libical writes a duration in its largest units (-PT1H30M); the lead
    // is written in minutes, as the user gave it, under the same property
    // name, which every reader takes as the same duration.
    const QByteArray lead =
        leadMinutes == 0 ? QByteArray("PT0S") : "-PT" + QByteArray::number(leadMinutes) + 'M';
    icalproperty *trigger = icalproperty_new_x(lead.constData());
    icalproperty_set_x_name(trigger, "TRIGGER");
    icalcomponent_add_property(alarm, trigger);
    icalcomponent_add_component(event.get(), alarm);

    char *text = icalcomponent_as_ical_string_r(event.get());
    if (!text)
        throw std::runtime_error("libical could not write the event " + Uid().toStdString());
    QByteArray result(text);
    icalmemory_free_buffer(text);
    return result;
}

QString CallbackEvent::CleanText(const QString &text) {
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == u'\r') {
            result += QLatin1Char('\n');
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else if (c == u'\n' || c == u'\t' || (c >= 0x20 && c != 0x7F)) {
            result += QChar(c);
        }
    }
    return result;
}
