#pragma once

#include <QSystemTrayIcon>

namespace tarnix {

// Whether a tray icon activation brings the window back. Normally only a double-click does; but
// a StatusNotifierItem host never reports a double-click (Qt only sees a click there), so on
// such a desktop the click has to do it or the window could never come back. Right clicks,
// context requests and middle clicks never do: the icon has no menu.
constexpr bool TrayActivationRestores(QSystemTrayIcon::ActivationReason reason, bool statusNotifierHost) {
    switch (reason) {
    case QSystemTrayIcon::DoubleClick:
        return true;
    case QSystemTrayIcon::Trigger:
        return statusNotifierHost;
    case QSystemTrayIcon::Context:
    case QSystemTrayIcon::MiddleClick:
    case QSystemTrayIcon::Unknown:
        break;
    }
    return false;
}

// True when the session bus name of the StatusNotifierItem watcher has an owner, that is when
// the desktop shows tray icons as status notifier items.
bool StatusNotifierHostPresent();

} // namespace tarnix
