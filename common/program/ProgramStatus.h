#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "common/config/ConfigRecord.h"
#include "common/supervision/Supervision.h"

namespace tarnix {

// One remote computer of a master as its status row shows it.
struct RemoteComputerStatus {
    bool configured = false;
    std::string name;    // CName, empty when none is set
    std::string address; // IPAdd
    std::string status;  // "Connected", "Not Connected", "Data Error", or empty before the first evaluation
    std::string letter;  // the slave's action letter, with "**" while it counts down
    std::string lookupFailure; // why its domain name has no address, while it has none
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
    std::string masterLookupFailure; // a slave's: why its master's domain name has no address
};

// The part of how things stand that the supervision machine holds.
ProgramStatus SupervisionStatus(ProgramKind kind, const Supervision& machine, const ConfigRecord& config);

} // namespace tarnix
