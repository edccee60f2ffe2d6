#include "master/MasterProgram.h"

#include "common/config/ConfigQueries.h"
#include "common/link/Datagram.h"
#include "common/supervision/ShutType.h"

namespace tarnix {

MasterProgram::MasterProgram(std::string commandLine, const ProgramServices& services,
                             const std::array<DatagramPort*, RemoteComputerCount + 1>& ports)
    : ProgramBase(ProgramKind::Master, std::move(commandLine), services), outgoingMessage_(PollMessage) {
    for (int i = 1; i <= RemoteComputerCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        if (ports[index] == nullptr) continue;
        sealed_[index] = std::make_unique<SealedPort>(*ports[index], SealSide::Master);
        // Only remote computer i may speak on its socket: anything else is dropped unseen.
        sealed_[index]->SetArrivalHandler([this, i](const Arrival& arrival) {
            if (arrival.fromRemoteHost) {
                OnDatagram(i, arrival.datagram);
            } else {
                ++datagrams_.stranger;
            }
        });
    }
}

void MasterProgram::InitialiseProgram() {
    unconfigured_ = false;
    auxWindows_.NoteClosed();
    configSaved_ = false;
    ReadConfigurationAndLog();
    if (ending_) return;
    for (int i = 1; i <= RemoteComputerCount; ++i)
        if (SealedPort* port = sealed_[static_cast<std::size_t>(i)].get()) SealLink(*port, i);
    pollCounter_ = FirstEvaluationTicks;
    auxWindows_.ResetCountdowns();
    networkOK_ = true;
    minimiseAllowed_ = true;
}

void MasterProgram::ReinitialiseAfterConfiguration() {
    HoldTicks();
    InitialiseProgram();
    ResetSupervision();
    if (auto error = log_.CreateLogFile()) return Fatal(*error);
    OpenDatagramPorts();
    if (LogsNormal(config_) && !LogsFull(config_)) Log("", ""); // at Normal only
    WriteConfigUpdatedLog();
    RefreshWindowTexts();
    minimiseAllowed_ = false;
    if (unconfigured_) return;
    ClearLetters(false);
    ShowPeerStatus();
}

void MasterProgram::ClearRows(int firstRow) {
    for (int row = firstRow; row <= RemoteComputerCount; ++row) {
        peerReply_[static_cast<std::size_t>(row)].clear();
        judgedStatus_[static_cast<std::size_t>(row)].reset();
        judgedReply_[static_cast<std::size_t>(row)].clear();
    }
    Publish({.step = Step::RowsCleared, .firstRow = firstRow});
}

void MasterProgram::ClearLetters(bool freshRows) {
    Publish({.step = Step::LettersCleared, .freshRows = freshRows});
}

bool MasterProgram::OpenPort(int i) {
    DatagramPort* port = sealed_[static_cast<std::size_t>(i)].get();
    if (port == nullptr) return false;
    port->Close();
    return port->SetRemoteHost(config_.IPAdd[static_cast<std::size_t>(i)]) &&
           port->SetRemotePort(config_.Port1) && port->Bind(config_.Port2 + i - 1);
}

void MasterProgram::OpenDatagramPorts() {
    ClearRows(0);
    Publish({.step = Step::LinksCleared});
    outgoingMessage_ = PollMessage;
    silentTicks_.fill(0);
    for (int i = 1; i <= RemoteComputerCount; ++i) {
        if (!Configured(i)) continue;
        peerStatus_[static_cast<std::size_t>(i)] = LinkState::Nothing;
        if (!OpenPort(i)) {
            // The question always names Port2, whichever socket failed.
            AskPortQuestion();
            return;
        }
    }
}

// The master judges its links from what arrived between two evaluations, so its sockets need not
// wake it for every reply: each tick first reads what every socket holds.
void MasterProgram::OnTimerTick() {
    ReadAllPorts();
    if (ending_) return;
    for (std::size_t i = 0; i < silentTicks_.size(); ++i) {
        if (!heardSinceTick_[i]) ++silentTicks_[i];
        heardSinceTick_[i] = false;
    }
    for (int i = 1; i <= RemoteComputerCount; ++i)
        if (SealedPort* port = sealed_[static_cast<std::size_t>(i)].get()) WatchLink(*port, i);
    if (pollCounter_ == 1) Evaluate();
    --pollCounter_;
    const bool lastActivationSecond =
        supervision_.Phase() == PhaseActivation && supervision_.PhaseCounter() == 1;
    if (!unconfigured_ && (supervision_.Phase() == PhaseRun || lastActivationSecond)) PollPeers();
    NotifyStatus();
}

void MasterProgram::ReadAllPorts() {
    for (int i = 1; i <= RemoteComputerCount; ++i)
        if (DatagramPort* port = sealed_[static_cast<std::size_t>(i)].get()) port->ReadArrived();
}

void MasterProgram::Evaluate() {
    RetryLostLog();
    ShowPeerStatus();
    JudgeRemoteLinks();
    if (!auxWindows_.AnyOpen() && !unconfigured_) RunSupervisionSecond();
    CloseExpiredAuxWindows();
    pollCounter_ = EvaluationTicks;
    for (int i = 1; i <= RemoteComputerCount; ++i) {
        peerReply_[static_cast<std::size_t>(i)].clear();
        peerStatus_[static_cast<std::size_t>(i)] = LinkState::Nothing;
    }
}

// The rows show the links as judged now; during the activation delay nothing is judged yet.
void MasterProgram::ShowPeerStatus() {
    for (int i = 1; i <= RemoteComputerCount && supervision_.Phase() != PhaseActivation; ++i) {
        const auto index = static_cast<std::size_t>(i);
        if (config_.CName[index].empty() && config_.IPAdd[index].empty()) continue;
        judgedStatus_[index] = peerStatus_[index];
        judgedReply_[index] = peerReply_[index];
    }
    Publish({.step = Step::RowsShown});
}

void MasterProgram::JudgeRemoteLinks() {
    if (supervision_.Phase() == PhaseActivation || supervision_.TestRun() || unconfigured_) return;
    for (int i = 1; i <= RemoteComputerCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        if (Configured(i))
            JudgeLink(i, judgedStatus_[index] == LinkState::Connected, PeerName(i), config_.IPAdd[index]);
    }
}

void MasterProgram::PollPeers() {
    // A send that fails for one computer must not starve the computers after it of their
    // polls: they would lose the link and power themselves off.
    bool allSent = true;
    for (int i = 1; i <= RemoteComputerCount; ++i) {
        if (!Configured(i)) continue;
        DatagramPort* port = sealed_[static_cast<std::size_t>(i)].get();
        if (port != nullptr && port->Send(outgoingMessage_)) {
            ++datagrams_.sent;
        } else {
            allSent = false;
        }
    }
    networkOK_ = allSent;
    Publish({.step = Step::NetworkShown});
    outgoingMessage_ = PollMessage;
}

void MasterProgram::OnDatagram(int index, const std::optional<std::string>& datagram) {
    if (index < 1 || index > RemoteComputerCount) return;
    const auto i = static_cast<std::size_t>(index);
    if (ending_) return;
    // A malformed datagram or a receive error leaves NothingHeard as it is: it must not cancel a
    // valid reply of the same second, or a stray sender could make a master with a perfect link
    // count down.
    if (!datagram) {
        ++datagrams_.malformed;
        peerStatus_[i] = LinkState::Nothing;
        return;
    }
    if (IsWellFormed(*datagram)) {
        ++datagrams_.heard;
        silentTicks_[i] = 0;
        heardSinceTick_[i] = true;
        supervision_.Heard();
        peerStatus_[i] = LinkState::Connected;
        peerReply_[i] = std::string(1, TypeLetter(*datagram));
        if (StateDigitValue(*datagram) == 2) peerReply_[i] += "**";
        return;
    }
    ++datagrams_.malformed;
    peerStatus_[i] = LinkState::DataError;
}

void MasterProgram::ResetClick() {
    NoteReset();
    LogAtNormal("Reset", supervision_.PhaseDetail());
    ResetProgram();
    outgoingMessage_ = ResetCommand;
    PollPeers();
}

void MasterProgram::ResetProgram() {
    BeginReset();
    ClearLetters(true);
    ResetSupervision();
    ClearRows(0);
    Publish({.step = Step::LinksCleared});
    RefreshWindowTexts();
    ShowPeerStatus();
    NotifyStatus();
}

void MasterProgram::TestClick() {
    if (unconfigured_) return;
    ResetSupervision();
    ClearLetters(true);
    ClearRows(1);
    ShowPeerStatus();
    EnterTestMode();
    outgoingMessage_ = TestCommand;
    PollPeers();
}

void MasterProgram::AddProgramStatus(ProgramStatus& status) const {
    for (int i = 1; i <= RemoteComputerCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        RemoteComputerStatus& remote = status.remote[index - 1];
        remote.configured = Configured(i);
        remote.name = config_.CName[index];
        remote.address = config_.IPAdd[index];
        remote.link = judgedStatus_[index];
        remote.letter = judgedReply_[index];
        remote.silentSeconds = static_cast<std::int32_t>(
            silentTicks_[index] * static_cast<std::uint64_t>(SupervisionTickMs(kind_)) / 1000);
    }
    status.computerName = config_.CName[0];
    status.networkOK = networkOK_;
    status.datagrams = datagrams_;
    for (const auto& port : sealed_) {
        if (port == nullptr) continue;
        // An out-of-date echo is not counted as replayed: it is how a keyed link starts again
        // after either end restarted.
        status.datagrams.keyMismatch += port->Dropped().keyMismatch;
        status.datagrams.replayed += port->Dropped().replayed;
    }
}

LogLineState MasterProgram::CurrentLogState() const {
    // The log shows each computer's status as its number.
    std::array<std::int16_t, RemoteComputerCount + 1> numbers{};
    for (std::size_t i = 0; i < numbers.size(); ++i)
        numbers[i] = static_cast<std::int16_t>(peerStatus_[i]);
    return LogLineState{supervision_.TestRun(), supervision_.PhaseCounter(),
                        MasterCommsText(numbers, networkOK_)};
}

} // namespace tarnix
