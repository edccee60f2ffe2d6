#pragma once

#include <optional>
#include <string>

#include "common/program/ProgramStatus.h"

namespace tarnix {

// "Activation", "Run" or "Countdown": how the bus and tarnixctl name a phase.
std::string PhaseWord(SupervisionPhase phase);
std::optional<SupervisionPhase> PhaseFromWord(const std::string& word);
// "master" or "slave".
std::string ProgramWord(ProgramKind kind);
std::optional<ProgramKind> ProgramFromWord(const std::string& word);

// A remote computer's row as the master's window shows it: the name, else the address, else
// " ---" in every box.
struct RemoteComputerRow {
    std::string computer;
    std::string status;
    std::string letter;
};
RemoteComputerRow RowOf(const RemoteComputerStatus& remote);

// How things stand for a reader outside the program: a short readable text with a table of the
// master's computers, or one JSON object with the same facts. The service answers Status() with
// the JSON, and tarnixctl prints one or the other.
class StatusReport {
public:
    explicit StatusReport(const ProgramStatus& status) : status_(status) {}

    std::string Text() const;
    std::string Json() const;

private:
    ProgramStatus status_;
};

} // namespace tarnix
