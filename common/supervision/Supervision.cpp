#include "common/supervision/Supervision.h"

#include <algorithm>

#include "common/config/ConfigQueries.h"
#include "common/supervision/ShutType.h"

namespace tarnix {
namespace {

// The loss limit and countdown length under "-InhibitShutdown", so that a test ends quickly.
constexpr std::int16_t InhibitedSeconds = 6;

} // namespace

Supervision::Supervision(const ConfigRecord& config, SupervisionDisplay& display, SupervisionLog& log)
    : config_(config), display_(display), log_(log) {}

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
    display_.ShowSupervision(SupervisionChange::ActivationCounted);
    if (phaseCounter_ <= 0) {
        phase_ = PhaseRun;
        LogAtNormal(log_, config_, "Enter", "Run");
        phaseCounter_ = 0;
        ListenAfresh();
    } else if (phaseCounter_ != config_.StartDelay) {
        // The first second after a hibernation or standby still shows StartDelay and is not
        // reported as a second of inactivity.
        LogAtFull(log_, config_, "Inactive", "");
    }
}

void Supervision::LossCheckTick() {
    const bool silent = nothingHeard_ == 1;
    if (silent)
        ++phaseCounter_;
    else
        phaseCounter_ = 0;
    display_.ShowSupervision(silent ? SupervisionChange::LinkSilent : SupervisionChange::LinkHeard);
    if (phaseCounter_ >= lostCommsLimit_) {
        phase_ = PhaseCountdown;
        phaseCounter_ = 0;
    } else {
        LogAtFull(log_, config_, "Run", "");
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
    display_.ShowSupervision(SupervisionChange::CountdownSecond);
    if (phaseCounter_ == 0) display_.ShowSupervision(SupervisionChange::CountdownBegins);
    if (testRun_) return SecondOutcome::TestRunEnded;
    if (phaseCounter_ == 0) LogAtNormal(log_, config_, "Enter", shutTypeName_);
    timeLeft_ = static_cast<std::int16_t>(shutTime_ - phaseCounter_);
    display_.ShowSupervision(SupervisionChange::CountdownShown);
    if (phaseCounter_ >= shutTime_) return SecondOutcome::CountdownExpired;
    LogAtFull(log_, config_, shutTypeName_, "");
    ++phaseCounter_;
    return SecondOutcome::Nothing;
}

void Supervision::ResetSupervision() {
    testRun_ = false;
    phaseCounter_ = config_.StartDelay;
    nothingHeard_ = 1;
    phase_ = PhaseActivation;
    listening_ = false;
    ++listeningSecond_;
    lostCommsLimit_ = inhibitShutdown_ ? InhibitedSeconds : config_.CPUDelay;
    shutTime_ = inhibitShutdown_ ? InhibitedSeconds : config_.ShutTime;
    timeLeft_ = shutTime_;
    shutTypeName_ = tarnix::ShutTypeName(config_.ShutType);
    display_.ShowSupervision(SupervisionChange::Reset);
}

void Supervision::StartTestRun() {
    testRun_ = true;
    lostCommsLimit_ = 5;
    phaseCounter_ = 2;
}

void Supervision::ResumeCountdown(std::int16_t secondsLeft) {
    phase_ = PhaseCountdown;
    phaseCounter_ =
        static_cast<std::int16_t>(shutTime_ - std::clamp<std::int16_t>(secondsLeft, 0, shutTime_));
    timeLeft_ = static_cast<std::int16_t>(shutTime_ - phaseCounter_);
    display_.ShowSupervision(SupervisionChange::CountdownShown);
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

void LogAtNormal(SupervisionLog& log, const ConfigRecord& config, const std::string& event,
                 const std::string& detail) {
    if (LogsNormal(config)) log.Log(event, detail);
}

void LogAtFull(SupervisionLog& log, const ConfigRecord& config, const std::string& event,
               const std::string& detail) {
    if (LogsFull(config)) log.Log(event, detail);
}

} // namespace tarnix
