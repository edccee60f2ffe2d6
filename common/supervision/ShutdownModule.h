#pragma once

#include "common/supervision/PowerActions.h"

#include <cstdint>
#include <string>

namespace tarnix {

// What the operating system is asked to do.
enum class PowerCall { PowerOff, Reboot, Halt, EndSession, Hibernate, Suspend };

// Whether the operating system lets this process perform a call. ServiceMissing: the system bus
// answers but logind is not on it; BusUnreachable: the system bus itself cannot be reached.
enum class PrivilegeAnswer { Yes, No, NotAvailable, Challenge, ServiceMissing, BusUnreachable, Failed };

struct PowerCallResult {
    bool ok = true;
    std::string errorName;
    std::string errorText;
};

// What the operating system offers for the power actions; the platform layer talks to logind.
class PowerBackend {
public:
    virtual ~PowerBackend() = default;
    // errorText receives the system's reason whenever the answer is not Yes.
    virtual PrivilegeAnswer Can(PowerCall call, std::string& errorText) = 0;
    // force: block inhibitors of other users do not stop the action.
    virtual PowerCallResult Call(PowerCall call, bool force) = 0;
};

// Numbers of the errors the module raises (the platform's base for object errors plus an offset).
inline constexpr std::uint32_t ErrShutdownFailed = 0x8004062B;
inline constexpr std::uint32_t ErrPrivilegeLookup = 0x8004062C;
inline constexpr std::uint32_t ErrNoPrivilege = 0x8004062E;
inline constexpr std::uint32_t ErrInvalidParameter = 0x8004062F;

// Action code flags.
inline constexpr std::int32_t ShutdownFlag = 0x01;
inline constexpr std::int32_t RebootFlag = 0x02;
inline constexpr std::int32_t ForceFlag = 0x04;
inline constexpr std::int32_t PowerOffFlag = 0x08;

// The strongest action the code asks for: power off, else reboot, else shut down (halt), else
// only end the user's session.
PowerCall ChooseCall(std::int32_t actionCode);

// The power-action module (mdShut). It keeps nothing between calls; every failure is raised
// as PowerActionError with the source "<executable name>.mShutDown".
class ShutdownModule : public PowerActions {
public:
    ShutdownModule(PowerBackend& backend, std::string executableName);

    // True when the call is allowed; raises 0x8004062C (no power service, or no way to it) or
    // 0x8004062E.
    bool EnableShutdownPrivilege(PowerCall call);
    // Action codes 0 to 31; raises 0x8004062F for others and 0x8004062B when refused.
    bool ShutdownSystem(std::int32_t actionCode) override;
    // A failed suspension is not reported: the computer either sleeps or it does not.
    bool HibernateSystem() override;
    bool StandbySystem() override;

private:
    [[noreturn]] void Raise(std::uint32_t number, const std::string& description) const;
    bool Suspend(PowerCall call);

    PowerBackend& backend_;
    std::string source_;
};

} // namespace tarnix
