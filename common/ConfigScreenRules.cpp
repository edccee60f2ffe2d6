#include "common/ConfigScreenRules.h"

#include <array>
#include <string_view>
#include <system_error>

#include "common/IPAddress.h"
#include "common/LenientNumber.h"
#include "common/ShutType.h"
#include "common/TextEncoding.h"

namespace tarnix {
namespace {

bool LengthOutside(const std::string& text, std::size_t shortest, std::size_t longest) {
    const std::size_t length = CharacterCount(text);
    return length < shortest || length > longest;
}

// Fractions are compared as typed: 4.5 is below 5, 5.5 is not (the reader later rounds it).
bool NumberOutside(const std::string& text, double lowest, double highest) {
    const double value = LeadingNumber(text);
    return !(value >= lowest && value <= highest);
}

constexpr std::array<ConfigLabel, 5> RowLabels = {ConfigLabel::IPAddM0, ConfigLabel::IPAddM1,
                                                  ConfigLabel::IPAddM2, ConfigLabel::IPAddM3,
                                                  ConfigLabel::IPAddM4};

class Tally {
public:
    template <typename... Labels> void Count(bool broken, Labels... labels) {
        if (!broken) return;
        ++check_.violations;
        (check_.highlighted.push_back(labels), ...);
    }
    FieldCheck Take() { return std::move(check_); }

private:
    FieldCheck check_;
};

void CheckMasterTable(const ConfigScreenValues& f, Tally& tally) {
    for (std::size_t k = 1; k <= RemoteComputerCount; ++k) {
        const std::string& address = f.IPAdd[k];
        const bool wrong = f.DomainNames
                               ? CharacterCount(address) > MaxDomainName || IsStrictIPAddress(address)
                               : !address.empty() && !IsValidIPAddress(address);
        tally.Count(wrong, RowLabels[k], ConfigLabel::IPAddL);
    }
    tally.Count(f.CName[0].empty() || CharacterCount(f.CName[0]) > MaxComputerName, ConfigLabel::IPAddM0,
                ConfigLabel::CompL);
    for (std::size_t k = 1; k <= RemoteComputerCount; ++k)
        tally.Count(CharacterCount(f.CName[k]) > MaxComputerName, RowLabels[k], ConfigLabel::CompL);
}

void CheckSlaveAddress(const ConfigScreenValues& f, Tally& tally) {
    const std::string& address = f.IPAdd[0];
    const bool wrong = f.DomainNames ? address.empty() || CharacterCount(address) > MaxDomainName ||
                                           IsStrictIPAddress(address)
                                     : !IsValidIPAddress(address);
    tally.Count(wrong, ConfigLabel::IPAddM);
}

} // namespace

bool StoredFolderExists(const std::string& storedPath) {
    if (storedPath.empty()) return false;
    std::error_code error;
    return std::filesystem::is_directory(StoredPathToNative(storedPath), error);
}

FieldCheck CheckScreenFields(ProgramKind kind, const ConfigScreenValues& f,
                             const FolderExistsFn& folderExists) {
    Tally tally;
    if (kind == ProgramKind::Master)
        CheckMasterTable(f, tally);
    else
        CheckSlaveAddress(f, tally);
    tally.Count(NumberOutside(f.CPUDelay, 5, 600), ConfigLabel::CPUDelayM);
    tally.Count(f.LogLevel < 1 || f.LogLevel > 3, ConfigLabel::LogLevelM);
    tally.Count(LengthOutside(f.LogName, 8, 20), ConfigLabel::LogNameM);
    tally.Count(LengthOutside(f.LogPath, 2, 100), ConfigLabel::LogPathM);
    // A missing folder is a fault of its own, even when the path is also too short.
    tally.Count(!folderExists(f.LogPath), ConfigLabel::LogPathM);
    tally.Count(NumberOutside(f.Port1, 1024, 65532), ConfigLabel::Port1M);
    tally.Count(NumberOutside(f.Port2, 1024, 65532), ConfigLabel::Port1M);
    tally.Count(NumberOutside(f.ShutTime, 2, 600), ConfigLabel::ShutTimeM);
    tally.Count(f.ShutType < 1 || f.ShutType > 6, ConfigLabel::ShutTypeM);
    tally.Count(NumberOutside(f.StartDelay, 1, 3600), ConfigLabel::StartDelayM);
    if (kind == ProgramKind::Master) {
        bool anyAddress = false;
        for (std::size_t k = 1; k <= RemoteComputerCount; ++k) {
            tally.Count(!f.CName[k].empty() && f.IPAdd[k].empty(), RowLabels[k], ConfigLabel::IPAddL);
            anyAddress = anyAddress || !f.IPAdd[k].empty();
        }
        tally.Count(!anyAddress, ConfigLabel::IPAddM1, ConfigLabel::IPAddL);
    }
    return tally.Take();
}

std::vector<ConfigLabel> ResettableLabels(ProgramKind kind) {
    std::vector<ConfigLabel> labels;
    if (kind == ProgramKind::Master) {
        labels = {ConfigLabel::CompL, ConfigLabel::IPAddL};
        labels.insert(labels.end(), RowLabels.begin(), RowLabels.end());
    } else {
        labels = {ConfigLabel::IPAddL, ConfigLabel::IPAddM};
    }
    for (ConfigLabel label :
         {ConfigLabel::CPUDelayM, ConfigLabel::LogLevelM, ConfigLabel::LogNameM, ConfigLabel::LogPathM,
          ConfigLabel::Port1M, ConfigLabel::ShutTimeM, ConfigLabel::ShutTypeM, ConfigLabel::StartDelayM})
        labels.push_back(label);
    return labels;
}

namespace {
constexpr std::array<const char*, 3> LogLevelItems = {"None", "Normal", "Full"};
} // namespace

std::int16_t LogLevelCodeOf(const std::string& item) {
    for (std::size_t i = 0; i < LogLevelItems.size(); ++i)
        if (item == LogLevelItems[i]) return static_cast<std::int16_t>(i + 1);
    return 0;
}

std::string LogLevelItem(std::int16_t code) {
    if (code < 1 || code > 3) return {};
    return LogLevelItems[static_cast<std::size_t>(code - 1)];
}

std::int16_t ShutTypeCodeOf(const std::string& item) {
    for (std::int16_t code = ShutPowerOff; code <= ShutStandby; ++code)
        if (!item.empty() && item == ShutTypeName(code)) return code;
    return 0;
}

std::string ShutTypeDescription(std::int16_t shutType) {
    switch (shutType) {
    case ShutPowerOff:
    case ShutReboot:
    case ShutShutdown:
        return "(Forces Running Applications To Close)";
    case ShutMonitor:
        return "(Monitor computer only)";
    default:
        return {};
    }
}

std::string AddressHeader(bool domainNames) {
    return domainNames ? "Domain Name" : "IP Address";
}

std::string AddressToolTip(ProgramKind kind, bool domainNames, int computer) {
    if (kind == ProgramKind::Slave)
        return domainNames ? "Domain name of computer to communicate with (less than 100 characters)"
                           : "IP Address of computer to communicate with";
    const std::string k = std::to_string(computer);
    return (domainNames ? "Domain name of remote computer " + k + "  (Empty or a valid domain name"
                        : "IP Address of remote computer " + k + "  (Empty or a valid IP address") +
           " - must be set if Remote Computer " + k + " name is set)";
}

std::string SlaveAddressHint(bool domainNames) {
    return domainNames ? "(a valid domain name)" : "(A valid IP address)";
}

} // namespace tarnix
