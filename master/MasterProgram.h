#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "common/link/DatagramPort.h"
#include "common/program/ProgramBase.h"
#include "master/PeerRowsPresenter.h"

namespace tarnix {

// The master's logic: its load sequence, the 500 ms supervision cycle with the status rows,
// the poll pass, the datagram handler, and Reset and Test, which also command the slaves.
class MasterProgram : public ProgramBase {
public:
    // rows: the window's status rows (none without a window); ports[1..4] are the sockets of
    // remote computers 1..4, ports[0] is unused.
    MasterProgram(std::string commandLine, const ProgramServices& services, PeerRowsView* rows,
                  const std::array<DatagramPort*, RemoteComputerCount + 1>& ports);

    void Load() override;
    void InitialiseProgram();
    // After the configuration screen saved: read the file again and restart supervision.
    void ReinitialiseAfterConfiguration() override;
    void OpenDatagramPorts();
    void ShowPeerStatus();
    void PollPeers();
    void OnDatagram(int index, const std::optional<std::string>& datagram);

    void OnTimerTick() override;
    void ReadAllPorts();
    void ResetClick() override;
    void TestClick() override;
    void ResetProgram() override;

    PeerStatus StatusOf(int i) const { return peerStatus_[static_cast<std::size_t>(i)]; }
    const std::string& PeerReply(int i) const { return peerReply_[static_cast<std::size_t>(i)]; }
    bool NetworkOK() const { return networkOK_; }
    const std::string& OutgoingMessage() const { return outgoingMessage_; }

private:
    LogLineState CurrentLogState() const override;
    void AddProgramStatus(ProgramStatus& status) const override;
    bool Configured(int i) const { return !config_.IPAdd[static_cast<std::size_t>(i)].empty(); }
    bool OpenPort(int i);
    void Evaluate();
    void ClearRows(int firstRow);
    void ShowRemoteRow(int i);
    void ShowNetworkState(bool allSent);

    PeerRowsPresenter rows_;
    // Over the sockets the face gives, [1..4]; none where the face gave none.
    std::array<std::unique_ptr<SealedPort>, RemoteComputerCount + 1> sealed_;
    std::array<PeerStatus, RemoteComputerCount + 1> peerStatus_{};
    std::array<std::string, RemoteComputerCount + 1> peerReply_;
    // What the rows show since the last evaluation, for how things stand.
    std::array<std::optional<PeerStatus>, RemoteComputerCount + 1> shownStatus_{};
    std::array<std::string, RemoteComputerCount + 1> shownReply_;
    // A row's action column shows " ---" until a reset clears it, even once the computer is
    // configured; kept here because the logic never reads the window back.
    std::array<bool, RemoteComputerCount + 1> shutShowsNotConfigured_{};
    std::string outgoingMessage_;
    // Counts the ticks down to the next evaluation of the links, which runs when it reaches 1;
    // every tick, the evaluating one too, takes one off. Set to EvaluationTicks by an evaluation,
    // it evaluates every second 500 ms tick, once a second; the first comes at the second tick.
    static constexpr std::int16_t FirstEvaluationTicks = 2;
    static constexpr std::int16_t EvaluationTicks = 3;
    std::int16_t pollCounter_ = FirstEvaluationTicks;
    bool networkOK_ = true;
};

} // namespace tarnix
