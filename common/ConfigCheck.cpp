#include <cstddef>
#include <string>
#include <string_view>

#include "common/ConfigBoxes.h"
#include "common/ConfigFile.h"
#include "common/IPAddress.h"
#include "common/TextEncoding.h"

namespace tarnix {
namespace {

template <typename Int> bool Outside(Int value, int lowest, int highest) {
    return value < lowest || value > highest;
}

bool LengthOutside(const std::string& text, std::size_t shortest, std::size_t longest) {
    const std::size_t length = CharacterCount(text);
    return length < shortest || length > longest;
}

bool AddressOutOfRange(std::int16_t dName, const std::string& address) {
    if (dName == 1) return !address.empty() && !IsValidIPAddress(address);
    if (dName == 2) return CharacterCount(address) > MaxDomainName || IsStrictIPAddress(address);
    return false; // the address mode itself is counted
}

int CountViolations(ProgramKind kind, const ConfigRecord& r) {
    int count = 0;
    if (kind == ProgramKind::Master) {
        for (const std::string& name : r.CName)
            count += CharacterCount(name) > MaxComputerName;
        for (std::size_t k = 1; k <= RemoteComputerCount; ++k)
            count += AddressOutOfRange(r.DName, r.IPAdd[k]);
    } else {
        count += AddressOutOfRange(r.DName, r.IPAdd[0]);
    }
    count += r.DName != 1 && r.DName != 2;
    count += Outside(r.CPUDelay, 5, 600);
    count += Outside(r.LogLevel, 1, 3);
    count += LengthOutside(r.LogName, 8, 20);
    count += LengthOutside(r.LogPath, 2, 100);
    count += Outside(r.Port1, 1024, 65532);
    count += Outside(r.Port2, 1024, 65532);
    count += Outside(r.RunOnTop, 1, 2);
    count += Outside(r.ShutTime, 2, 600);
    count += Outside(r.StartMin, 1, 2);
    count += Outside(r.ShutType, 1, 6);
    count += Outside(r.StartDelay, 1, 3600);
    return count;
}

// A named remote computer needs an address. In IP mode that address must be a valid IP
// address; in domain-name mode any non-empty name will do (an address that passes the strict
// IP test there is already a range violation).
bool NoRemoteComputer(const ConfigRecord& r) {
    for (std::size_t k = 1; k <= RemoteComputerCount; ++k)
        if (!r.IPAdd[k].empty()) return false;
    return true;
}

bool MasterUnconfigured(const ConfigRecord& r) {
    if (r.CName[0].empty()) return true;
    // A master that polls nobody would hear nothing and power its computer off with no link
    // ever lost: it waits to be set up instead.
    if (NoRemoteComputer(r)) return true;
    for (std::size_t k = 1; k <= RemoteComputerCount; ++k) {
        if (r.CName[k].empty()) continue;
        const bool missing = r.DName == 2 ? r.IPAdd[k].empty() : !IsValidIPAddress(r.IPAdd[k]);
        if (missing) return true;
    }
    return false;
}

bool SlaveUnconfigured(const ConfigRecord& r) {
    const std::string& address = r.IPAdd[0];
    if (r.DName == 1) return !IsValidIPAddress(address);
    if (r.DName == 2)
        return address.empty() || CharacterCount(address) > MaxDomainName || IsStrictIPAddress(address);
    return false;
}

} // namespace

std::optional<FatalError> ValidateConfiguration(ProgramKind kind, ConfigRecord& record, bool& unconfigured) {
    if (record.LogPath.empty()) record.LogPath = "Log\\";
    const int violations = CountViolations(kind, record);
    if (kind == ProgramKind::Master ? MasterUnconfigured(record) : SlaveUnconfigured(record))
        unconfigured = true;
    if (violations != 0) return ConfigRangeBox();
    return std::nullopt;
}

} // namespace tarnix
