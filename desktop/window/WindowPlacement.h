#pragma once

#include "common/config/ConfigRecord.h"
#include "common/display/MainWindowView.h"
#include "common/program/WatchdogCommands.h"

namespace tarnix {

// Where the main window is, following how things stand and what the user does with it: the tray
// at start and after a cancelled countdown, the countdown brought to the front and kept on top,
// and the user's choice between "start in the tray" and "start shown".
class WindowPlacement final : public StatusObserver {
public:
    // config: the program's configuration in force.
    WindowPlacement(PlacementView& window, const ConfigRecord& config) : window_(window), config_(config) {}

    void StatusChanged(const ProgramStatus& status) override { phase_ = status.phase; }
    void StepTaken(const StatusStep& step, const ProgramStatus& status) override;
    bool TakesSteps() const override { return true; }

    // What the window reports.
    void OnWindowStateChanged();
    void OnTrayRestoreRequested();
    void OnWindowActivated();

    // The user overrode the configured start in the tray or shown; the next start honours it.
    bool WindowStateOverride() const { return windowStateOverride_; }
    // The configuration screen changed the setting: the re-initialisation applies it.
    void ClearWindowStateOverride() { windowStateOverride_ = false; }

    // Restores a minimised window; the countdown, or RunOnTop, keeps it on top.
    void BringToFront(SupervisionPhase phase);

private:
    void PlaceAfterRefresh(bool mayMinimise, bool unconfigured);
    // A minimised window lives in the tray: add the icon and hide the window.
    void SendToTrayIfMinimised();
    void RecomputeWindowStateOverride();
    bool OnTop(SupervisionPhase phase) const;

    PlacementView& window_;
    const ConfigRecord& config_;
    SupervisionPhase phase_ = PhaseActivation;
    bool windowStateOverride_ = false;
};

} // namespace tarnix
