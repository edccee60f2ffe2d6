#include "slave/SlaveProgram.h"

#include <utility>

#include "common/link/Datagram.h"
#include "common/supervision/ShutType.h"

namespace tarnix {

SlaveProgram::SlaveProgram(std::string commandLine, const ProgramServices& services, DatagramPort& port)
    : ProgramBase(ProgramKind::Slave, std::move(commandLine), services), port_(port, SealSide::Slave),
      replyMessage_(Acknowledgement) {
    // Only the master may speak to a slave: anything else is dropped unseen.
    port_.SetArrivalHandler([this](const Arrival& arrival) {
        if (arrival.fromRemoteHost) {
            OnDatagram(arrival.datagram);
        } else {
            ++datagrams_.stranger;
        }
    });
}

void SlaveProgram::InitialiseProgram() {
    unconfigured_ = false;
    configSaved_ = false;
    ReadConfigurationAndLog();
    if (ending_) return;
    SealLink(port_, 0);
    auxWindows_.ResetCountdowns();
    if (!OpenPort()) {
        AskPortQuestion();
        return;
    }
    minimiseAllowed_ = true;
}

// Unlike the master, the slave keeps its timer running meanwhile.
void SlaveProgram::ReinitialiseAfterConfiguration() {
    InitialiseProgram();
    ResetSupervision();
    if (auto error = log_.CreateLogFile()) return Fatal(*error);
    WriteConfigUpdatedLog();
    RefreshWindowTexts();
    minimiseAllowed_ = false;
    auxWindows_.NoteClosed();
}

bool SlaveProgram::OpenPort() {
    port_.Close();
    silentTicks_ = 0;
    // An unconfigured slave has no master address yet; it still binds its receive port.
    const std::string& master = config_.MasterAddress();
    if (!master.empty() && !port_.SetRemoteHost(master)) return false;
    // Known from the start, so that a keyed link can answer before the first reply; a port the
    // replies could not use either is no reason to give up listening.
    (void)port_.SetRemotePort(config_.Port1);
    return port_.Bind(config_.Port2);
}

void SlaveProgram::OnTimerTick() {
    if (ending_) return;
    if (!heardSinceTick_) ++silentTicks_;
    heardSinceTick_ = false;
    RetryLostLog();
    WatchLink(port_, 0);
    if (!auxWindows_.AnyOpen() && !unconfigured_) RunSupervisionSecond();
    JudgeMasterLink();
    CloseExpiredAuxWindows();
    NotifyStatus();
}

// The loss check of the second just run: heard in Run, or silent in Run or in a countdown.
void SlaveProgram::JudgeMasterLink() {
    const SupervisionPhase phase = supervision_.Phase();
    if (phase == PhaseActivation || supervision_.TestRun()) return;
    JudgeLink(0, phase == PhaseRun && supervision_.PhaseCounter() == 0, "master", config_.MasterAddress());
}

void SlaveProgram::ShowConnectionError() {
    Hear(LinkState::DataError);
    Publish({.step = Step::LinkError});
}

bool SlaveProgram::MayAnswer() const {
    return supervision_.Phase() == PhaseRun ||
           (supervision_.Phase() == PhaseActivation && supervision_.PhaseCounter() == 1);
}

void SlaveProgram::OnDatagram(const std::optional<std::string>& datagram) {
    if (ending_) return;
    // A malformed datagram or a receive error leaves NothingHeard as it is: it must not cancel
    // a valid datagram of the same second, or a stray sender could make a slave with a perfect
    // link count down.
    if (!datagram) {
        ++datagrams_.malformed;
        ShowConnectionError();
        return;
    }
    if (IsWellFormed(*datagram)) {
        ++datagrams_.heard;
        silentTicks_ = 0;
        heardSinceTick_ = true;
        HandleWellFormed(*datagram);
    } else {
        ++datagrams_.malformed;
        ShowConnectionError();
        replyMessage_ = ErrorReply;
    }
    if (MayAnswer()) SendReply();
}

void SlaveProgram::HandleWellFormed(const std::string& datagram) {
    Hear(LinkState::Connected);
    if (supervision_.Phase() == PhaseRun) supervision_.Heard();
    if (IsResetCommand(datagram)) {
        ResetCommandFollows();
        ResetClick();
        SendReply();
    } else if (IsTestCommand(datagram)) {
        TestClick();
        SendReply();
    }
    replyMessage_ = StatusReply(ActionLetter(supervision_.ShutTypeName()), supervision_.Phase());
}

void SlaveProgram::SendReply() {
    const std::string& master = config_.MasterAddress();
    if (!master.empty()) port_.SetRemoteHost(master);
    port_.SetRemotePort(config_.Port1);
    port_.Reply(replyMessage_); // a lost answer shows on the master as a missing one
    ++datagrams_.sent;
}

void SlaveProgram::ResetClick() {
    NoteReset();
    LogAtNormal("Reset", supervision_.PhaseDetail());
    ResetProgram();
}

void SlaveProgram::ResetProgram() {
    BeginReset();
    ResetSupervision();
    RefreshWindowTexts();
    NotifyStatus();
}

void SlaveProgram::TestClick() {
    if (unconfigured_) return;
    ResetSupervision();
    EnterTestMode();
}

void SlaveProgram::RefreshProgramTexts() {
    replyMessage_ = Acknowledgement;
}

LogLineState SlaveProgram::CurrentLogState() const {
    return LogLineState{supervision_.TestRun(), supervision_.PhaseCounter(), CommsStatus()};
}

void SlaveProgram::Hear(LinkState link) {
    heard_ = link;
    heardIn_ = supervision_.ListeningSecond();
}

std::optional<LinkState> SlaveProgram::MasterLink() const {
    if (heardIn_ == supervision_.ListeningSecond()) return heard_;
    // Nothing heard since the machine started listening afresh: after a reset nothing is
    // expected yet; once it listens, the link has failed so far.
    if (supervision_.Listening()) return LinkState::Nothing;
    return std::nullopt;
}

std::string SlaveProgram::CommsStatus() const {
    const std::optional<LinkState> link = MasterLink();
    if (!link) return "....";
    switch (*link) {
    case LinkState::Connected:
        return "-OK-";
    case LinkState::DataError:
        return "Error";
    case LinkState::Nothing:
        break;
    }
    return "Fail";
}

void SlaveProgram::AddProgramStatus(ProgramStatus& status) const {
    status.masterLink = MasterLink();
    status.masterSilentSeconds =
        static_cast<std::int32_t>(silentTicks_ * static_cast<std::uint64_t>(SupervisionTickMs(kind_)) / 1000);
    status.datagrams = datagrams_;
    // An out-of-date echo is not counted as replayed: it is how a keyed link starts again after
    // either end restarted.
    status.datagrams.keyMismatch = port_.Dropped().keyMismatch;
    status.datagrams.replayed = port_.Dropped().replayed;
}

} // namespace tarnix
