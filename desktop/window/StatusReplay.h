#pragma once

#include <optional>

#include "common/program/WatchdogCommands.h"

namespace tarnix {

// Turns the statuses a running service publishes into the steps its window draws, as the
// service's own logic takes them, so that a window attached to the service looks as the
// program's own window would. A status that repeats the last one draws nothing.
class StatusReplay {
public:
    // kind: the service's program, which the window draws before it has heard anything.
    StatusReplay(ProgramKind kind, StatusObserver& window) : kind_(kind), window_(window) {}

    void Follow(const ProgramStatus& now);
    // The service stopped, or is not there yet: the window shows so until a status comes.
    void Lost();

private:
    void Take(const StatusStep& step, const ProgramStatus& status) { window_.StepTaken(step, status); }
    void StartAfresh(const ProgramStatus& now, bool attaching);
    void ShowPhase(const ProgramStatus& now, bool fresh);
    void ShowRows(const ProgramStatus& now, bool fresh);

    ProgramKind kind_;
    StatusObserver& window_;
    std::optional<ProgramStatus> last_;
};

} // namespace tarnix
