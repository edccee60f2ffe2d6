#include "common/display/MachineDisplay.h"

#include <utility>

#include "common/config/ConfigQueries.h"

namespace tarnix {

MachineDisplay::MachineDisplay(StatusPresenter& presenter, SupervisionTimer& timer, PlacementView* placement,
                               const ConfigRecord& config, StatusSource status)
    : presenter_(presenter), timer_(timer), placement_(placement), config_(config),
      status_(std::move(status)) {}

void MachineDisplay::ShowSupervision(SupervisionChange change) {
    const ProgramStatus status = status_();
    if (change == SupervisionChange::Reset) timer_.SetTimerEnabled(false);
    if (change == SupervisionChange::CountdownBegins) {
        BringToFront(status.phase);
        if (placement_ != nullptr) placement_->RemoveTrayIcon();
    }
    presenter_.ShowSupervision(change, status);
}

void MachineDisplay::BringToFront(SupervisionPhase phase) {
    if (placement_ == nullptr) return;
    if (placement_->IsMinimised()) {
        placement_->ShowNormalCentred();
        placement_->RemoveTrayIcon();
    }
    placement_->SetTopmost(RunsOnTop(config_) || phase == PhaseCountdown);
}

} // namespace tarnix
