#include "common/supervision/SupervisionLook.h"

#include "common/config/ConfigFile.h"

namespace tarnix {

SupervisionLook SupervisionLookOf(ProgramKind kind) {
    if (kind == ProgramKind::Master)
        return SupervisionLook{.programTitle = ProgramTitleOf(kind),
                               .counterPrefix = " ",
                               .heardText = "",
                               .heardColour = colours::StatusGreen,
                               .silentText = " No connections for the last ",
                               .silentColour = colours::StatusOrange};
    return SupervisionLook{.programTitle = ProgramTitleOf(kind),
                           .counterPrefix = "",
                           .heardText = "Connected",
                           .heardColour = colours::SlaveGreen,
                           .silentText = "Not connected for the last ",
                           .silentColour = colours::Orange};
}

} // namespace tarnix
