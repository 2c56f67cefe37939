#pragma once

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QSignalSpy>
#include <QString>
#include <QTest>

#include <ostream>
#include <string>

// Readable QStrings in failure messages.
inline void PrintTo(const QString &text, std::ostream *out) {
    *out << '"' << text.toStdString() << '"';
}

namespace NotifierTest {

// How long a reply may take on a loaded machine; every wait ends as soon as
// what it waits for has come.
constexpr int kTimeoutMs = 20000;

// Waits until `spy` has seen `count` signals.
inline bool WaitForCount(const QSignalSpy &spy, int count) {
    return QTest::qWaitFor([&] { return spy.count() >= count; }, kTimeoutMs);
}

// The cookies of the Activated signals `spy` saw, in order.
inline QList<qint64> Cookies(const QSignalSpy &activated) {
    QList<qint64> cookies;
    for (const QList<QVariant> &signal : activated)
        cookies.append(signal.at(0).toLongLong());
    return cookies;
}

// Waits until an Activated signal with `cookie` has come.
inline bool WaitForCookie(const QSignalSpy &activated, qint64 cookie) {
    return QTest::qWaitFor([&] { return Cookies(activated).contains(cookie); }, kTimeoutMs);
}

// The service's id of each notification, by cookie, from Shown signals.
inline QHash<qint64, quint32> IdsByCookie(const QSignalSpy &shown) {
    QHash<qint64, quint32> ids;
    for (const QList<QVariant> &signal : shown)
        ids.insert(signal.at(1).toLongLong(), signal.at(0).toUInt());
    return ids;
}

// A JSON value as compact text, for comparisons that print what they saw.
inline std::string Json(const QJsonValue &value) {
    if (value.isObject())
        return QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact).toStdString();
    if (value.isArray())
        return QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact).toStdString();
    return QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact).toStdString();
}

} // namespace NotifierTest
