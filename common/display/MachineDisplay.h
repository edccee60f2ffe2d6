#pragma once

#include <functional>

#include "common/config/ConfigRecord.h"
#include "common/display/MainWindowView.h"
#include "common/display/StatusPresenter.h"
#include "common/program/ProgramStatus.h"
#include "common/supervision/Supervision.h"
#include "common/supervision/SupervisionTimer.h"

namespace tarnix {

// How a program shows what its supervision machine reports: the status band through the
// presenter, the window brought to the front as the countdown begins, and the timer held by a
// reset until the program's refresh starts it again.
class MachineDisplay final : public SupervisionDisplay {
public:
    using StatusSource = std::function<ProgramStatus()>;

    // placement: none for a face without a window.
    MachineDisplay(StatusPresenter& presenter, SupervisionTimer& timer, PlacementView* placement,
                   const ConfigRecord& config, StatusSource status);

    void ShowSupervision(SupervisionChange change) override;
    // Restores a minimised window; the countdown, or RunOnTop, keeps it on top.
    void BringToFront(SupervisionPhase phase);

private:
    StatusPresenter& presenter_;
    SupervisionTimer& timer_;
    PlacementView* placement_;
    const ConfigRecord& config_;
    StatusSource status_;
};

} // namespace tarnix
