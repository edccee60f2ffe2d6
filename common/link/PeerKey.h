#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "common/config/ConfigRecord.h"
#include "common/program/MessageBox.h"

namespace tarnix {

// The secret a master and one slave share: 256 bits, written in a key file beside the
// configuration as one line of 64 hexadecimal digits. It is never logged or shown.
struct PeerKey {
    std::array<std::uint8_t, 32> bytes{};
};

// What a key file holds: nothing when there is no such file, else the key or why it cannot be
// used (a fault names the file and what is wrong, never the key).
struct KeyFileContents {
    std::optional<PeerKey> key;
    std::optional<std::string> fault;
};

// A key file's text as a key: 64 hexadecimal digits and at most a line end; nothing otherwise.
std::optional<PeerKey> KeyFromText(std::string text);

// Reads a key file. It must be a regular file that only its owner may read, holding 64
// hexadecimal digits and at most a line end.
KeyFileContents ReadKeyFile(const std::filesystem::path& file);

// The key file of a slave (Data/TarnixS.key), and of a master for remote computer k: its own
// Data/TarnixM<k>.key, or with k = 0 the one for every computer, Data/TarnixM.key.
std::filesystem::path SlaveKeyFile();
std::filesystem::path MasterKeyFile(int k);

// The keys a program holds for its links: link 0 is a slave's master, links 1..4 a master's
// remote computers.
class LinkKeys {
public:
    // Reads the program's key files afresh; a fault is the box that ends the program.
    std::optional<FatalError> Read(ProgramKind kind);
    const std::optional<PeerKey>& For(int link) const { return keys_.at(static_cast<std::size_t>(link)); }
    bool Keyed(int link) const { return For(link).has_value(); }

private:
    std::array<std::optional<PeerKey>, RemoteComputerCount + 1> keys_{};
};

// The box of a key file that cannot be used.
FatalError KeyFileBox(const std::string& fault);

} // namespace tarnix
