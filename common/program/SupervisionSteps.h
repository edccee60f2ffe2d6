#pragma once

#include <functional>

#include "common/program/WatchdogCommands.h"
#include "common/supervision/Supervision.h"
#include "common/supervision/SupervisionTimer.h"

namespace tarnix {

// Passes what the supervision machine reports on as steps of how things stand, and holds the
// timer from a reset until the program's refresh starts it again.
class SupervisionSteps final : public SupervisionDisplay {
public:
    using StatusSource = std::function<ProgramStatus()>;

    SupervisionSteps(SupervisionTimer& timer, StatusObserver& observer, StatusSource status)
        : timer_(timer), observer_(observer), status_(std::move(status)) {}

    void ShowSupervision(SupervisionChange change) override {
        if (change == SupervisionChange::Reset) timer_.SetTimerEnabled(false);
        observer_.StepTaken(StatusStep{.step = Step::Supervision, .change = change}, status_());
    }

private:
    SupervisionTimer& timer_;
    StatusObserver& observer_;
    StatusSource status_;
};

} // namespace tarnix
