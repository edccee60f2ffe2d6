#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/base/LenientNumber.h"
#include "common/base/TextEncoding.h"
#include "common/config/ConfigBoxes.h"
#include "common/config/ConfigFaults.h"
#include "common/config/ConfigFile.h"
#include "common/config/ConfigSchema.h"
#include "common/config/IPAddress.h"

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

void CheckNumber(Faults& faults, const ConfigField& field, std::int32_t value) {
    const NumberLimits limits = LimitsOf(field.key);
    if (value >= limits.lowest && value <= limits.highest) return;
    // Text with no number reads as 0, which no number key allows.
    const KeySource* source = SourceOf(faults.Record(), field.key);
    const bool number = source == nullptr || HasLeadingNumber(source->text);
    faults.Add(field.key, (number ? "is " + std::to_string(value) : std::string("is not a number")) + "; " +
                              MustBeText(limits));
}

void CheckLength(Faults& faults, const ConfigField& field, const std::string& text) {
    const std::size_t length = CharacterCount(text);
    const auto shortest = static_cast<std::size_t>(field.lowest),
               longest = static_cast<std::size_t>(field.highest);
    if (length < shortest)
        faults.Add(field.key, "is shorter than " + std::to_string(shortest) + " characters");
    if (length > longest) faults.Add(field.key, "is longer than " + std::to_string(longest) + " characters");
}

// Any address mode but the two is itself the fault.
void CheckAddress(Faults& faults, const ConfigField& field, std::int16_t dName, const std::string& address) {
    if (dName != FlagClear && dName != FlagSet) return;
    if (auto fault = AddressFault(field, dName == FlagSet, address)) faults.Add(field.key, *fault);
}

void CheckRanges(ProgramKind kind, const ConfigRecord& r, Faults& faults) {
    for (const ConfigField* field : FieldsOf(kind)) {
        switch (field->kind) {
        case FieldKind::Number:
        case FieldKind::Choice:
        case FieldKind::Flag:
            CheckNumber(faults, *field, StoredNumber(*field, r));
            break;
        case FieldKind::Text:
            CheckLength(faults, *field, StoredText(*field, r));
            break;
        case FieldKind::Address:
            CheckAddress(faults, *field, r.DName, StoredText(*field, r));
            break;
        }
    }
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
        const bool missing = r.DName == FlagSet ? r.IPAdd[k].empty() : !IsValidIPAddress(r.IPAdd[k]);
        if (missing) return true;
    }
    return false;
}

// The slave's one address is required, and must suit its mode.
bool SlaveUnconfigured(const ConfigRecord& r) {
    if (r.DName != FlagClear && r.DName != FlagSet) return false;
    const ConfigField& field = *FindField("IPAdd");
    const std::string& address = StoredText(field, r);
    return address.empty() || AddressFault(field, r.DName == FlagSet, address).has_value();
}

} // namespace

std::optional<FatalError> ValidateConfiguration(ProgramKind kind, ConfigRecord& record, bool& unconfigured) {
    // An empty log path stands for the one Restore puts back.
    if (record.LogPath.empty()) record.LogPath = FindField("LogPath")->restore;
    Faults faults(record);
    CheckRanges(kind, record, faults);
    if (kind == ProgramKind::Master ? MasterUnconfigured(record) : SlaveUnconfigured(record))
        unconfigured = true;
    if (auto fault = faults.First()) return WithFault(ConfigRangeBox(), std::move(*fault));
    return std::nullopt;
}

} // namespace tarnix
