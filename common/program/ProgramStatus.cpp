#include "common/program/ProgramStatus.h"

#include "common/config/ConfigQueries.h"

namespace tarnix {

ProgramStatus SupervisionStatus(ProgramKind kind, const Supervision& machine, const ConfigRecord& config) {
    ProgramStatus status;
    status.kind = kind;
    status.phase = machine.Phase();
    status.count = machine.PhaseCounter();
    status.timeLeft = machine.TimeLeft();
    status.lostCommsLimit = machine.LostCommsLimit();
    status.action = machine.ShutTypeName();
    status.monitorOnly = MonitorsOnly(config);
    status.testRun = machine.TestRun();
    return status;
}

} // namespace tarnix
