#pragma once

#include <cstdint>
#include <string>

namespace tarnix {

// Power action codes of the configuration (ShutType) and what each one is called.
enum ShutTypeCode : std::int16_t {
    ShutPowerOff = 1,
    ShutReboot = 2,
    ShutShutdown = 3,
    ShutMonitor = 4,
    ShutHibernate = 5,
    ShutStandby = 6,
};

// "Power Off", "Reboot", "Shutdown", "Monitor", "Hibernate", "Standby"; empty for other codes.
std::string ShutTypeName(std::int16_t shutType);

// The one-letter form of a ShutTypeName: its first character, but "B" for "Standby".
char ActionLetter(const std::string& shutTypeName);

// The shutdown flags given to the power actions for codes 1 to 3 (power off, reboot, shut
// down, each forcing applications to close); 0 for the other codes.
std::int32_t ActionCode(std::int16_t shutType);

} // namespace tarnix
