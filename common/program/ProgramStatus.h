#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "common/config/ConfigRecord.h"
#include "common/supervision/Supervision.h"

namespace tarnix {

// How a link stood at its last judgement: nothing valid heard, only malformed datagrams, or a
// valid one. The numbers are the ones the master's log shows.
enum class LinkState : std::int16_t { Nothing = 0, DataError = 1, Connected = 2 };

// "Not Connected", "Data Error", "Connected": how the journal, the bus and tarnixctl name it.
std::string LinkWord(LinkState link);
std::optional<LinkState> LinkFromWord(const std::string& word);

// One remote computer of a master as its status row shows it.
struct RemoteComputerStatus {
    bool configured = false;
    std::string name;              // CName, empty when none is set
    std::string address;           // IPAdd
    std::optional<LinkState> link; // none before the first evaluation
    std::string letter;            // the slave's action letter, with "**" while it counts down
    std::string lookupFailure;     // why its domain name has no address, while it has none
};

// How things stand, in plain values: what every face of a program (its window, its journal
// lines, a status command) renders. Only the program logic fills it.
struct ProgramStatus {
    ProgramKind kind = ProgramKind::Master;
    SupervisionPhase phase = PhaseActivation;
    std::int16_t count = 0; // the phase's counter: activation seconds left, silent seconds, countdown seconds
    std::int16_t timeLeft = 0; // seconds left of the countdown
    std::int16_t lostCommsLimit = 0;
    std::string action; // ShutTypeName
    bool monitorOnly = false;
    bool testRun = false;
    bool unconfigured = false;
    std::uint32_t resets = 0; // Reset pressed or commanded, counted since the start
    std::uint32_t tests = 0;  // Test likewise
    std::array<RemoteComputerStatus, RemoteComputerCount> remote{}; // the master's computers 1..4
    std::string computerName;        // the master's name for this computer (CName of row 0)
    bool networkOK = true;           // the master's last poll pass could send every poll
    std::string masterLookupFailure; // a slave's: why its master's domain name has no address
    // A slave's link to its master in the present stretch of listening: none after a reset, until
    // the first loss check or datagram.
    std::optional<LinkState> masterLink;
};

// The part of how things stand that the supervision machine holds.
ProgramStatus SupervisionStatus(ProgramKind kind, const Supervision& machine, const ConfigRecord& config);

} // namespace tarnix
