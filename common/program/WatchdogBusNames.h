#pragma once

// Where a running program answers on the system bus: the service that exports it, the bus
// policy and tarnixctl all take the names from here.

#include <string>

#include "common/config/ConfigRecord.h"

namespace tarnix {

inline constexpr const char* WatchdogMasterBusName = "io.tarnix.Watchdog.Master";
inline constexpr const char* WatchdogSlaveBusName = "io.tarnix.Watchdog.Slave";
inline constexpr const char* WatchdogObjectPath = "/io/tarnix/Watchdog";
inline constexpr const char* WatchdogInterface = "io.tarnix.Watchdog1";

// The group whose members may press Reset and Test over the bus (root always may).
inline constexpr const char* WatchdogOperatorGroup = "tarnix";
// The polkit action that lets anyone else press them (by default the person at the computer).
inline constexpr const char* WatchdogControlAction = "io.tarnix.watchdog.control";

inline std::string WatchdogBusNameOf(ProgramKind kind) {
    return kind == ProgramKind::Master ? WatchdogMasterBusName : WatchdogSlaveBusName;
}

} // namespace tarnix
