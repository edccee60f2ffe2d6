#include "common/Supervision.h"

#include <array>

#include "common/ShutType.h"

namespace tarnix {
namespace {

// The buttons that could interrupt a running countdown; Reset stays usable to cancel it.
constexpr std::array CountdownLockedButtons = {Button::Config, Button::About, Button::TestS, Button::Exit};

} // namespace

Supervision::Supervision(ProgramKind kind, ConfigRecord& config, MainWindowView& window, MessageBoxes& boxes,
                         PowerActions& power, SupervisionProgram& program)
    : kind_(kind), config_(config), window_(window), boxes_(boxes), power_(power), program_(program),
      programTitle_(kind == ProgramKind::Master ? "Tarnix" : "Tarnix Slave") {}

void Supervision::RunPhaseOperations() {
    // Each test sees the phase the previous operation left: the second that starts the
    // countdown already shows it, the second that ends the activation checks no loss yet.
    if (Phase == PhaseRun) LossCheckTick();
    if (Phase == PhaseActivation) ActivationTick();
    if (Phase == PhaseCountdown) CountdownTick();
}

void Supervision::ActivationTick() {
    --PhaseCounter;
    window_.SetCounterText(std::string(IsMaster() ? " " : "") + "Program Activation In " +
                           std::to_string(PhaseCounter) + "s");
    if (PhaseCounter <= 0) {
        Phase = PhaseRun;
        LogAtNormal("Enter", "Run");
        PhaseCounter = 0;
        if (!IsMaster()) CommsStatus = "Fail";
    } else if (PhaseCounter != config_.StartDelay) {
        // The first second after a hibernation or standby still shows StartDelay and is not
        // reported as a second of inactivity.
        LogAtFull("Inactive", "");
    }
}

void Supervision::LossCheckTick() {
    const bool silent = NothingHeard == 1;
    if (silent)
        ++PhaseCounter;
    else
        PhaseCounter = 0;
    window_.SetCounterBold(true);
    if (!silent) {
        window_.SetCounterText(IsMaster() ? "" : "Connected");
        window_.SetCounterForeground(IsMaster() ? colours::StatusGreen : colours::SlaveGreen);
    } else {
        const std::string seconds = std::to_string(PhaseCounter) + "s";
        window_.SetCounterText(IsMaster() ? " No connections for the last " + seconds
                                          : "Not connected for the last " + seconds);
        window_.SetCounterForeground(IsMaster() ? colours::StatusOrange : colours::Orange);
    }
    if (PhaseCounter >= LostCommsLimit) {
        Phase = PhaseCountdown;
        PhaseCounter = 0;
    } else {
        LogAtFull("Run", "");
    }
    NothingHeard = 1;
    if (!IsMaster()) CommsStatus = "Fail";
}

void Supervision::CountdownTick() {
    // A datagram command handled while the box waits can restart the timer; the box's own
    // tick must not be run a second time underneath it.
    if (countdownBoxOpen_) return;
    if (!IsMaster()) window_.SetCpuLoadText("");
    if (PhaseCounter == 0) {
        BringToFront();
        window_.RemoveTrayIcon();
    }
    if (TestRun) {
        EndTestRun();
        return;
    }
    if (PhaseCounter == 0) LogAtNormal("Enter", ShutTypeName);
    ShowCountdown();
    if (PhaseCounter < config_.ShutTime) {
        LogAtFull(ShutTypeName, "");
    } else if (ExpireCountdown()) {
        return;
    }
    // Also after the reset before a suspension: the activation then runs from StartDelay + 1.
    ++PhaseCounter;
}

void Supervision::ResetSupervision() {
    TestRun = false;
    window_.SetTimerEnabled(false);
    PhaseCounter = config_.StartDelay;
    NothingHeard = 1;
    Phase = PhaseActivation;
    if (InhibitShutdown) {
        config_.CPUDelay = 6;
        config_.ShutTime = 6;
    }
    LostCommsLimit = config_.CPUDelay;
    if (!IsMaster()) CommsStatus = "....";
    ShutTypeName = tarnix::ShutTypeName(config_.ShutType);

    window_.SetCounterBackground(colours::ButtonFace);
    window_.SetCounterForeground(colours::ButtonText);
    if (!IsMaster()) window_.SetCpuLoadColours(colours::ButtonText, colours::ButtonFace);
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
    window_.SetTopmost(config_.RunOnTop == 2 || Phase == PhaseCountdown);
}

void Supervision::StartTestRun() {
    TestRun = true;
    LostCommsLimit = 5;
    PhaseCounter = 2;
}

std::string Supervision::PhaseDetail() const {
    switch (Phase) {
    case PhaseCountdown:
        return ShutTypeName;
    case PhaseRun:
        return "Run";
    default:
        return "Initialise";
    }
}

void Supervision::LogAtNormal(const std::string& event, const std::string& detail) {
    if (LogNormal()) program_.Log(event, detail);
}

void Supervision::LogAtFull(const std::string& event, const std::string& detail) {
    if (LogFull()) program_.Log(event, detail);
}

void Supervision::ShowCountdownBox(const std::string& titleSuffix, const std::string& prompt) {
    // Every path after the box either ends the program or resets, and the reset's
    // RefreshWindowTexts starts the timer again.
    window_.SetTimerEnabled(false);
    struct BoxOpen {
        bool& flag;
        explicit BoxOpen(bool& f) : flag(f) { flag = true; }
        ~BoxOpen() { flag = false; }
    } boxOpen(countdownBoxOpen_);
    boxes_.Show(programTitle_ + titleSuffix, {prompt}, BoxIcon::None, BoxButtons::Ok);
}

void Supervision::EndTestRun() {
    LogAtNormal("Simulate", ShutTypeName);
    const std::string prompt = "Test " + ShutTypeName;
    if (!IsMaster()) program_.SetMinimiseAllowed(false);
    // Supervision starts again before the box appears and goes on behind it: a test commanded
    // on an unattended computer must not leave its watchdog waiting for someone to press OK.
    ResetSupervision();
    program_.RefreshWindowTexts();
    boxes_.Show(programTitle_ + " Test", {prompt}, BoxIcon::None, BoxButtons::Ok);
}

void Supervision::ShowCountdown() {
    for (Button button : CountdownLockedButtons)
        window_.SetButtonEnabled(button, false);
    if (!IsMaster()) {
        window_.SetCpuLoadText("");
        window_.SetCpuLoadColours(colours::White, colours::Orange);
    }
    window_.SetCounterForeground(colours::White);
    window_.SetCounterBackground(colours::Orange);
    window_.SetCounterText(std::string(IsMaster() ? " " : "") + CountdownText() +
                           std::to_string(config_.ShutTime - PhaseCounter) + "s");
    window_.SetButtonCaption(Button::Reset, "Cancel");
    window_.SetButtonToolTip(Button::Reset, "Cancel " + programTitle_ + " " + ShutTypeName);
    if (!IsMaster()) window_.SetCpuLoadText("");
}

// Returns true when the program was ended (codes up to Monitor); EndProgram does not come
// back in production, and should it ever, the expired countdown must not act again.
bool Supervision::ExpireCountdown() {
    const bool suspends = config_.ShutType > ShutMonitor;
    if (InhibitShutdown) {
        LogAtNormal(ShutTypeName, "Simulate");
        ShowCountdownBox(" Simulate " + ShutTypeName, "Test Real " + ShutTypeName);
        if (suspends) program_.ResetProgram();
    } else {
        LogAtNormal("Start", ShutTypeName);
        PerformPowerAction();
    }
    if (suspends) {
        LogAtNormal("Restart", ShutTypeName);
        LogAtNormal("----------", "----------");
        LogAtNormal("----------", "----------");
        return false;
    }
    LogAtNormal("Close", ShutTypeName);
    program_.EndProgram();
    return true;
}

// Power errors are not caught here: the program ends with their report.
void Supervision::PerformPowerAction() {
    switch (config_.ShutType) {
    case ShutPowerOff:
    case ShutReboot:
    case ShutShutdown:
        power_.ShutdownSystem(ActionCode(config_.ShutType));
        break;
    default:
        break;
    }
    if (config_.ShutType <= ShutMonitor) return;
    // Reset before suspending, so that after resumption supervision starts with its activation.
    program_.ResetProgram();
    if (config_.ShutType == ShutHibernate) power_.HibernateSystem();
    if (config_.ShutType == ShutStandby) power_.StandbySystem();
}

std::string Supervision::CountdownText() const {
    if (config_.ShutType == ShutMonitor) return programTitle_ + " Will Close In ";
    return "The Computer Will " + ShutTypeName + " In ";
}

} // namespace tarnix
