#include "desktop/window/WindowPlacement.h"

#include "common/config/ConfigQueries.h"

namespace tarnix {

void WindowPlacement::StepTaken(const StatusStep& step, const ProgramStatus& status) {
    phase_ = status.phase;
    switch (step.step) {
    case Step::TextsRefreshed:
        return PlaceAfterRefresh(step.mayMinimise, status.unconfigured);
    case Step::Supervision:
        if (step.change != SupervisionChange::CountdownBegins) return;
        BringToFront(status.phase);
        return window_.RemoveTrayIcon();
    case Step::Loaded:
        return SendToTrayIfMinimised();
    case Step::Ending:
        return window_.RemoveTrayIcon();
    default:
        return;
    }
}

void WindowPlacement::PlaceAfterRefresh(bool mayMinimise, bool unconfigured) {
    const bool startMinimised =
        (StartsInTray(config_) && !windowStateOverride_) || (StartsShown(config_) && windowStateOverride_);
    if (startMinimised && !unconfigured && mayMinimise) {
        window_.Minimise();
        SendToTrayIfMinimised(); // minimising shows the window in the task bar again
    }
    if (RunsNormally(config_)) window_.SetTopmost(false);
}

bool WindowPlacement::OnTop(SupervisionPhase phase) const {
    return RunsOnTop(config_) || phase == PhaseCountdown;
}

void WindowPlacement::BringToFront(SupervisionPhase phase) {
    if (window_.IsMinimised()) {
        window_.ShowNormalCentred();
        window_.RemoveTrayIcon();
    }
    window_.SetTopmost(OnTop(phase));
}

void WindowPlacement::SendToTrayIfMinimised() {
    if (!window_.IsMinimised()) return;
    window_.AddTrayIcon();
    window_.HideWindow();
}

void WindowPlacement::RecomputeWindowStateOverride() {
    const bool minimised = window_.IsMinimised();
    windowStateOverride_ = (!minimised && StartsInTray(config_) && phase_ != PhaseCountdown) ||
                           (minimised && StartsShown(config_));
}

void WindowPlacement::OnWindowStateChanged() {
    SendToTrayIfMinimised();
    // Minimising a window that should start shown is always the user's override; anything else
    // is decided outside the countdown only, which keeps the user's earlier choice.
    if (window_.IsMinimised() && StartsShown(config_)) {
        windowStateOverride_ = true;
    } else if (phase_ != PhaseCountdown) {
        RecomputeWindowStateOverride();
    }
}

void WindowPlacement::OnTrayRestoreRequested() {
    BringToFront(phase_);
    RecomputeWindowStateOverride();
}

void WindowPlacement::OnWindowActivated() {
    // The countdown keeps its window on top even when activating it (which the desktop may do
    // on its own after bringing it to the front) would otherwise drop that.
    window_.SetTopmost(OnTop(phase_));
    if (window_.IsMinimised()) window_.HideWindow();
}

} // namespace tarnix
