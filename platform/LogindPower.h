#pragma once

#include "common/ShutdownModule.h"

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

    explicit LogindPower(QDBusConnection bus = QDBusConnection::systemBus(),
                         int timeoutMs = DefaultTimeoutMs);

    PrivilegeAnswer Can(PowerCall call, std::string& errorText) override;
    PowerCallResult Call(PowerCall call, bool force) override;

private:
    QDBusMessage CallManager(const QString& method, const QVariantList& args = {}) const;
    QDBusMessage Send(QDBusMessage message) const;
    PowerCallResult Act(PowerCall call, bool force) const;
    PowerCallResult CheckOtherUsersBlocks(PowerCall call) const;
    PowerCallResult EndOwnSession() const;

    QDBusConnection bus_;
    int timeoutMs_;
};

} // namespace tarnix
