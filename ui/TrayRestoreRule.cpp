#include "ui/TrayRestoreRule.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

namespace tarnix {

bool StatusNotifierHostPresent() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr) return false;
    const QDBusReply<bool> owned =
        bus.interface()->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher"));
    return owned.isValid() && owned.value();
}

} // namespace tarnix
