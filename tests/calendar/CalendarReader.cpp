#include "CalendarReader.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");

// The icalendar module parses the file and decodes times and durations.
// Its text decoding runs its unescapes one after another, so an escaped
// backslash followed by "n" comes out as a line break; texts are therefore
// decoded here in one pass from the module's unfolded content lines.
const char *const kScript = R"py(
import json, re, sys
from datetime import timezone
from icalendar import Calendar
from icalendar.parser import Contentlines

data = open(sys.argv[1], 'rb').read()
cal = Calendar.from_ical(data)

ESCAPE = re.compile(r'\\([\\;,nN])')
def text(raw):
    return ESCAPE.sub(lambda m: '\n' if m.group(1) in 'nN' else m.group(1), raw)

texts = []
path = []
for line in Contentlines.from_ical(data.decode('utf-8')):
    if not line:
        continue
    name, _, value = line.partition(':')
    name = name.split(';')[0].upper()
    if name == 'BEGIN':
        path.append(value.upper())
        if value.upper() == 'VEVENT':
            texts.append({})
    elif name == 'END':
        path.pop()
    elif path[-1:] == ['VEVENT'] and name in ('SUMMARY', 'DESCRIPTION'):
        texts[-1][name.lower()] = text(value)
    elif path[-1:] == ['VALARM'] and name == 'DESCRIPTION':
        texts[-1]['alarm_description'] = text(value)

def utc(event, name):
    return event.decoded(name).astimezone(timezone.utc).strftime('%Y%m%dT%H%M%SZ')

events = []
for event, t in zip(cal.walk('VEVENT'), texts):
    alarms = event.walk('VALARM')
    events.append({
        'uid': str(event['UID']),
        'dtstamp': utc(event, 'DTSTAMP'),
        'dtstart': utc(event, 'DTSTART'),
        'duration': int(event.decoded('DURATION').total_seconds()),
        'summary': t.get('summary'),
        'description': t.get('description', ''),
        'alarms': len(alarms),
        'action': str(alarms[0]['ACTION']) if alarms else '',
        'alarm_description': t.get('alarm_description', ''),
        'trigger': int(alarms[0].decoded('TRIGGER').total_seconds()) if alarms else 0,
    })
if len(texts) != len(events):
    sys.exit('the content lines hold %d events, the module found %d' % (len(texts), len(events)))
print(json.dumps({'version': str(cal['VERSION']), 'prodid': str(cal['PRODID']),
                  'calscale': str(cal['CALSCALE']), 'events': events}))
)py";

} // namespace

QString CalendarReader::Missing() {
    if (!QFile::exists(kPython))
        return kPython + QStringLiteral(" is missing (Debian package python3)");
    QProcess probe;
    probe.start(kPython, {QStringLiteral("-c"), QStringLiteral("import icalendar")});
    if (!probe.waitForFinished(30000) || probe.exitStatus() != QProcess::NormalExit ||
        probe.exitCode() != 0)
        return QStringLiteral("Python's icalendar module is missing (Debian package "
                              "python3-icalendar): ") +
               QString::fromUtf8(probe.readAllStandardError()).trimmed().section('\n', -1);
    return QString();
}

std::optional<CalendarReader::Calendar> CalendarReader::Read(const QString &path) {
    QProcess python;
    python.start(kPython, {QStringLiteral("-c"), QString::fromUtf8(kScript), path});
    if (!python.waitForFinished(120000) || python.exitStatus() != QProcess::NormalExit ||
        python.exitCode() != 0) {
        ADD_FAILURE() << "the reader did not take " << path.toStdString() << ": "
                      << python.readAllStandardError().toStdString();
        return std::nullopt;
    }
    QJsonParseError error;
    const QJsonObject root =
        QJsonDocument::fromJson(python.readAllStandardOutput(), &error).object();
    if (error.error != QJsonParseError::NoError) {
        ADD_FAILURE() << "the reader's output is no JSON: " << error.errorString().toStdString();
        return std::nullopt;
    }
    Calendar calendar;
    calendar.version = root[QLatin1String("version")].toString();
    calendar.prodid = root[QLatin1String("prodid")].toString();
    calendar.calscale = root[QLatin1String("calscale")].toString();
    for (const QJsonValue &value : root[QLatin1String("events")].toArray()) {
        const QJsonObject o = value.toObject();
        Event e;
        e.uid = o[QLatin1String("uid")].toString();
        e.dtstamp = o[QLatin1String("dtstamp")].toString();
        e.dtstart = o[QLatin1String("dtstart")].toString();
        e.durationSeconds = o[QLatin1String("duration")].toInteger();
        e.summary = o[QLatin1String("summary")].toString();
        e.description = o[QLatin1String("description")].toString();
        e.alarms = o[QLatin1String("alarms")].toInt();
        e.alarmAction = o[QLatin1String("action")].toString();
        e.alarmDescription = o[QLatin1String("alarm_description")].toString();
        e.triggerSeconds = o[QLatin1String("trigger")].toInteger();
        calendar.events << e;
    }
    return calendar;
}
