#include "common/supervision/ShutType.h"

#include <array>

namespace tarnix {

std::string ShutTypeName(std::int16_t shutType) {
    static const std::array<const char*, 6> names = {"Power Off", "Reboot",    "Shutdown",
                                                     "Monitor",   "Hibernate", "Standby"};
    if (shutType < 1 || shutType > 6) return {};
    return names[static_cast<std::size_t>(shutType - 1)];
}

char ActionLetter(const std::string& shutTypeName) {
    if (shutTypeName == "Standby") return 'B';
    return shutTypeName.empty() ? ' ' : shutTypeName.front();
}

std::int32_t ActionCode(std::int16_t shutType) {
    switch (shutType) {
    case ShutPowerOff:
        return 12; // power off + force
    case ShutReboot:
        return 6; // reboot + force
    case ShutShutdown:
        return 5; // shut down + force
    default:
        return 0;
    }
}

} // namespace tarnix
