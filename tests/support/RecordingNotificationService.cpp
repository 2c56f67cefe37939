#include "RecordingNotificationService.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVariantMap>

const QString RecordingNotificationService::kService =
    QStringLiteral("org.freedesktop.Notifications");
const QString RecordingNotificationService::kPath =
    QStringLiteral("/org/freedesktop/Notifications");
const QString RecordingNotificationService::kInterface =
    QStringLiteral("org.freedesktop.Notifications");
const QString RecordingNotificationService::kTestInterface =
    QStringLiteral("org.corvana.TestNotifications");

RecordingNotificationService::RecordingNotificationService(const QDBusConnection &bus,
                                                           const QString &recordPath)
    : bus_(bus), record_(recordPath) {}

RecordingNotificationService::~RecordingNotificationService() {
    if (!registered_ || !bus_.isConnected())
        return;
    bus_.interface()->unregisterService(kService);
    bus_.unregisterObject(kPath);
}

bool RecordingNotificationService::Register() {
    if (!record_.open(QIODevice::WriteOnly | QIODevice::Append)) {
        failure_ =
            QStringLiteral("cannot write %1: %2").arg(record_.fileName(), record_.errorString());
        return false;
    }
    if (!bus_.isConnected()) {
        failure_ = QStringLiteral("not connected: %1").arg(bus_.lastError().message());
        return false;
    }
    if (!bus_.registerVirtualObject(kPath, this)) {
        failure_ = QStringLiteral("cannot serve %1").arg(kPath);
        return false;
    }
    const auto owned =
        bus_.interface()->registerService(kService, QDBusConnectionInterface::DontQueueService,
                                          QDBusConnectionInterface::DontAllowReplacement);
    if (!owned.isValid() || owned.value() != QDBusConnectionInterface::ServiceRegistered) {
        failure_ = QStringLiteral("cannot own %1: %2").arg(kService, owned.error().message());
        bus_.unregisterObject(kPath);
        return false;
    }
    registered_ = true;
    return true;
}

QString RecordingNotificationService::introspect(const QString &) const {
    return QStringLiteral(
        "<interface name=\"org.freedesktop.Notifications\">"
        "<method name=\"Notify\"><arg name=\"app_name\" type=\"s\" direction=\"in\"/>"
        "<arg name=\"replaces_id\" type=\"u\" direction=\"in\"/>"
        "<arg name=\"app_icon\" type=\"s\" direction=\"in\"/>"
        "<arg name=\"summary\" type=\"s\" direction=\"in\"/>"
        "<arg name=\"body\" type=\"s\" direction=\"in\"/>"
        "<arg name=\"actions\" type=\"as\" direction=\"in\"/>"
        "<arg name=\"hints\" type=\"a{sv}\" direction=\"in\"/>"
        "<arg name=\"expire_timeout\" type=\"i\" direction=\"in\"/>"
        "<arg name=\"id\" type=\"u\" direction=\"out\"/></method>"
        "<method name=\"CloseNotification\"><arg name=\"id\" type=\"u\" direction=\"in\"/>"
        "</method>"
        "<method name=\"GetCapabilities\"><arg type=\"as\" direction=\"out\"/></method>"
        "<method name=\"GetServerInformation\"><arg name=\"name\" type=\"s\" direction=\"out\"/>"
        "<arg name=\"vendor\" type=\"s\" direction=\"out\"/>"
        "<arg name=\"version\" type=\"s\" direction=\"out\"/>"
        "<arg name=\"protocol_version\" type=\"s\" direction=\"out\"/></method>"
        "<signal name=\"NotificationClosed\"><arg name=\"id\" type=\"u\"/>"
        "<arg name=\"reason\" type=\"u\"/></signal>"
        "<signal name=\"ActionInvoked\"><arg name=\"id\" type=\"u\"/>"
        "<arg name=\"action_key\" type=\"s\"/></signal>"
        "</interface>"
        "<interface name=\"org.corvana.TestNotifications\">"
        "<method name=\"Invoke\"><arg name=\"id\" type=\"u\" direction=\"in\"/>"
        "<arg name=\"action\" type=\"s\" direction=\"in\"/></method>"
        "</interface>");
}

