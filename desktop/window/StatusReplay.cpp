#include "desktop/window/StatusReplay.h"

namespace tarnix {
namespace {

// A reset, a test, or a configuration read again: the window starts its texts over.
bool StartedOver(const ProgramStatus& was, const ProgramStatus& now) {
    const bool backToActivation =
        now.phase == PhaseActivation && (was.phase != PhaseActivation || now.count > was.count);
    return backToActivation || was.testRun != now.testRun || was.unconfigured != now.unconfigured ||
           was.action != now.action || was.lostCommsLimit != now.lostCommsLimit ||
           was.monitorOnly != now.monitorOnly;
}

bool SameRows(const ProgramStatus& was, const ProgramStatus& now) {
    for (std::size_t i = 0; i < now.remote.size(); ++i) {
        const RemoteComputerStatus &a = was.remote[i], &b = now.remote[i];
        if (a.configured != b.configured || a.name != b.name || a.address != b.address || a.link != b.link ||
            a.letter != b.letter)
            return false;
    }
    return was.computerName == now.computerName && was.networkOK == now.networkOK && was.phase == now.phase;
}

StatusStep SupervisionStep(SupervisionChange change) {
    return {.step = Step::Supervision, .change = change};
}

} // namespace

void StatusReplay::Follow(const ProgramStatus& now) {
    const bool attaching = !last_;
    const bool fresh = attaching || StartedOver(*last_, now);
    if (fresh) StartAfresh(now, attaching);
    ShowPhase(now, fresh);
    if (now.kind == ProgramKind::Master) ShowRows(now, fresh);
    window_.StatusChanged(now);
    last_ = now;
}

void StatusReplay::Lost() {
    ProgramStatus none;
    none.kind = kind_;
    Take({.step = Step::Detached}, last_.value_or(none));
    last_.reset();
}

void StatusReplay::StartAfresh(const ProgramStatus& now, bool attaching) {
    if (attaching) Take({.step = Step::Loading}, now);
    Take({.step = Step::ResetBegins}, now);
    Take(SupervisionStep(SupervisionChange::Reset), now);
    Take({.step = Step::TextsRefreshed}, now);
    if (now.testRun) Take({.step = Step::TestModeEntered}, now);
    if (now.kind != ProgramKind::Master) return;
    Take({.step = Step::LettersCleared, .freshRows = true}, now);
    Take({.step = Step::RowsCleared, .firstRow = 0}, now);
    Take({.step = Step::LinksCleared}, now);
}

void StatusReplay::ShowPhase(const ProgramStatus& now, bool fresh) {
    const bool newPhase = fresh || last_->phase != now.phase;
    switch (now.phase) {
    case PhaseActivation:
        if (newPhase || last_->count != now.count)
            Take(SupervisionStep(SupervisionChange::ActivationCounted), now);
        return;
    case PhaseRun:
        if (newPhase || last_->count != now.count || last_->masterLink != now.masterLink) {
            Take(SupervisionStep(now.count == 0 ? SupervisionChange::LinkHeard
                                                : SupervisionChange::LinkSilent),
                 now);
            if (now.kind == ProgramKind::Slave && now.masterLink == LinkState::DataError)
                Take({.step = Step::LinkError}, now);
        }
        return;
    case PhaseCountdown:
        if (newPhase) Take(SupervisionStep(SupervisionChange::CountdownBegins), now);
        if (newPhase || last_->timeLeft != now.timeLeft) {
            Take(SupervisionStep(SupervisionChange::CountdownSecond), now);
            Take(SupervisionStep(SupervisionChange::CountdownShown), now);
        }
        return;
    }
}

void StatusReplay::ShowRows(const ProgramStatus& now, bool fresh) {
    if (!fresh && SameRows(*last_, now)) return;
    Take({.step = Step::RowsShown}, now);
    Take({.step = Step::NetworkShown}, now);
}

} // namespace tarnix
