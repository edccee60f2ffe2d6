#pragma once

// The programs' names, each in one place.

#include <string>
#include <string_view>

#include "common/config/ConfigRecord.h"

namespace tarnix {

// The product's name: the instance mutex both programs share, so that only one of them runs on
// a computer, and the name the power actions go by when the program's own cannot be told.
inline constexpr std::string_view ProductName = "Tarnix";

// "Tarnix" or "Tarnix Slave": the window caption, the first words of every box title and the
// first line of the log header.
inline std::string ProgramTitleOf(ProgramKind kind) {
    return kind == ProgramKind::Master ? "Tarnix" : "Tarnix Slave";
}

// The tray icon's tool tip; the slave's reads "Tarnx Slave" on purpose, as users have always
// seen it.
inline std::string TrayToolTipOf(ProgramKind kind) {
    return kind == ProgramKind::Master ? "Tarnix" : "Tarnx Slave";
}

// "TarnixM" or "TarnixS": the executable, the application's name, and the instance mutex a
// program of that kind holds besides the shared one.
inline std::string ExecutableNameOf(ProgramKind kind) {
    return kind == ProgramKind::Master ? "TarnixM" : "TarnixS";
}

} // namespace tarnix
