#pragma once

#include "common/config/ConfigScreenHost.h"
#include "common/config/ConfigScreenView.h"
#include "common/display/MainWindowView.h"
#include "common/program/ProgramBase.h"
#include "common/program/UserDesktop.h"
#include "desktop/window/WindowPlacement.h"

namespace tarnix {

// A main window's events as commands on the program: its buttons, its placement, and what the
// about box and the configuration screen need of the window's side.
class WindowRules final : public MainWindowEvents, public ConfigScreenHost, public StatusObserver {
public:
    WindowRules(ProgramBase& program, WindowPlacement& placement, AuxWindowsView& aboutBox,
                ConfigScreenWindow& configWindow, UserDesktop& desktop)
        : program_(program), placement_(placement), aboutBox_(aboutBox), configWindow_(configWindow),
          desktop_(desktop) {}

    // MainWindowEvents
    void OnButtonClicked(Button button) override;
    void OnWindowClosing() override { program_.OnWindowClosing(); }
    void OnWindowStateChanged() override { placement_.OnWindowStateChanged(); }
    void OnTrayRestoreRequested() override { placement_.OnTrayRestoreRequested(); }
    void OnWindowActivated() override { placement_.OnWindowActivated(); }

    // ConfigScreenHost
    bool IsAdministrator() override { return desktop_.IsAdministrator(); }
    bool OpenLogFile(const std::filesystem::path& file) override;
    bool Unconfigured() const override { return program_.Unconfigured(); }
    bool ConfigSaved() const override { return program_.ConfigSaved(); }
    void SetConfigSaved(bool saved) override { program_.SetConfigSaved(saved); }
    void ClearWindowStateOverride() override { placement_.ClearWindowStateOverride(); }
    void ReinitialiseAfterConfiguration() override { program_.ReinitialiseAfterConfiguration(); }
    void StopSupervisionTimer() override { program_.StopSupervisionTimer(); }
    void EndProgram() override { program_.EndProgram(); }

    // StatusObserver: an auxiliary window whose time ran out closes.
    void StatusChanged(const ProgramStatus&) override {}
    void StepTaken(const StatusStep& step, const ProgramStatus& status) override;
    bool TakesSteps() const override { return true; }

private:
    ProgramBase& program_;
    WindowPlacement& placement_;
    AuxWindowsView& aboutBox_;
    ConfigScreenWindow& configWindow_;
    UserDesktop& desktop_;
};

} // namespace tarnix
