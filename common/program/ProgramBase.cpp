#include "common/program/ProgramBase.h"

#include <algorithm>

#include "common/base/CommandLine.h"
#include "common/config/ConfigFile.h"
#include "common/config/ConfigQueries.h"

namespace tarnix {

ProgramBase::ProgramBase(ProgramKind kind, std::string commandLine, const ProgramServices& services)
    : kind_(kind), commandLine_(std::move(commandLine)), timer_(services.timer), boxes_(services.boxes),
      clock_(services.clock), control_(services.control), statusObserver_(services.statusObserver),
      sealing_(services.sealing), events_(services.events), programTitle_(ProgramTitleOf(kind)),
      log_(kind, config_, services.clock), runningLog_(log_, services.clock),
      steps_([this] { HoldTicks(); }, services.statusObserver, [this] { return Status(); }),
      supervision_(config_, steps_, *this), expiry_(
                                                programTitle_, config_, [this] { HoldTicks(); },
                                                services.boxes, services.power, supervision_, *this) {}

// The master reads its files before it raises its priority, the slave after.
void ProgramBase::Load() {
    if (kind_ == ProgramKind::Master) InitialiseProgram();
    Publish({.step = Step::Loading});
    supervision_.SetInhibitShutdown(InhibitShutdownSwitch());
    control_.RaisePriority();
    if (kind_ == ProgramKind::Slave) InitialiseProgram();
    ResetSupervision();
    OpenLinks();
    WriteStartUpLog();
    RefreshWindowTexts();
    ShowLinks();
    Publish({.step = Step::Loaded});
    StartGuarding();
}

bool ProgramBase::InhibitShutdownSwitch() const {
    return InhibitShutdownGiven(commandLine_);
}

void ProgramBase::Fatal(const FatalError& error, ProgramEnd end) {
    // Until the box is closed and the program ends, nothing may bring supervision back: no
    // datagram is handled and no tick runs.
    ending_ = true;
    HoldTicks();
    boxes_.Show(programTitle_ + error.titleSuffix, error.lines, error.icon, BoxButtons::Ok);
    End(end);
}

void ProgramBase::End(ProgramEnd end) {
    Publish({.step = Step::Ending});
    control_.EndProgram(end);
}

void ProgramBase::HoldTicks() {
    timer_.SetTimerEnabled(false);
}

void ProgramBase::ResetSupervision() {
    supervision_.ResetSupervision();
}

ProgramStatus ProgramBase::Status() const {
    ProgramStatus status = SupervisionStatus(kind_, supervision_, config_);
    status.unconfigured = unconfigured_;
    status.resets = resets_;
    status.tests = tests_;
    status.resetsBy = resetsBy_;
    status.countdowns = countdowns_;
    status.actions = actions_;
    AddProgramStatus(status);
    status.masterLookupFailure = kind_ == ProgramKind::Slave ? lookupFailures_[0] : std::string();
    for (std::size_t i = 0; kind_ == ProgramKind::Master && i < status.remote.size(); ++i)
        status.remote[i].lookupFailure = lookupFailures_[i + 1];
    return status;
}

void ProgramBase::RunSupervisionSecond() {
    const SupervisionPhase before = supervision_.Phase();
    try {
        const SecondOutcome outcome = supervision_.RunPhaseOperations();
        TellPhaseEvents(before);
        switch (outcome) {
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

void ProgramBase::TellPhaseEvents(SupervisionPhase before) {
    const SupervisionPhase now = supervision_.Phase();
    if (before == PhaseActivation && now == PhaseRun) Emit("run");
    if (before == PhaseCountdown || now != PhaseCountdown || supervision_.TestRun()) return;
    ++countdowns_;
    Emit("countdown",
         {{"action", supervision_.ShutTypeName()}, {"time_left", std::to_string(supervision_.TimeLeft())}});
}

bool ProgramBase::ResumeCountdown(int secondsLeft) {
    if (unconfigured_ || ending_) return false;
    supervision_.ResumeCountdown(static_cast<std::int16_t>(std::min(secondsLeft, 0x7fff)));
    ++countdowns_;
    Emit("countdown", {{"action", supervision_.ShutTypeName()},
                       {"time_left", std::to_string(supervision_.TimeLeft())},
                       {"resumed", "1"}});
    LogAtNormal("Resume", supervision_.ShutTypeName());
    NotifyStatus();
    return true;
}

void ProgramBase::EndTestRun() {
    Emit("test-end", {{"action", supervision_.ShutTypeName()}});
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
    ++actions_;
    Emit("action", {{"action", supervision_.ShutTypeName()},
                    {"simulated", supervision_.InhibitShutdown() ? "1" : "0"}});
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

// A note, not an event line: the detail column would cut the user's name.
void ProgramBase::PressedBy(const std::string& button, const std::string& who) {
    if (LogsNormal(config_)) AppendToLog(log_.FormatNote("Bus", button + " pressed by " + who));
    if (button != "Reset") return;
    resetSource_ = ResetSource::Bus;
    resetBy_ = who;
}

void ProgramBase::LogHookLine(const std::string& line, bool failure) {
    if (failure ? LogsNormal(config_) : LogsFull(config_)) AppendToLog(log_.FormatNote("Hook", line));
}

void ProgramBase::NoteReset() {
    ++resets_;
    const ResetSource source = std::exchange(resetSource_, ResetSource::Button);
    std::string by = std::exchange(resetBy_, {});
    switch (source) {
    case ResetSource::Button:
        ++resetsBy_.button;
        by = "button";
        break;
    case ResetSource::Bus:
        ++resetsBy_.bus;
        break;
    case ResetSource::Command:
        ++resetsBy_.command;
        by = "master";
        break;
    }
    if (supervision_.Phase() == PhaseCountdown && !supervision_.TestRun()) Emit("cancelled", {{"by", by}});
}

void ProgramBase::Emit(std::string name, std::vector<std::pair<std::string, std::string>> details) {
    events_.Emit(WatchdogEvent{.sequence = ++eventSequence_,
                               .name = std::move(name),
                               .program = kind_,
                               .testRun = supervision_.TestRun(),
                               .details = std::move(details)});
}

void ProgramBase::JudgeLink(int link, bool up, const std::string& peer, const std::string& address) {
    const auto index = static_cast<std::size_t>(link);
    const std::optional<bool> was = std::exchange(linkUp_[index], up);
    if (!was || *was == up) return;
    if (!up) {
        linkLostTold_[index] = true;
        return Emit("link-lost", {{"peer", peer}, {"peer_address", address}});
    }
    if (std::exchange(linkLostTold_[index], false))
        Emit("link-back", {{"peer", peer}, {"peer_address", address}});
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
    BoxText box = WithoutTerminationLine(error);
    std::string reason;
    for (const std::string& line : box.lines)
        reason += (reason.empty() ? "" : " ") + line;
    Emit("log-lost", {{"reason", reason}});
    box.lines.push_back("Supervision goes on. The log is tried again every second.");
    boxes_.Notify(programTitle_ + box.titleSuffix, box.lines, box.icon);
}

void ProgramBase::StartGuarding() {
    guarding_ = !ending_;
    NotifyStatus();
}

void ProgramBase::NotifyStatus() {
    statusObserver_.StatusChanged(Status());
}

void ProgramBase::Publish(StatusStep step) {
    if (statusObserver_.TakesSteps()) statusObserver_.StepTaken(step, Status());
}

void ProgramBase::RetryLostLog() {
    if (!guarding_ || !runningLog_.Lost()) return;
    runningLog_.RetryKeptLines(CurrentLogState());
    if (!runningLog_.Lost()) Emit("log-back");
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
    if (answer == BoxAnswer::Yes) return End(ProgramEnd::Failed);
    unconfigured_ = true;
}

void ProgramBase::RefreshWindowTexts() {
    Publish({.step = Step::TextsRefreshed, .mayMinimise = minimiseAllowed_});
    minimiseAllowed_ = true;
    if (!unconfigured_) LogAtNormal("Start", "Initialise");
    RefreshProgramTexts();
    timer_.SetTimerEnabled(true); // the one place ticks start
}

void ProgramBase::EndProgram() {
    End(ProgramEnd::Failed);
}

void ProgramBase::BeginReset() {
    const bool countingDown = supervision_.Phase() == PhaseCountdown;
    if (countingDown) Publish({.step = Step::ResetBegins});
    // Only the cancelling of a real countdown lets the refresh send the window back to the tray.
    minimiseAllowed_ = countingDown && !supervision_.TestRun() && !supervision_.InhibitShutdown();
}

void ProgramBase::EnterTestMode() {
    ++tests_;
    supervision_.StartTestRun();
    Emit("test-start", {{"action", supervision_.ShutTypeName()}});
    minimiseAllowed_ = false; // a test never moves the window
    LogAtNormal("Enter", "Test");
    RefreshWindowTexts();
    Publish({.step = Step::TestModeEntered});
    NotifyStatus();
}

void ProgramBase::OpenAboutBox(AuxWindowsView& view) {
    auxWindows_.NoteOpened();
    view.OpenAboutBox(supervision_.InhibitShutdown(), RunsOnTop(config_), auxWindows_);
}

void ProgramBase::OnWindowClosing() {
    HoldTicks();
    if (!unconfigured_ && LogsNormal(config_)) Log("Exit", supervision_.PhaseDetail());
    End(ProgramEnd::Closed);
}

void ProgramBase::OnTerminationSignal() {
    // A logout or kill must end the program even under an open box, and a log that fails now
    // must not ask anything: the exit line is written where the log still works.
    HoldTicks();
    if (!ending_ && !unconfigured_ && supervision_.LogNormal())
        (void)log_.WriteLogLine("Exit", supervision_.PhaseDetail(), CurrentLogState());
    ending_ = true;
    End(ProgramEnd::Closed);
}

void ProgramBase::CloseExpiredAuxWindows() {
    const AuxWindow expired = auxWindows_.TakeExpired();
    if (expired != AuxWindow::None) Publish({.step = Step::AuxWindowExpired, .expired = expired});
}

} // namespace tarnix
