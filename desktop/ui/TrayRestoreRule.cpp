#include "desktop/ui/TrayRestoreRule.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>

namespace tarnix {

bool StatusNotifierHostPresent() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr) return false;
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    const QDBusReply<bool> owned = bus.interface()->isServiceRegistered(watcher);
    if (!owned.isValid() || !owned.value()) return false;
    // Qt uses the watcher's tray only when a host shows it; otherwise it falls back to a tray that
    // does report double-clicks.
    QDBusMessage ask = QDBusMessage::createMethodCall(watcher, QStringLiteral("/StatusNotifierWatcher"),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    ask.setArguments({watcher, QStringLiteral("IsStatusNotifierHostRegistered")});
    const QDBusMessage reply = bus.call(ask, QDBus::Block, 500);
    return reply.type() == QDBusMessage::ReplyMessage &&
           reply.arguments().value(0).value<QDBusVariant>().variant().toBool();
}

} // namespace tarnix
