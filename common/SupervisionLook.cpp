#include "common/SupervisionLook.h"

#include "common/ConfigFile.h"

namespace tarnix {

SupervisionLook SupervisionLookOf(ProgramKind kind) {
    if (kind == ProgramKind::Master)
        return SupervisionLook{
            ProgramTitleOf(kind),  " ",  "", colours::StatusGreen, " No connections for the last ",
            colours::StatusOrange, false};
    return SupervisionLook{
        ProgramTitleOf(kind), "",  "Connected", colours::SlaveGreen, "Not connected for the last ",
        colours::Orange,      true};
}

} // namespace tarnix
