#include "common/program/ProgramBase.h"

#include <algorithm>

#include "common/base/CommandLine.h"
#include "common/config/ConfigFile.h"
#include "common/config/ConfigQueries.h"

namespace tarnix {

ProgramBase::ProgramBase(ProgramKind kind, std::string commandLine, const ProgramServices& services,
                         CpuLoadBandView* cpuLoad)
    : kind_(kind), commandLine_(std::move(commandLine)), timer_(services.timer), boxes_(services.boxes),
      clock_(services.clock), control_(services.control), placement_(services.placement),
      auxWindowsView_(services.auxWindows), configWindow_(services.configWindow), desktop_(services.desktop),
      statusObserver_(services.statusObserver), sealing_(services.sealing),
      programTitle_(ProgramTitleOf(kind)), log_(kind, config_, services.clock),
      runningLog_(log_, services.clock), presenter_(SupervisionLookOf(kind), services.band, cpuLoad),
      display_(presenter_, services.timer, services.placement, config_, [this] { return Status(); }),
      supervision_(config_, display_, *this),
      expiry_(programTitle_, config_, services.timer, services.boxes, services.power, supervision_, *this) {}

bool ProgramBase::InhibitShutdownSwitch() const {
    return InhibitShutdownGiven(commandLine_);
}

void ProgramBase::Fatal(const FatalError& error, ProgramEnd end) {
    // Until the box is closed and the program ends, nothing may bring supervision back: no
    // datagram is handled and no tick runs.
    ending_ = true;
    timer_.SetTimerEnabled(false);
    boxes_.Show(programTitle_ + error.titleSuffix, error.lines, error.icon, BoxButtons::Ok);
    RemoveTrayIcon();
    control_.EndProgram(end);
}

void ProgramBase::ResetSupervision() {
    supervision_.ResetSupervision();
}

ProgramStatus ProgramBase::Status() const {
    ProgramStatus status = SupervisionStatus(kind_, supervision_, config_);
    status.unconfigured = unconfigured_;
    status.resets = resets_;
    status.tests = tests_;
    AddProgramStatus(status);
    status.masterLookupFailure = kind_ == ProgramKind::Slave ? lookupFailures_[0] : std::string();
    for (std::size_t i = 0; kind_ == ProgramKind::Master && i < status.remote.size(); ++i)
        status.remote[i].lookupFailure = lookupFailures_[i + 1];
    return status;
}

void ProgramBase::RunSupervisionSecond() {
    try {
        switch (supervision_.RunPhaseOperations()) {
        case SecondOutcome::TestRunEnded:
            return EndTestRun();
        case SecondOutcome::CountdownExpired:
            return ActOnExpiredCountdown();
        case SecondOutcome::Nothing:
            return;
        }
    } catch (const PowerActionError& error) {
        Fatal(PowerErrorBox(error));
    }
}

bool ProgramBase::ResumeCountdown(int secondsLeft) {
    if (unconfigured_ || ending_) return false;
    supervision_.ResumeCountdown(static_cast<std::int16_t>(std::min(secondsLeft, 0x7fff)));
    LogAtNormal("Resume", supervision_.ShutTypeName());
    NotifyStatus();
    return true;
}

void ProgramBase::EndTestRun() {
    const std::string& name = supervision_.ShutTypeName();
    LogAtNormal("Simulate", name);
    const std::string prompt = "Test " + name;
    if (kind_ == ProgramKind::Slave)
        minimiseAllowed_ = false; // the slave's window stays where the test left it
    // Supervision starts again before the box appears and goes on behind it: a test commanded
    // on an unattended computer must not leave its watchdog waiting for someone to press OK.
    ResetSupervision();
    RefreshWindowTexts();
    // A test that ends while the last one's box is still up leaves that one box: a box opened
    // inside the other's wait for every test command would pile up without end.
    if (testBoxOpen_) return;
    testBoxOpen_ = true;
    struct Closed {
        bool& open;
        ~Closed() { open = false; }
    } closed{testBoxOpen_};
    boxes_.Show(programTitle_ + " Test", {prompt}, BoxIcon::None, BoxButtons::Ok);
}

void ProgramBase::ActOnExpiredCountdown() {
    if (expiry_.Act() == ExpiryEnd::ProgramCloses) return control_.EndProgram(ProgramEnd::Closed);
    // Reset before suspending, so that after resumption supervision starts with its activation.
    ResetProgram();
    expiry_.Suspend();
}

void ProgramBase::Log(const std::string& event, const std::string& detail) {
    AppendToLog(log_.FormatLine(event, detail, CurrentLogState()));
}

void ProgramBase::LogAtNormal(const std::string& event, const std::string& detail) {
    tarnix::LogAtNormal(*this, config_, event, detail);
}

void ProgramBase::AppendToLog(const std::string& text) {
    if (!guarding_) {
        if (auto error = log_.AppendLines(text)) Fatal(*error);
        return;
    }
    if (auto error = runningLog_.Append(text)) ReportLostLog(*error);
}

// Nobody may be at the computer to answer a box, and the slaves of a master whose timer waited
// for an answer would power themselves off: the report waits for no one.
void ProgramBase::ReportLostLog(const FatalError& error) {
    std::vector<std::string> lines = error.lines;
    if (!lines.empty() && lines.back() == ProgramWillTerminate) lines.pop_back();
    lines.push_back("Supervision goes on. The log is tried again every second.");
    boxes_.Notify(programTitle_ + error.titleSuffix, lines, error.icon);
}

void ProgramBase::StartGuarding() {
    guarding_ = !ending_;
    NotifyStatus();
}

void ProgramBase::NotifyStatus() {
    statusObserver_.StatusChanged(Status());
}

void ProgramBase::RetryLostLog() {
    if (guarding_) runningLog_.RetryKeptLines(CurrentLogState());
}

void ProgramBase::WriteStartUpLog() {
    LogAtNormal("", "");
    if (LogsNormal(config_)) {
        if (auto error = log_.WriteLogHeader(0, configText_)) return Fatal(*error);
    }
    if (unconfigured_) LogAtNormal("UnConfig", "********");
}

void ProgramBase::AskPortQuestion() {
    const std::string inUse = kind_ == ProgramKind::Master ? " Is Already In Use" : " Is Already In Use.";
    const std::vector<std::string> lines = {
        "The RX Port " + std::to_string(config_.Port2) + inUse,
        "This Error Must Be Resolved Before",
        "You Can Use " + programTitle_ + ".",
        "Use The Configuration Screen",
        "To Change The RX Port.",
        "Do You Want To End The Program?",
    };
    const BoxAnswer answer =
        boxes_.Show(programTitle_ + " Port Error", lines, BoxIcon::Error, BoxButtons::YesNo);
    if (answer == BoxAnswer::Yes) {
        RemoveTrayIcon();
        control_.EndProgram(ProgramEnd::Failed);
        return;
    }
    unconfigured_ = true;
}

void ProgramBase::RefreshWindowTexts() {
    const ProgramStatus status = Status();
    presenter_.ShowProgramTexts(status);

    const bool startMinimised =
        (StartsInTray(config_) && !windowStateOverride_) || (StartsShown(config_) && windowStateOverride_);
    if (placement_ != nullptr && startMinimised && !unconfigured_ && minimiseAllowed_) {
        placement_->Minimise();
        SendToTrayIfMinimised(); // minimising shows the window in the task bar again
    }
    minimiseAllowed_ = true;
    if (placement_ != nullptr && RunsNormally(config_)) placement_->SetTopmost(false);

    presenter_.ShowActivation(status);
    if (unconfigured_) presenter_.ShowUnconfigured();
    if (!unconfigured_) LogAtNormal("Start", "Initialise");
    RefreshProgramTexts();
    timer_.SetTimerEnabled(true);
}

void ProgramBase::EndProgram() {
    RemoveTrayIcon();
    control_.EndProgram(ProgramEnd::Failed);
}

void ProgramBase::RemoveTrayIcon() {
    if (placement_ != nullptr) placement_->RemoveTrayIcon();
}

void ProgramBase::BeginReset() {
    const bool countingDown = supervision_.Phase() == PhaseCountdown;
    if (countingDown) presenter_.ShowResetButton();
    // Only the cancelling of a real countdown lets the refresh send the window back to the tray.
    minimiseAllowed_ = countingDown && !supervision_.TestRun() && !supervision_.InhibitShutdown();
}

void ProgramBase::EnterTestMode() {
    ++tests_;
    supervision_.StartTestRun();
    minimiseAllowed_ = false; // a test never moves the window
    LogAtNormal("Enter", "Test");
    RefreshWindowTexts();
    presenter_.ShowTestMode();
    NotifyStatus();
}

void ProgramBase::OnButtonClicked(Button button) {
    switch (button) {
    case Button::TestS:
        return TestClick();
    case Button::Reset:
        return ResetClick();
    case Button::About:
        if (auxWindowsView_ != nullptr) ShowAboutBox();
        return;
    case Button::Config:
        if (configWindow_ != nullptr) OpenConfigScreen();
        return;
    case Button::Exit:
        return OnWindowClosing();
    }
}

void ProgramBase::ShowAboutBox() {
    auxWindows_.NoteOpened();
    auxWindowsView_->OpenAboutBox(supervision_.InhibitShutdown(), RunsOnTop(config_), auxWindows_);
}

void ProgramBase::OnWindowClosing() {
    timer_.SetTimerEnabled(false);
    if (!unconfigured_ && LogsNormal(config_)) Log("Exit", supervision_.PhaseDetail());
    RemoveTrayIcon();
    control_.EndProgram(ProgramEnd::Closed);
}

void ProgramBase::OnTerminationSignal() {
    // A logout or kill must end the program even under an open box, and a log that fails now
    // must not ask anything: the exit line is written where the log still works.
    timer_.SetTimerEnabled(false);
    if (!ending_ && !unconfigured_ && supervision_.LogNormal())
        (void)log_.WriteLogLine("Exit", supervision_.PhaseDetail(), CurrentLogState());
    ending_ = true;
    RemoveTrayIcon();
    control_.EndProgram(ProgramEnd::Closed);
}

void ProgramBase::RecomputeWindowStateOverride() {
    if (placement_ == nullptr) return;
    const bool minimised = placement_->IsMinimised();
    windowStateOverride_ = (!minimised && StartsInTray(config_) && supervision_.Phase() != PhaseCountdown) ||
                           (minimised && StartsShown(config_));
}

void ProgramBase::SendToTrayIfMinimised() {
    if (placement_ == nullptr || !placement_->IsMinimised()) return;
    placement_->AddTrayIcon();
    placement_->HideWindow();
}

void ProgramBase::OnWindowStateChanged() {
    if (placement_ == nullptr) return;
    SendToTrayIfMinimised();
    // Minimising a window that should start shown is always the user's override; anything else
    // is decided outside the countdown only, which keeps the user's earlier choice.
    if (placement_->IsMinimised() && StartsShown(config_)) {
        windowStateOverride_ = true;
    } else if (supervision_.Phase() != PhaseCountdown) {
        RecomputeWindowStateOverride();
    }
}

void ProgramBase::OnTrayRestoreRequested() {
    display_.BringToFront(supervision_.Phase());
    RecomputeWindowStateOverride();
}

void ProgramBase::OnWindowActivated() {
    if (placement_ == nullptr) return;
    // The countdown keeps its window on top even when activating it (which the desktop may do
    // on its own after bringing it to the front) would otherwise drop that.
    placement_->SetTopmost(RunsOnTop(config_) || supervision_.Phase() == PhaseCountdown);
    if (placement_->IsMinimised()) placement_->HideWindow();
}

void ProgramBase::CloseExpiredAuxWindows() {
    switch (auxWindows_.TakeExpired()) {
    case AuxWindow::AboutBox:
        if (auxWindowsView_ != nullptr) auxWindowsView_->CloseAboutBox();
        return;
    case AuxWindow::ConfigScreen:
        if (configWindow_ != nullptr) configWindow_->CloseConfigScreen();
        return;
    case AuxWindow::None:
        return;
    }
}

} // namespace tarnix
