#pragma once

#include <string>

#include "common/display/MainWindowView.h"
#include "common/program/ProgramStatus.h"
#include "common/supervision/SupervisionLook.h"

namespace tarnix {

// Turns how things stand into the status band's texts, colours and button states: the one place
// that knows how a program words and colours its states. It decides nothing. A face without a
// status band gets nothing painted.
class StatusPresenter {
public:
    // cpuLoad: the slave window's CPU-load band, which takes the countdown's colours; none on
    // the master.
    StatusPresenter(SupervisionLook look, StatusBandView* band, CpuLoadBandView* cpuLoad);

    void ShowSupervision(SupervisionChange change, const ProgramStatus& status);

    // The buttons' tooltips, the caption and the configuration summary in `Title`.
    void ShowProgramTexts(const ProgramStatus& status);
    void ShowCaption();
    // The counter before the first activation second.
    void ShowActivation(const ProgramStatus& status);
    void ShowUnconfigured();
    void ShowTestMode();
    // Reset takes back its caption after a countdown or a test.
    void ShowResetButton();
    void ShowConnectionError();
    // The counter takes the colour of a heard link before anything is heard.
    void ShowHeardColour();

    // "Program Activation In <n>s", as the program's counter words it.
    std::string ActivationText(int secondsLeft) const;

private:
    void ShowReset();
    void ShowLink(bool heard, const ProgramStatus& status);
    void ShowCountdown(const ProgramStatus& status);
    std::string CountdownText(const ProgramStatus& status) const;
    void SetResetToolTip();

    SupervisionLook look_;
    StatusBandView* band_;
    CpuLoadBandView* cpuLoad_;
};

} // namespace tarnix
