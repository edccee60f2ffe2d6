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
    // Seconds without a valid datagram from it: since the last one, or since its port was opened
    // (start, configuration) while none came yet.
    std::int32_t silentSeconds = 0;
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
    // Where the resets came from: the window's button, the bus (tarnixctl, a window attached to
    // the service), the master's Reset command (a slave's).
    struct ResetSources {
        std::uint32_t button = 0, bus = 0, command = 0;
    } resetsBy;
    std::uint32_t countdowns = 0; // real countdowns started (a test run's are not)
    std::uint32_t actions = 0;    // power actions performed or simulated
    // The link's datagrams since the start: sent, heard (valid), and not heard by why.
    struct DatagramCounts {
        std::uint64_t sent = 0, heard = 0, malformed = 0, stranger = 0, keyMismatch = 0, replayed = 0;
        friend bool operator==(const DatagramCounts&, const DatagramCounts&) = default;
    } datagrams;
    std::array<RemoteComputerStatus, RemoteComputerCount> remote{}; // the master's computers 1..4
    std::string computerName;        // the master's name for this computer (CName of row 0)
    bool networkOK = true;           // the master's last poll pass could send every poll
    std::string masterLookupFailure; // a slave's: why its master's domain name has no address
    // A slave's link to its master in the present stretch of listening: none after a reset, until
    // the first loss check or datagram.
    std::optional<LinkState> masterLink;
    std::int32_t masterSilentSeconds = 0; // a slave's: as a remote computer's silentSeconds
};

// The part of how things stand that the supervision machine holds.
ProgramStatus SupervisionStatus(ProgramKind kind, const Supervision& machine, const ConfigRecord& config);

} // namespace tarnix
