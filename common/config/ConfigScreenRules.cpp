#include "common/config/ConfigScreenRules.h"

#include <array>
#include <optional>
#include <string_view>
#include <system_error>

#include "common/base/LenientNumber.h"
#include "common/base/TextEncoding.h"
#include "common/config/ConfigSchema.h"
#include "common/supervision/ShutType.h"

namespace tarnix {
namespace {

bool LengthOutside(const ConfigField& field, const std::string& text) {
    const std::size_t length = CharacterCount(text);
    return length < static_cast<std::size_t>(field.lowest) ||
           length > static_cast<std::size_t>(field.highest);
}

// Fractions are compared as typed: 4.5 is below 5, 5.5 is not (the reader later rounds it).
bool NumberOutside(const ConfigField& field, const std::string& text) {
    const double value = LeadingNumber(text);
    return !(value >= field.lowest && value <= field.highest);
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
    // The labels a refused field highlights: its note or its row, and its column in the
    // master's table of computers.
    void Count(bool broken, const ScreenPlace& place) {
        if (!place.label)
            Count(broken);
        else if (place.column)
            Count(broken, *place.label, *place.column);
        else
            Count(broken, *place.label);
    }
    FieldCheck Take() { return std::move(check_); }

private:
    FieldCheck check_;
};

// Whether the field's value is one the file's check would refuse, or one that leaves the
// program waiting to be set up.
bool Refused(const ConfigField& field, const ConfigScreenValues& f) {
    switch (field.kind) {
    case FieldKind::Flag:
        return false; // a check box shows only what the file allows
    case FieldKind::Choice: {
        const std::int16_t code = f.Of(field).code;
        return code < field.lowest || code > field.highest;
    }
    case FieldKind::Number:
        return NumberOutside(field, f.Of(field).text);
    case FieldKind::Text: {
        const std::string& text = f.Of(field).text;
        return (field.required && text.empty()) || LengthOutside(field, text);
    }
    case FieldKind::Address: {
        const std::string& address = f.Of(field).text;
        return (field.required && address.empty()) ||
               AddressFault(field, f.Of("DName").flag, address).has_value();
    }
    }
    return false;
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
    for (const ConfigField* field : FieldsOf(kind))
        if (field->kind != FieldKind::Flag) tally.Count(Refused(*field, f), field->screen);
    // A missing folder is a fault of its own, even when the path is also too short.
    tally.Count(!folderExists(f.Of("LogPath").text), ConfigLabel::LogPathM);
    if (kind == ProgramKind::Master) {
        bool anyAddress = false;
        for (std::size_t k = 1; k <= RemoteComputerCount; ++k) {
            const std::string& name = f.Of("CName" + std::to_string(k)).text;
            const std::string& address = f.Of("IPAdd" + std::to_string(k)).text;
            tally.Count(!name.empty() && address.empty(), RowLabels[k], ConfigLabel::IPAddL);
            anyAddress = anyAddress || !address.empty();
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
