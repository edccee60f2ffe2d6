#pragma once

#include <string>

#include "common/program/Journal.h"
#include "common/program/WatchdogBusNames.h"

namespace tarnix {

// Writes a message to every terminal someone is logged in at, as wall and shutdown do: the
// login records (utmp) name the terminals. A terminal that would make the write wait is
// skipped, so nobody's terminal can hold up supervision.
class TerminalWall final : public TerminalMessages {
public:
    // utmpFile: the login records to read; empty for the system's own. operatorGroup: whose
    // members besides root are told the operators' advice.
    explicit TerminalWall(std::string utmpFile = {}, std::string operatorGroup = WatchdogOperatorGroup);
    void Broadcast(const std::string& text) override;
    // The terminal's owner is its user: login and sshd give the terminal to whoever logs in.
    void Warn(const std::string& text, const std::string& forOperators,
              const std::string& forOthers) override;

private:
    void Write(const std::string& text, const std::string* forOperators, const std::string* forOthers);

    std::string utmpFile_;
    std::string operatorGroup_;
};

} // namespace tarnix
