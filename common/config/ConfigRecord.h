#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace tarnix {

enum class ProgramKind { Master, Slave };

inline constexpr const char* ProgramVersion = "4.2";

// The master watches up to four remote computers, numbered 1 to 4 in its settings.
inline constexpr int RemoteComputerCount = 4;

// The longest computer name and domain name, in characters.
inline constexpr std::size_t MaxComputerName = 25;
inline constexpr std::size_t MaxDomainName = 100;

// Where the reader found a key, so that a refused value can be pointed at in the file.
struct KeySource {
    std::int64_t line = 0; // counted from 1
    std::string text;      // the value as written after "="
};

// The settings of one program, each field named after its key in the configuration file.
struct ConfigRecord {
    std::int16_t DName = 0;                                 // 1 = IP addresses, 2 = domain names
    std::array<std::string, RemoteComputerCount + 1> CName; // master: [0] this computer, [1..4] remote ones
    std::array<std::string, RemoteComputerCount + 1>
        IPAdd;                 // master: [1..4] remote ones; slave: [0] its master
    std::int32_t Port1 = 0;    // port on the other computer that datagrams go to
    std::int32_t Port2 = 0;    // local receive port (master: Port2 + i - 1 for computer i)
    std::int16_t CPUDelay = 0; // seconds of silence before the countdown
    std::int16_t LogLevel = 0; // 1 None, 2 Normal, 3 Full
    std::string LogName;
    std::string LogPath;         // ends in "\"; relative to the working folder
    std::int16_t RunOnTop = 0;   // 1 normal, 2 on top
    std::int16_t StartDelay = 0; // activation delay in seconds
    std::int16_t StartMin = 0;   // 1 shown, 2 start in the tray
    std::int16_t ShutTime = 0;   // countdown length in seconds
    std::int16_t ShutType = 0;   // power action code 1..6

    // The keys the last read met, by name; a repeated key keeps the line whose value is in force.
    // Initialised so that a record written field by field may leave it out without a warning.
    std::map<std::string, KeySource, std::less<>> readFrom = {};

    // The slave's one address (its master).
    const std::string& MasterAddress() const { return IPAdd[0]; }
};

} // namespace tarnix
