#include "common/program/ProgramStatus.h"

#include "common/config/ConfigQueries.h"

namespace tarnix {

std::string LinkWord(LinkState link) {
    switch (link) {
    case LinkState::Connected:
        return "Connected";
    case LinkState::DataError:
        return "Data Error";
    case LinkState::Nothing:
        break;
    }
    return "Not Connected";
}

std::optional<LinkState> LinkFromWord(const std::string& word) {
    for (LinkState link : {LinkState::Nothing, LinkState::DataError, LinkState::Connected})
        if (LinkWord(link) == word) return link;
    return std::nullopt;
}

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
