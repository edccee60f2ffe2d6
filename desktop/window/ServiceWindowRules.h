#pragma once

#include <filesystem>
#include <string>

#include "common/base/Clock.h"
#include "common/config/ConfigScreenHost.h"
#include "common/config/ConfigScreenView.h"
#include "common/display/AuxWindows.h"
#include "common/display/MainWindowView.h"
#include "common/program/MessageBox.h"
#include "common/program/UserDesktop.h"
#include "desktop/window/WindowPlacement.h"

namespace tarnix {

// What a window showing a running service asks of it: its two buttons.
class ServiceButtons {
public:
    virtual ~ServiceButtons() = default;
    virtual void Reset() = 0;
    virtual void Test() = 0;
};

// Where a service keeps its files: its configuration as the administrator edits it, and the
// folder its relative log path starts from.
struct ServiceFiles {
    std::filesystem::path configFile;
    std::filesystem::path programFolder;
    std::string unit; // the systemd unit, for the advice how a change takes effect
};

// The events of a window that shows a running service: Reset and Test go to the service, the
// configuration screen shows the service's file without saving it, View Log opens the service's
// log where this user may read it, and Exit closes only the window.
class ServiceWindowRules final : public MainWindowEvents, public ConfigScreenHost {
public:
    struct Seams {
        ServiceButtons& buttons;
        WindowPlacement& placement;
        AuxWindowsView& aboutBox;
        ConfigScreenWindow& configWindow;
        UserDesktop& desktop;
        MessageBoxes& boxes;
        const Clock& clock;
        std::function<void()> closeWindow;
    };

    ServiceWindowRules(ProgramKind kind, ServiceFiles files, Seams seams)
        : kind_(kind), files_(std::move(files)), seams_(std::move(seams)) {}

    // MainWindowEvents
    void OnButtonClicked(Button button) override;
    void OnWindowClosing() override { seams_.closeWindow(); }
    void OnWindowStateChanged() override { seams_.placement.OnWindowStateChanged(); }
    void OnTrayRestoreRequested() override { seams_.placement.OnTrayRestoreRequested(); }
    void OnWindowActivated() override { seams_.placement.OnWindowActivated(); }

    // ConfigScreenHost: a screen that only shows.
    bool IsAdministrator() override { return false; }
    bool OpenLogFile(const std::filesystem::path& file) override;
    bool Unconfigured() const override { return false; }
    bool ConfigSaved() const override { return false; }
    void SetConfigSaved(bool) override {}
    void ClearWindowStateOverride() override {}
    void ReinitialiseAfterConfiguration() override {}
    void StopSupervisionTimer() override {}
    void EndProgram() override {}

    // The line the screen shows: which file it is and how a change takes effect.
    std::string ReadOnlyNote() const;

private:
    void OpenConfigScreen();
    void Tell(const std::string& titleSuffix, const std::vector<std::string>& lines, BoxIcon icon);

    ProgramKind kind_;
    ServiceFiles files_;
    Seams seams_;
    AuxWindows auxWindows_; // the about box's and the screen's own countdowns
};

} // namespace tarnix
