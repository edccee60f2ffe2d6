#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/ConfigBoxes.h"
#include "common/ConfigFaults.h"
#include "common/ConfigFile.h"
#include "common/IPAddress.h"
#include "common/LenientNumber.h"
#include "common/TextEncoding.h"

namespace tarnix {
namespace {

// Every value the check refuses, so that the box can name the one a person meets first.
class Faults {
public:
    explicit Faults(const ConfigRecord& record) : record_(record) {}

    void Add(std::string_view key, const std::string& what) {
        const KeySource* source = SourceOf(record_, key);
        found_.push_back({source != nullptr ? source->line : 0, KeyAndLine(record_, key) + " " + what});
    }

    // Someone mends a file from the top; values that came from no file come last.
    std::optional<std::string> First() const {
        const auto earlier = [](const Fault& a, const Fault& b) {
            return a.line != 0 && (b.line == 0 || a.line < b.line);
        };
        const auto first = std::min_element(found_.begin(), found_.end(), earlier);
        if (first == found_.end()) return std::nullopt;
        return first->text;
    }

    const ConfigRecord& Record() const { return record_; }

private:
    struct Fault {
        std::int64_t line;
        std::string text;
    };
    const ConfigRecord& record_;
    std::vector<Fault> found_;
};

template <typename Int> void CheckNumber(Faults& faults, std::string_view key, Int value) {
    const NumberLimits limits = LimitsOf(key);
    if (value >= limits.lowest && value <= limits.highest) return;
    // Text with no number reads as 0, which no number key allows.
    const KeySource* source = SourceOf(faults.Record(), key);
    const bool number = source == nullptr || HasLeadingNumber(source->text);
    faults.Add(key, (number ? "is " + std::to_string(value) : std::string("is not a number")) + "; " +
                        MustBeText(limits));
}

void CheckLength(Faults& faults, std::string_view key, const std::string& text, std::size_t shortest,
                 std::size_t longest) {
    const std::size_t length = CharacterCount(text);
    if (length < shortest) faults.Add(key, "is shorter than " + std::to_string(shortest) + " characters");
    if (length > longest) faults.Add(key, "is longer than " + std::to_string(longest) + " characters");
}

// Only blanks are trimmed from the line, so one after "=" stays in the address.
void CheckAddress(Faults& faults, std::string_view key, std::int16_t dName, const std::string& address) {
    if (dName == 1 && !address.empty() && !IsValidIPAddress(address)) {
        const std::size_t blank = address.find(' ');
        faults.Add(key, blank == 0                   ? "begins with a blank"
                        : blank != std::string::npos ? "contains a blank"
                                                     : "is not a valid IP address");
    } else if (dName == 2 && CharacterCount(address) > MaxDomainName) {
        faults.Add(key, "is longer than " + std::to_string(MaxDomainName) + " characters");
    } else if (dName == 2 && IsStrictIPAddress(address)) {
        faults.Add(key, "is an IP address, but DName=2 asks for a domain name");
    }
    // Any other address mode is itself the fault.
}

void CheckRanges(ProgramKind kind, const ConfigRecord& r, Faults& faults) {
    if (kind == ProgramKind::Master) {
        for (std::size_t k = 0; k < r.CName.size(); ++k)
            CheckLength(faults, "CName" + std::to_string(k), r.CName[k], 0, MaxComputerName);
        for (std::size_t k = 1; k <= RemoteComputerCount; ++k)
            CheckAddress(faults, "IPAdd" + std::to_string(k), r.DName, r.IPAdd[k]);
    } else {
        CheckAddress(faults, "IPAdd", r.DName, r.IPAdd[0]);
    }
    CheckNumber(faults, "DName", r.DName);
    CheckNumber(faults, "CPUDelay", r.CPUDelay);
    CheckNumber(faults, "LogLevel", r.LogLevel);
    CheckLength(faults, "LogName", r.LogName, 8, 20);
    CheckLength(faults, "LogPath", r.LogPath, 2, 100);
    CheckNumber(faults, "Port1", r.Port1);
    CheckNumber(faults, "Port2", r.Port2);
    CheckNumber(faults, "RunOnTop", r.RunOnTop);
    CheckNumber(faults, "ShutTime", r.ShutTime);
    CheckNumber(faults, "StartMin", r.StartMin);
    CheckNumber(faults, "ShutType", r.ShutType);
    CheckNumber(faults, "StartDelay", r.StartDelay);
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
    Faults faults(record);
    CheckRanges(kind, record, faults);
    if (kind == ProgramKind::Master ? MasterUnconfigured(record) : SlaveUnconfigured(record))
        unconfigured = true;
    if (auto fault = faults.First()) return WithFault(ConfigRangeBox(), std::move(*fault));
    return std::nullopt;
}

} // namespace tarnix
