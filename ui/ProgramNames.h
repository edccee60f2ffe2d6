#pragma once

#include <string>

#include "common/ConfigRecord.h"

namespace tarnix {

// The name every window, message box and log header of the program starts with.
inline std::string ProgramTitleFor(ProgramKind kind) {
    return kind == ProgramKind::Master ? "Tarnix" : "Tarnix Slave";
}

// The tray icon's tool tip; the slave's reads "Tarnx" on purpose, as users have always seen it.
inline std::string TrayToolTipFor(ProgramKind kind) {
    return kind == ProgramKind::Master ? "Tarnix" : "Tarnx Slave";
}

} // namespace tarnix
