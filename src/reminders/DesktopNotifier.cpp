#include "DesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kDefaultAction = QStringLiteral("default");
const QString kLoadAction = QStringLiteral("Load");

// At most this many signals for unknown ids are held while Notify replies are
// outstanding; other programs' notifications send them too.
constexpr int kMaxEarlyEvents = 64;

// The service may read the body as markup: the characters that start a tag
// or an entity are written as entities, so the text shows as it is.
QString EscapeBody(const QString &text) {
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'&')
            escaped += QStringLiteral("&amp;");
        else if (c == u'<')
            escaped += QStringLiteral("&lt;");
        else if (c == u'>')
            escaped += QStringLiteral("&gt;");
        else
            escaped += c;
    }
    return escaped;
}

} // namespace

DesktopNotifier::DesktopNotifier(QObject *parent)
    : DesktopNotifier(QDBusConnection::sessionBus(), parent) {}

DesktopNotifier::DesktopNotifier(const QDBusConnection &bus, QObject *parent)
    : QObject(parent), bus_(bus) {
    if (!bus_.isConnected())
        return;
    // Signals are taken only from the owner of the service's name, whoever
    // owns it now or later.
    bus_.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                 SLOT(OnActionInvoked(uint, QString)));
    bus_.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                 SLOT(OnNotificationClosed(uint, uint)));
    auto *watcher =
        new QDBusServiceWatcher(kService, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            &DesktopNotifier::OnServiceOwnerChanged);
}

void DesktopNotifier::Show(const QString &summary, const QString &body, qint64 cookie) {
    if (!bus_.isConnected())
        return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), QStringLiteral("corvana")},
        {QStringLiteral("category"), QStringLiteral("x-corvana.callback")},
        {QStringLiteral("urgency"), QVariant::fromValue(uchar(1))},
    };
    call << QStringLiteral("Corvana") << uint(0) << QStringLiteral("corvana") << summary
         << EscapeBody(body) << QStringList{kDefaultAction, kLoadAction} << hints << int(-1);
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    ++pending_;
    const quint64 sequence = nextSequence_++;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, cookie, sequence](QDBusPendingCallWatcher *finished) {
                OnNotifyReply(finished, cookie, sequence);
            });
}

void DesktopNotifier::CloseAll() {
    const QList<quint32> ids = shown_.keys();
    shown_.clear();
    for (const quint32 id : ids)
        Close(id);
    // Notifications still on their way are withdrawn when their reply comes.
    closedBefore_ = nextSequence_;
}

void DesktopNotifier::Close(quint32 id) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                       QStringLiteral("CloseNotification"));
    call << uint(id);
    bus_.send(call);
}

void DesktopNotifier::OnNotifyReply(QDBusPendingCallWatcher *watcher, qint64 cookie,
                                    quint64 sequence) {
    watcher->deleteLater();
    --pending_;
    const QDBusPendingReply<uint> reply = *watcher;
    if (reply.isError()) {
        if (pending_ == 0)
            early_.clear();
        return;
    }
    const quint32 id = reply.value();
    // The service's signals about this id that came before its reply.
    QList<EarlyEvent> mine;
    for (auto it = early_.begin(); it != early_.end();) {
        if (it->id == id) {
            mine.append(*it);
            it = early_.erase(it);
        } else {
            ++it;
        }
    }
    if (pending_ == 0)
        early_.clear();
    if (sequence < closedBefore_) {
        Close(id);
        emit Shown(id, cookie);
        return;
    }
    shown_.insert(id, cookie);
    emit Shown(id, cookie);
    for (const EarlyEvent &event : mine) {
        if (!shown_.contains(id))
            break;
        if (event.activated)
            emit Activated(cookie);
        else
            shown_.remove(id);
    }
}

void DesktopNotifier::OnActionInvoked(uint id, const QString &action) {
    if (action != kDefaultAction && action != kLoadAction)
        return;
    const auto it = shown_.constFind(id);
    if (it != shown_.constEnd()) {
        emit Activated(it.value());
        return;
    }
    if (pending_ > 0) {
        if (early_.size() >= kMaxEarlyEvents)
            early_.removeFirst();
        early_.append({id, true});
    }
}

void DesktopNotifier::OnNotificationClosed(uint id, uint /*reason*/) {
    if (shown_.remove(id))
        return;
    if (pending_ > 0) {
        if (early_.size() >= kMaxEarlyEvents)
            early_.removeFirst();
        early_.append({id, false});
    }
}

void DesktopNotifier::OnServiceOwnerChanged() {
    // A new owner counts its ids afresh; the old owner's notifications went
    // with it.
    shown_.clear();
    early_.clear();
}