bool RecordingNotificationService::handleMessage(const QDBusMessage &message,
                                                 const QDBusConnection &connection) {
    const QString interface = message.interface();
    const QString member = message.member();
    const QString signature = message.signature();
    if (interface == kInterface || interface.isEmpty()) {
        if (member == QLatin1String("Notify") && signature == QLatin1String("susssasa{sv}i")) {
            Notify(message, connection);
            return true;
        }
        if (member == QLatin1String("CloseNotification") && signature == QLatin1String("u")) {
            CloseNotification(message, connection);
            return true;
        }
        if (member == QLatin1String("GetCapabilities") && signature.isEmpty()) {
            connection.send(message.createReply(
                QStringList{QStringLiteral("actions"), QStringLiteral("body")}));
            return true;
        }
        if (member == QLatin1String("GetServerInformation") && signature.isEmpty()) {
            connection.send(message.createReply({QStringLiteral("corvana-test-notifications"),
                                                 QStringLiteral("Corvana"), QStringLiteral("1"),
                                                 QStringLiteral("1.2")}));
            return true;
        }
    }
    if ((interface == kTestInterface || interface.isEmpty()) && member == QLatin1String("Invoke") &&
        signature == QLatin1String("us")) {
        Invoke(message, connection);
        return true;
    }
    return false;
}

void RecordingNotificationService::Notify(const QDBusMessage &message,
                                          const QDBusConnection &connection) {
    const QVariantList args = message.arguments();
    const quint32 id = ++lastId_;
    open_.insert(id);
    QJsonObject hints;
    QJsonObject hintTypes;
    const QVariantMap hintMap = qdbus_cast<QVariantMap>(args.at(6));
    for (auto it = hintMap.constBegin(); it != hintMap.constEnd(); ++it) {
        const QVariant &value = it.value();
        if (value.metaType() == QMetaType::fromType<QDBusArgument>()) {
            const auto argument = value.value<QDBusArgument>();
            hints.insert(it.key(), QString());
            hintTypes.insert(it.key(), argument.currentSignature());
            continue;
        }
        // Bytes are numbers on the bus; written as text they would be
        // control characters.
        const bool byte = value.metaType() == QMetaType::fromType<uchar>();
        hints.insert(it.key(), byte ? QString::number(value.toUInt()) : value.toString());
        hintTypes.insert(it.key(),
                         QString::fromLatin1(QDBusMetaType::typeToSignature(value.metaType())));
    }
    Record(QJsonObject{
        {QStringLiteral("call"), QStringLiteral("Notify")},
        {QStringLiteral("sender"), message.service()},
        {QStringLiteral("id"), qint64(id)},
        {QStringLiteral("app_name"), args.at(0).toString()},
        {QStringLiteral("replaces_id"), qint64(args.at(1).toUInt())},
        {QStringLiteral("app_icon"), args.at(2).toString()},
        {QStringLiteral("summary"), args.at(3).toString()},
        {QStringLiteral("body"), args.at(4).toString()},
        {QStringLiteral("actions"),
         QJsonArray::fromStringList(qdbus_cast<QStringList>(args.at(5)))},
        {QStringLiteral("hints"), hints},
        {QStringLiteral("hint_types"), hintTypes},
        {QStringLiteral("expire_timeout"), args.at(7).toInt()},
    });
    if (!invokeBeforeReply_.isEmpty())
        Emit(connection, kInterface, QStringLiteral("ActionInvoked"),
             {uint(id), invokeBeforeReply_});
    connection.send(message.createReply(QVariant::fromValue(uint(id))));
}

void RecordingNotificationService::CloseNotification(const QDBusMessage &message,
                                                     const QDBusConnection &connection) {
    const quint32 id = message.arguments().at(0).toUInt();
    Record(QJsonObject{
        {QStringLiteral("call"), QStringLiteral("CloseNotification")},
        {QStringLiteral("sender"), message.service()},
        {QStringLiteral("id"), qint64(id)},
    });
    connection.send(message.createReply());
    // Reason 3: closed by a call to CloseNotification.
    if (open_.remove(id))
        Emit(connection, kInterface, QStringLiteral("NotificationClosed"), {uint(id), uint(3)});
}

void RecordingNotificationService::Invoke(const QDBusMessage &message,
                                          const QDBusConnection &connection) {
    const QVariantList args = message.arguments();
    Emit(connection, kInterface, QStringLiteral("ActionInvoked"),
         {args.at(0).toUInt(), args.at(1).toString()});
    connection.send(message.createReply());
}

void RecordingNotificationService::Emit(const QDBusConnection &connection, const QString &interface,
                                        const QString &name, const QVariantList &arguments) {
    QDBusMessage signal = QDBusMessage::createSignal(kPath, interface, name);
    signal.setArguments(arguments);
    connection.send(signal);
}

void RecordingNotificationService::Record(const QJsonObject &record) {
    record_.write(QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n');
    record_.flush();
}
