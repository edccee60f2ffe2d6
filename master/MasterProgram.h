#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "common/link/DatagramPort.h"
#include "common/program/ProgramBase.h"

namespace tarnix {

// The master's logic: its load sequence, the 500 ms supervision cycle with the status rows,
// the poll pass, the datagram handler, and Reset and Test, which also command the slaves.
class MasterProgram : public ProgramBase {
public:
    // ports[1..4] are the sockets of remote computers 1..4, ports[0] is unused.
    MasterProgram(std::string commandLine, const ProgramServices& services,
                  const std::array<DatagramPort*, RemoteComputerCount + 1>& ports);

    void InitialiseProgram() override;
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

    LinkState StatusOf(int i) const { return peerStatus_[static_cast<std::size_t>(i)]; }
    const std::string& PeerReply(int i) const { return peerReply_[static_cast<std::size_t>(i)]; }
    bool NetworkOK() const { return networkOK_; }
    const std::string& OutgoingMessage() const { return outgoingMessage_; }

private:
    LogLineState CurrentLogState() const override;
    void OpenLinks() override { OpenDatagramPorts(); }
    void ShowLinks() override { ShowPeerStatus(); }
    void AddProgramStatus(ProgramStatus& status) const override;
    bool Configured(int i) const { return !config_.IPAdd[static_cast<std::size_t>(i)].empty(); }
    bool OpenPort(int i);
    void Evaluate();
    void ClearRows(int firstRow);
    // Tells the links that were lost or came back at this evaluation.
    void JudgeRemoteLinks();
    // A reset clears the slaves' action letters and the " ---" marks of unconfigured rows.
    void ClearLetters(bool freshRows);

    // Over the sockets the face gives, [1..4]; none where the face gave none.
    std::array<std::unique_ptr<SealedPort>, RemoteComputerCount + 1> sealed_;
    // What was heard since the last evaluation.
    std::array<LinkState, RemoteComputerCount + 1> peerStatus_{};
    std::array<std::string, RemoteComputerCount + 1> peerReply_;
    // The last evaluation's judgement, for how things stand.
    std::array<std::optional<LinkState>, RemoteComputerCount + 1> judgedStatus_{};
    std::array<std::string, RemoteComputerCount + 1> judgedReply_;
    std::string outgoingMessage_;
    // Counts the ticks down to the next evaluation of the links, which runs when it reaches 1;
    // every tick, the evaluating one too, takes one off. Set to EvaluationTicks by an evaluation,
    // it evaluates every second 500 ms tick, once a second; the first comes at the second tick.
    static constexpr std::int16_t FirstEvaluationTicks = 2;
    static constexpr std::int16_t EvaluationTicks = 3;
    std::int16_t pollCounter_ = FirstEvaluationTicks;
    bool networkOK_ = true;
    // Since the start, never reset; the keyed links' drops are their ports' own.
    ProgramStatus::DatagramCounts datagrams_;
    // By computer: the ticks since its last valid datagram (or since its port was opened) that
    // had none in their stretch, and whether one came since the last tick.
    std::array<std::uint32_t, RemoteComputerCount + 1> silentTicks_{};
    std::array<bool, RemoteComputerCount + 1> heardSinceTick_{};
};

} // namespace tarnix
