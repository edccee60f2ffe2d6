#pragma once

#include <functional>

#include "common/program/WatchdogCommands.h"
#include "common/supervision/Supervision.h"

namespace tarnix {

// Passes what the supervision machine reports on as steps of how things stand, and holds the
// ticks from a reset until the program's refresh starts them again.
class SupervisionSteps final : public SupervisionDisplay {
public:
    using StatusSource = std::function<ProgramStatus()>;

    SupervisionSteps(std::function<void()> holdTicks, StatusObserver& observer, StatusSource status)
        : holdTicks_(std::move(holdTicks)), observer_(observer), status_(std::move(status)) {}

    void ShowSupervision(SupervisionChange change) override {
        if (change == SupervisionChange::Reset) holdTicks_();
        if (observer_.TakesSteps())
            observer_.StepTaken(StatusStep{.step = Step::Supervision, .change = change}, status_());
    }

private:
    std::function<void()> holdTicks_;
    StatusObserver& observer_;
    StatusSource status_;
};

} // namespace tarnix
