#include "platform/DesktopNotifications.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

#include <utility>

namespace tarnix {
namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");
const QString ResetKey = QStringLiteral("reset");

constexpr uchar UrgencyNormal = 1;
constexpr uchar UrgencyCritical = 2;
constexpr qint32 ServerDefaultExpiry = -1;
constexpr qint32 NeverExpires = 0;

QDBusMessage Method(const QString& name) {
    return QDBusMessage::createMethodCall(Service, Path, Interface, name);
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

DesktopNotifications::DesktopNotifications(QString appName, const QDBusConnection& bus, QObject* parent)
    : QObject(parent), appName_(std::move(appName)), bus_(bus) {
    // Matched from any sender and checked against the server's unique name, which its answers
    // bring: no need to ask the bus who owns the name.
    bus_.connect(QString(), Path, Interface, QStringLiteral("ActionInvoked"), this,
                 SLOT(OnActionInvoked(uint, QString, QDBusMessage)));
    bus_.connect(QString(), Path, Interface, QStringLiteral("NotificationClosed"), this,
                 SLOT(OnNotificationClosed(uint, uint, QDBusMessage)));
    auto* watcher =
        new QDBusPendingCallWatcher(bus_.asyncCall(Method(QStringLiteral("GetCapabilities"))), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        CapabilitiesAnswered(*done);
    });
}

DesktopNotifications::~DesktopNotifications() {
    for (auto& [slot, live] : live_)
        if (live.shown.urgency == NoticeUrgency::Critical) CloseNow(live);
}

void DesktopNotifications::Show(const Notice& notice) {
    Live& live = live_[notice.slot];
    if (live.pending) {
        // Sent once the server has told the id it is to replace; only the latest matters.
        live.queued = notice;
        live.closeQueued = false;
        return;
    }
    Send(notice.slot, notice);
}

void DesktopNotifications::Close(NoticeSlot slot) {
    const auto found = live_.find(slot);
    if (found == live_.end()) return;
    Live& live = found->second;
    live.queued.reset();
    if (live.pending) {
        live.closeQueued = true;
        return;
    }
    CloseNow(live);
}

void DesktopNotifications::Send(NoticeSlot slot, const Notice& notice) {
    Live& live = live_[slot];
    const bool critical = notice.urgency == NoticeUrgency::Critical;
    const bool reset = notice.offersReset && actionsSupported_;
    QStringList actions;
    if (reset) actions << ResetKey << QStringLiteral("Reset");
    const QVariantMap hints{
        {QStringLiteral("urgency"), QVariant::fromValue(critical ? UrgencyCritical : UrgencyNormal)}};
    QDBusMessage call = Method(QStringLiteral("Notify"));
    call << appName_ << live.id << QString() << Text(notice.summary) << Text(notice.body) << actions << hints
         << (critical ? NeverExpires : ServerDefaultExpiry);
    live.pending = true;
    live.shown = notice;
    live.resetShown = reset;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, slot](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        Answered(slot, *done);
    });
}

void DesktopNotifications::Answered(NoticeSlot slot, QDBusPendingCallWatcher& watcher) {
    Live& live = live_[slot];
    live.pending = false;
    const QDBusPendingReply<uint> reply = watcher;
    if (reply.isError()) {
        live.id = 0;
        live.resetShown = false;
    } else {
        live.id = reply.value();
        server_ = reply.reply().service();
    }
    if (live.closeQueued) {
        live.closeQueued = false;
        CloseNow(live);
    } else if (live.queued) {
        const Notice next = *live.queued;
        live.queued.reset();
        Send(slot, next);
    }
}

void DesktopNotifications::CapabilitiesAnswered(QDBusPendingCallWatcher& watcher) {
    const QDBusPendingReply<QStringList> reply = watcher;
    if (reply.isError() || !reply.value().contains(QStringLiteral("actions"))) return;
    actionsSupported_ = true;
    server_ = reply.reply().service();
    // A countdown shown before the answer gets its Reset now, not at its next update.
    for (auto& [slot, live] : live_)
        if (!live.queued && live.shown.offersReset && !live.resetShown && (live.pending || live.id != 0))
            Show(live.shown);
}

void DesktopNotifications::CloseNow(Live& live) {
    if (live.id == 0) return;
    QDBusMessage call = Method(QStringLiteral("CloseNotification"));
    call << live.id;
    bus_.send(call); // the answer says nothing worth waiting for
    live.id = 0;
    live.resetShown = false;
}

void DesktopNotifications::OnActionInvoked(uint id, const QString& actionKey, const QDBusMessage& message) {
    if (id == 0 || actionKey != ResetKey || message.service() != server_) return;
    for (const auto& [slot, live] : live_)
        if (live.id == id && live.resetShown) {
            emit ResetInvoked();
            return;
        }
}

void DesktopNotifications::OnNotificationClosed(uint id, uint /*reason*/, const QDBusMessage& message) {
    if (id == 0 || message.service() != server_) return;
    for (auto& [slot, live] : live_)
        if (live.id == id) {
            live.id = 0;
            live.resetShown = false;
        }
}

} // namespace tarnix
