#include "common/supervision/ShutdownModule.h"

#include <utility>

namespace tarnix {

namespace {

constexpr std::int32_t HighestActionCode = 0x1F;
const std::string CantEnable = "Can't enable shutdown: ";

std::string CallName(PowerCall call) {
    switch (call) {
    case PowerCall::PowerOff:
        return "Power off";
    case PowerCall::Reboot:
        return "Reboot";
    case PowerCall::Halt:
        return "Shutdown";
    case PowerCall::EndSession:
        return "Ending the session";
    case PowerCall::Hibernate:
        return "Hibernation";
    case PowerCall::Suspend:
        return "Standby";
    }
    return "This power action";
}

} // namespace

PowerCall ChooseCall(std::int32_t actionCode) {
    if (actionCode & PowerOffFlag) return PowerCall::PowerOff;
    if (actionCode & RebootFlag) return PowerCall::Reboot;
    if (actionCode & ShutdownFlag) return PowerCall::Halt;
    return PowerCall::EndSession;
}

ShutdownModule::ShutdownModule(PowerBackend& backend, std::string executableName)
    : backend_(backend), source_(std::move(executableName) + ".mShutDown") {}

void ShutdownModule::Raise(std::uint32_t number, const std::string& description) const {
    throw PowerActionError(number, source_, description);
}

bool ShutdownModule::EnableShutdownPrivilege(PowerCall call) {
    std::string text;
    switch (backend_.Can(call, text)) {
    case PrivilegeAnswer::Yes:
        return true;
    case PrivilegeAnswer::NotAvailable:
        // Not a matter of rights: this computer cannot do it (no swap to hibernate to, say).
        Raise(ErrShutdownFailed, CallName(call) + " is not available on this computer. [" + text + "]");
    // Said plainly: nothing about privileges helps a computer whose bus or logind is not there.
    case PrivilegeAnswer::ServiceMissing:
        Raise(ErrPrivilegeLookup,
              CantEnable + "logind could not be reached on the system bus. [" + text + "]");
    case PrivilegeAnswer::BusUnreachable:
        Raise(ErrPrivilegeLookup, CantEnable + "The system bus could not be reached. [" + text + "]");
    default:
        Raise(ErrNoPrivilege,
              CantEnable + "You do not have the privileges to shutdown this system. [" + text + "]");
    }
}

bool ShutdownModule::ShutdownSystem(std::int32_t actionCode) {
    if (actionCode < 0 || actionCode > HighestActionCode)
        Raise(ErrInvalidParameter, "Invalid parameter to ShutdownSystem: " + std::to_string(actionCode));
    const PowerCall call = ChooseCall(actionCode);
    EnableShutdownPrivilege(call);
    const PowerCallResult result = backend_.Call(call, (actionCode & ForceFlag) != 0);
    if (!result.ok) {
        // A D-Bus error always has a name but need not have a text; the name beats an empty reason.
        const std::string& reason = result.errorText.empty() ? result.errorName : result.errorText;
        Raise(ErrShutdownFailed, "ShutdownSystem failed: " + reason);
    }
    return true;
}

bool ShutdownModule::Suspend(PowerCall call) {
    EnableShutdownPrivilege(call);
    // Forced like the shutdown codes the countdown uses; whether the computer slept is not
    // looked at, supervision simply carries on.
    (void)backend_.Call(call, true);
    return true;
}

bool ShutdownModule::HibernateSystem() {
    return Suspend(PowerCall::Hibernate);
}

bool ShutdownModule::StandbySystem() {
    return Suspend(PowerCall::Suspend);
}

} // namespace tarnix
