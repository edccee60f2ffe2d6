#pragma once

// The names under the ones the main window and the configuration dialog still use; the texts
// live in common/ProgramNames.h.

#include "common/ProgramNames.h"

namespace tarnix {

inline std::string ProgramTitleFor(ProgramKind kind) {
    return ProgramTitleOf(kind);
}

inline std::string TrayToolTipFor(ProgramKind kind) {
    return TrayToolTipOf(kind);
}

} // namespace tarnix
