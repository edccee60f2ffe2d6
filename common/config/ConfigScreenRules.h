#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/config/ConfigFile.h"
#include "common/config/ConfigScreenView.h"

namespace tarnix {

// Whether the folder a stored log path names exists; a relative path is taken from the
// working folder.
using FolderExistsFn = std::function<bool(const std::string& storedPath)>;
bool StoredFolderExists(const std::string& storedPath);

// The out-of-range fields of the configuration screen: how many rules the fields break and the
// labels to highlight (a label may be listed more than once). The LogLevel and ShutType codes
// in `fields` are those of the selected list items, 0 without a selection.
struct FieldCheck {
    int violations = 0;
    std::vector<ConfigLabel> highlighted;
};
FieldCheck CheckScreenFields(ProgramKind kind, const ConfigScreenValues& fields,
                             const FolderExistsFn& folderExists);

// The labels that a validation first returns to their normal colour.
std::vector<ConfigLabel> ResettableLabels(ProgramKind kind);

// The list items by code, 0 for an item that is not in the list.
std::int16_t LogLevelCodeOf(const std::string& item);
std::string LogLevelItem(std::int16_t code); // empty for other codes
std::int16_t ShutTypeCodeOf(const std::string& item);

// The note under the power-action list.
std::string ShutTypeDescription(std::int16_t shutType);

// The texts the address mode sets: the column header (master) or label (slave), the address
// boxes' tooltips (computer 1..4 on the master, 0 for the slave's one box) and the slave's hint.
std::string AddressHeader(bool domainNames);
std::string AddressToolTip(ProgramKind kind, bool domainNames, int computer);
std::string SlaveAddressHint(bool domainNames);

} // namespace tarnix
