#pragma once

#include <string>

#include "common/display/MainWindowView.h"
#include "common/program/WatchdogCommands.h"
#include "common/supervision/SupervisionLook.h"

namespace tarnix {

// Turns how things stand into the status band's texts, colours and button states, in the steps
// the program takes: the one place that knows how a program words and colours its states. It
// decides nothing.
class StatusPresenter final : public StatusObserver {
public:
    // cpuLoad: the slave window's CPU-load band, which takes the countdown's colours; none on
    // the master. captionNote: what the caption adds to the program's title (the window of a
    // service says so).
    StatusPresenter(SupervisionLook look, StatusBandView& band, CpuLoadBandView* cpuLoad,
                    std::string captionNote = {});

    void StatusChanged(const ProgramStatus&) override {}
    void StepTaken(const StatusStep& step, const ProgramStatus& status) override;
    bool TakesSteps() const override { return true; }

    // "Program Activation In <n>s", as the program's counter words it.
    std::string ActivationText(int secondsLeft) const;

private:
    void ShowSupervision(SupervisionChange change, const ProgramStatus& status);
    // The buttons' tooltips, the caption, the configuration summary in `Title` and the counter
    // before the first activation second (or the set-up prompt).
    void ShowProgramTexts(const ProgramStatus& status);
    void ShowTestMode();
    // Reset takes back its caption after a countdown.
    void ShowResetButton();
    void ShowConnectionError();
    void ShowReset();
    void ShowLink(bool heard, const ProgramStatus& status);
    void ShowCountdown(const ProgramStatus& status);
    std::string CountdownText(const ProgramStatus& status) const;
    void SetResetToolTip();
    std::string Caption() const { return look_.programTitle + captionNote_; }
    // The service went: nothing of how it stood stays, and its buttons wait for it.
    void ShowDetached();
    void ShowLoading();

    SupervisionLook look_;
    StatusBandView& band_;
    CpuLoadBandView* cpuLoad_;
    std::string captionNote_;
    bool detached_ = false;
};

} // namespace tarnix
