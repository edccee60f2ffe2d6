#include "common/Supervision.h"

#include <array>
#include <utility>

#include "common/ConfigQueries.h"
#include "common/ShutType.h"

namespace tarnix {
namespace {

// The buttons that could interrupt a running countdown; Reset stays usable to cancel it.
constexpr std::array CountdownLockedButtons = {Button::Config, Button::About, Button::TestS, Button::Exit};

// The loss limit and countdown length under "-InhibitShutdown", so that a test ends quickly.
constexpr std::int16_t InhibitedSeconds = 6;

} // namespace

Supervision::Supervision(SupervisionLook look, const ConfigRecord& config, MainWindowView& window,
                         CpuLoadBandView* cpuLoad, SupervisionLog& log)
    : look_(std::move(look)), config_(config), window_(window), cpuLoad_(cpuLoad), log_(log) {}

SecondOutcome Supervision::RunPhaseOperations() {
    // Each test sees the phase the previous operation left: the second that starts the
    // countdown already shows it, the second that ends the activation checks no loss yet.
    if (phase_ == PhaseRun) LossCheckTick();
    if (phase_ == PhaseActivation) ActivationTick();
    if (phase_ == PhaseCountdown) return CountdownTick();
    return SecondOutcome::Nothing;
}

void Supervision::ActivationTick() {
    --phaseCounter_;
    window_.SetCounterText(look_.counterPrefix + "Program Activation In " + std::to_string(phaseCounter_) +
                           "s");
    if (phaseCounter_ <= 0) {
        phase_ = PhaseRun;
        LogAtNormal("Enter", "Run");
        phaseCounter_ = 0;
        ListenAfresh();
    } else if (phaseCounter_ != config_.StartDelay) {
        // The first second after a hibernation or standby still shows StartDelay and is not
        // reported as a second of inactivity.
        LogAtFull("Inactive", "");
    }
}

void Supervision::LossCheckTick() {
    const bool silent = nothingHeard_ == 1;
    if (silent)
        ++phaseCounter_;
    else
        phaseCounter_ = 0;
    window_.SetCounterBold(true);
    if (!silent) {
        window_.SetCounterText(look_.heardText);
        window_.SetCounterForeground(look_.heardColour);
    } else {
        window_.SetCounterText(look_.silentText + std::to_string(phaseCounter_) + "s");
        window_.SetCounterForeground(look_.silentColour);
    }
    if (phaseCounter_ >= lostCommsLimit_) {
        phase_ = PhaseCountdown;
        phaseCounter_ = 0;
    } else {
        LogAtFull("Run", "");
    }
    nothingHeard_ = 1;
    ListenAfresh();
}

void Supervision::ListenAfresh() {
    listening_ = true;
    ++listeningSecond_;
}

SecondOutcome Supervision::CountdownTick() {
    if (countdownHeld_) return SecondOutcome::Nothing;
    if (cpuLoad_ != nullptr) cpuLoad_->SetCpuLoadText("");
    if (phaseCounter_ == 0) {
        BringToFront();
        window_.RemoveTrayIcon();
    }
    if (testRun_) return SecondOutcome::TestRunEnded;
    if (phaseCounter_ == 0) LogAtNormal("Enter", shutTypeName_);
    ShowCountdown();
    if (phaseCounter_ >= shutTime_) return SecondOutcome::CountdownExpired;
    LogAtFull(shutTypeName_, "");
    ++phaseCounter_;
    return SecondOutcome::Nothing;
}

void Supervision::ResetSupervision() {
    testRun_ = false;
    window_.SetTimerEnabled(false);
    phaseCounter_ = config_.StartDelay;
    nothingHeard_ = 1;
    phase_ = PhaseActivation;
    listening_ = false;
    ++listeningSecond_;
    lostCommsLimit_ = inhibitShutdown_ ? InhibitedSeconds : config_.CPUDelay;
    shutTime_ = inhibitShutdown_ ? InhibitedSeconds : config_.ShutTime;
    shutTypeName_ = tarnix::ShutTypeName(config_.ShutType);

    window_.SetCounterBackground(colours::ButtonFace);
    window_.SetCounterForeground(colours::ButtonText);
    if (cpuLoad_ != nullptr) cpuLoad_->SetCpuLoadColours(colours::ButtonText, colours::ButtonFace);
    window_.SetTitleStyle(colours::ButtonText, false);
    window_.SetCounterBold(false);
    for (Button button : CountdownLockedButtons)
        window_.SetButtonEnabled(button, true);
}

void Supervision::BringToFront() {
    if (window_.IsMinimised()) {
        window_.ShowNormalCentred();
        window_.RemoveTrayIcon();
    }
    window_.SetTopmost(RunsOnTop(config_) || phase_ == PhaseCountdown);
}

void Supervision::StartTestRun() {
    testRun_ = true;
    lostCommsLimit_ = 5;
    phaseCounter_ = 2;
}

std::string Supervision::PhaseDetail() const {
    switch (phase_) {
    case PhaseCountdown:
        return shutTypeName_;
    case PhaseRun:
        return "Run";
    default:
        return "Initialise";
    }
}

bool Supervision::LogNormal() const {
    return LogsNormal(config_);
}

bool Supervision::LogFull() const {
    return LogsFull(config_);
}

void Supervision::LogAtNormal(const std::string& event, const std::string& detail) {
    if (LogNormal()) log_.Log(event, detail);
}

void Supervision::LogAtFull(const std::string& event, const std::string& detail) {
    if (LogFull()) log_.Log(event, detail);
}

void Supervision::ShowCountdown() {
    for (Button button : CountdownLockedButtons)
        window_.SetButtonEnabled(button, false);
    if (cpuLoad_ != nullptr) {
        cpuLoad_->SetCpuLoadText("");
        cpuLoad_->SetCpuLoadColours(colours::White, colours::Orange);
    }
    window_.SetCounterForeground(colours::White);
    window_.SetCounterBackground(colours::Orange);
    window_.SetCounterText(look_.counterPrefix + CountdownText() + std::to_string(shutTime_ - phaseCounter_) +
                           "s");
    window_.SetButtonCaption(Button::Reset, "Cancel");
    window_.SetButtonToolTip(Button::Reset, "Cancel " + look_.programTitle + " " + shutTypeName_);
    if (cpuLoad_ != nullptr) cpuLoad_->SetCpuLoadText("");
}

std::string Supervision::CountdownText() const {
    if (config_.ShutType == ShutMonitor) return look_.programTitle + " Will Close In ";
    return "The Computer Will " + shutTypeName_ + " In ";
}

} // namespace tarnix
