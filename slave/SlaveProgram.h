#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/link/DatagramPort.h"
#include "common/program/ProgramBase.h"

namespace tarnix {

// The slave's logic: its load sequence, the 1000 ms supervision cycle over its one master, the
// answers to the master's datagrams, and Reset and Test, which the master can also command.
class SlaveProgram : public ProgramBase {
public:
    SlaveProgram(std::string commandLine, const ProgramServices& services, DatagramPort& port);

    void InitialiseProgram() override;
    // After the configuration screen saved: read the file again and restart supervision.
    void ReinitialiseAfterConfiguration() override;
    void OnDatagram(const std::optional<std::string>& datagram);
    void SendReply();

    void OnTimerTick() override;
    void ResetClick() override;
    void TestClick() override;
    void ResetProgram() override;

    const std::string& ReplyMessage() const { return replyMessage_; }
    // The link as the log shows it: "....", "-OK-", "Error" or "Fail".
    std::string CommsStatus() const;
    // The link to its master in the present stretch of listening: none after a reset until the
    // machine listens, nothing heard once it does, until a datagram says more.
    std::optional<LinkState> MasterLink() const;

private:
    LogLineState CurrentLogState() const override;
    void RefreshProgramTexts() override;
    bool OpenPort();
    void HandleWellFormed(const std::string& datagram);
    void ShowConnectionError();
    void JudgeMasterLink();
    bool MayAnswer() const;
    void AddProgramStatus(ProgramStatus& status) const override;
    void Hear(LinkState link);

    SealedPort port_; // over the socket the face gives
    std::string replyMessage_;
    LinkState heard_ = LinkState::Nothing; // what the last datagram showed
    std::uint32_t heardIn_ = 0;            // the machine's ListeningSecond when it came
    // Since the start, never reset; the keyed link's drops are its port's own.
    ProgramStatus::DatagramCounts datagrams_;
    // The ticks since the master's last valid datagram (or the port's opening) that had none in
    // their stretch, and whether one came since the last tick.
    std::uint32_t silentTicks_ = 0;
    bool heardSinceTick_ = false;
};

} // namespace tarnix
