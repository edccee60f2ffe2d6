#pragma once

#include <string>

#include "common/program/Journal.h"

namespace tarnix {

// Writes a message to every terminal someone is logged in at, as wall and shutdown do: the
// login records (utmp) name the terminals. A terminal that would make the write wait is
// skipped, so nobody's terminal can hold up supervision.
class TerminalWall final : public TerminalMessages {
public:
    // utmpFile: the login records to read; empty for the system's own.
    explicit TerminalWall(std::string utmpFile = {});
    void Broadcast(const std::string& text) override;

private:
    std::string utmpFile_;
};

} // namespace tarnix
