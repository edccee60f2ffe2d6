#include "desktop/window/StatusPresenter.h"

#include <array>
#include <utility>

namespace tarnix {
namespace {

// The buttons that could interrupt a running countdown; Reset stays usable to cancel it.
constexpr std::array CountdownLockedButtons = {Button::Config, Button::About, Button::TestS, Button::Exit};

} // namespace

StatusPresenter::StatusPresenter(SupervisionLook look, StatusBandView& band, CpuLoadBandView* cpuLoad,
                                 std::string captionNote)
    : look_(std::move(look)), band_(band), cpuLoad_(cpuLoad), captionNote_(std::move(captionNote)) {}

void StatusPresenter::StepTaken(const StatusStep& step, const ProgramStatus& status) {
    switch (step.step) {
    case Step::Supervision:
        return ShowSupervision(step.change, status);
    case Step::Loading:
        return ShowLoading();
    case Step::Detached:
        return ShowDetached();
    case Step::TextsRefreshed:
        return ShowProgramTexts(status);
    case Step::ResetBegins:
        return ShowResetButton();
    case Step::TestModeEntered:
        return ShowTestMode();
    case Step::LinkError:
        return ShowConnectionError();
    case Step::LinksCleared:
        return band_.SetCounterForeground(look_.heardColour);
    default:
        return;
    }
}

void StatusPresenter::ShowSupervision(SupervisionChange change, const ProgramStatus& status) {
    switch (change) {
    case SupervisionChange::Reset:
        return ShowReset();
    case SupervisionChange::ActivationCounted:
        return band_.SetCounterText(ActivationText(status.count));
    case SupervisionChange::LinkHeard:
        return ShowLink(true, status);
    case SupervisionChange::LinkSilent:
        return ShowLink(false, status);
    case SupervisionChange::CountdownSecond:
        if (cpuLoad_ != nullptr) cpuLoad_->SetCpuLoadText("");
        return;
    case SupervisionChange::CountdownBegins:
        return; // placement, not the band
    case SupervisionChange::CountdownShown:
        return ShowCountdown(status);
    }
}

std::string StatusPresenter::ActivationText(int secondsLeft) const {
    return look_.counterPrefix + "Program Activation In " + std::to_string(secondsLeft) + "s";
}

void StatusPresenter::ShowReset() {
    band_.SetCounterBackground(colours::ButtonFace);
    band_.SetCounterForeground(colours::ButtonText);
    if (cpuLoad_ != nullptr) cpuLoad_->SetCpuLoadColours(colours::ButtonText, colours::ButtonFace);
    band_.SetTitleStyle(colours::ButtonText, false);
    band_.SetCounterBold(false);
    for (Button button : CountdownLockedButtons)
        band_.SetButtonEnabled(button, true);
}

void StatusPresenter::ShowLink(bool heard, const ProgramStatus& status) {
    band_.SetCounterBold(true);
    if (heard) {
        band_.SetCounterText(look_.heardText);
        band_.SetCounterForeground(look_.heardColour);
    } else {
        band_.SetCounterText(look_.silentText + std::to_string(status.count) + "s");
        band_.SetCounterForeground(look_.silentColour);
    }
}

void StatusPresenter::ShowCountdown(const ProgramStatus& status) {
    for (Button button : CountdownLockedButtons)
        band_.SetButtonEnabled(button, false);
    if (cpuLoad_ != nullptr) {
        cpuLoad_->SetCpuLoadText("");
        cpuLoad_->SetCpuLoadColours(colours::White, colours::Orange);
    }
    band_.SetCounterForeground(colours::White);
    band_.SetCounterBackground(colours::Orange);
    band_.SetCounterText(look_.counterPrefix + CountdownText(status) + std::to_string(status.timeLeft) + "s");
    band_.SetButtonCaption(Button::Reset, "Cancel");
    band_.SetButtonToolTip(Button::Reset, "Cancel " + look_.programTitle + " " + status.action);
    if (cpuLoad_ != nullptr) cpuLoad_->SetCpuLoadText("");
}

std::string StatusPresenter::CountdownText(const ProgramStatus& status) const {
    if (status.monitorOnly) return look_.programTitle + " Will Close In ";
    return "The Computer Will " + status.action + " In ";
}

void StatusPresenter::ShowProgramTexts(const ProgramStatus& status) {
    const std::string summary =
        status.action + (status.monitorOnly ? " the computer until communications are lost"
                                            : " the computer if communications are lost");
    SetResetToolTip();
    band_.SetButtonToolTip(Button::Exit, "Exit " + look_.programTitle);
    band_.SetButtonToolTip(Button::About, "About " + look_.programTitle);
    band_.SetButtonToolTip(Button::Config, "Configure " + look_.programTitle);
    band_.SetCaption(Caption());
    band_.SetTitleText(summary + " for over " + std::to_string(status.lostCommsLimit) + " sec");
    band_.SetCounterText(ActivationText(status.count));
    if (!status.unconfigured) return;
    band_.SetCounterText("");
    band_.SetTitleStyle(colours::Orange, true);
    band_.SetTitleText("Click Configure To Set Up " + look_.programTitle);
}

void StatusPresenter::ShowTestMode() {
    band_.SetButtonCaption(Button::Reset, "Reset");
    band_.SetCaption(Caption() + " - Test Mode");
    SetResetToolTip();
}

void StatusPresenter::ShowResetButton() {
    band_.SetButtonCaption(Button::Reset, "Reset");
    SetResetToolTip();
}

void StatusPresenter::ShowLoading() {
    band_.SetCaption(Caption());
    if (!detached_) return;
    detached_ = false;
    band_.SetButtonEnabled(Button::Reset, true);
    band_.SetButtonEnabled(Button::TestS, true);
}

void StatusPresenter::ShowDetached() {
    detached_ = true;
    ShowReset();
    band_.SetCaption(Caption());
    band_.SetButtonCaption(Button::Reset, "Reset");
    band_.SetButtonEnabled(Button::Reset, false);
    band_.SetButtonEnabled(Button::TestS, false);
    band_.SetTitleText("The " + look_.programTitle + " service is not running");
    band_.SetCounterText("Service Stopped");
    if (cpuLoad_ != nullptr) cpuLoad_->SetCpuLoadText("");
}

void StatusPresenter::SetResetToolTip() {
    band_.SetButtonToolTip(Button::Reset, "Reset " + look_.programTitle);
}

void StatusPresenter::ShowConnectionError() {
    band_.SetCounterText("Connection Error");
    band_.SetCounterBold(true);
    band_.SetCounterForeground(colours::Orange);
}

} // namespace tarnix
