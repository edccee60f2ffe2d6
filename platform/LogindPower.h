#pragma once

#include "common/supervision/ShutdownModule.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QVariantList>

namespace tarnix {

// The verb of logind's methods for a power call ("PowerOff": CanPowerOff, PowerOffWithFlags); empty
// for ending the own session, which goes through TerminateSession and needs no permission. The
// package's polkit rule grants the actions named after these verbs.
QString LogindVerb(PowerCall call);

// The power actions of systemd-logind on the system bus. Every call is non-interactive (no
// password prompt can hold up the countdown) and gives up after a bounded time. D-Bus error
// names and texts stand in for the system's error text.
class LogindPower : public PowerBackend {
public:
    static constexpr int DefaultTimeoutMs = 5000;

    // The system bus (DBUS_SYSTEM_BUS_ADDRESS, else the system's own), connected when an action
    // asks for it and again whenever the connection is gone: the program may start before the
    // bus, and the bus may restart under it. Not reaching the bus or logind is said as such.
    explicit LogindPower(int timeoutMs = DefaultTimeoutMs);
    // A connection the caller keeps up, used as it is.
    explicit LogindPower(QDBusConnection bus, int timeoutMs = DefaultTimeoutMs);
    ~LogindPower() override;
    LogindPower(const LogindPower&) = delete;
    LogindPower& operator=(const LogindPower&) = delete;

    PrivilegeAnswer Can(PowerCall call, std::string& errorText) override;
    PowerCallResult Call(PowerCall call, bool force) override;

private:
    bool TakeSystemBus();
    PrivilegeAnswer MissingAnswer(const QDBusMessage& reply) const;
    QDBusMessage CallManager(const QString& method, const QVariantList& args = {});
    QDBusMessage Send(QDBusMessage message);
    PowerCallResult Act(PowerCall call, bool force);
    PowerCallResult CheckOtherUsersBlocks(PowerCall call);
    PowerCallResult EndOwnSession();

    // Set when the system bus is ours to connect.
    QString systemBusName_;
    QDBusConnection bus_;
    int timeoutMs_;
};

} // namespace tarnix
