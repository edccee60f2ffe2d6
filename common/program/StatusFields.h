#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "common/program/ProgramStatus.h"

namespace tarnix {

// One fact of how things stand, in the plain form every outside reader gets: a word or text, a
// number, a yes/no, or a counter since the program started. A counter moves with the traffic, at
// every tick: on the bus it is read when wanted and never signalled as changed.
using StatusValue = std::variant<std::string, std::int32_t, bool, std::uint64_t>;

inline bool IsCounter(const StatusValue& value) {
    return std::holds_alternative<std::uint64_t>(value);
}

// How the text report shows a field: "Label      value" always, only when it is set (a true
// flag shows "yes", a text that is not empty itself), a true flag as its label alone, or never
// (a fact only a window attached over the bus draws).
enum class TextForm { Always, WhenSet, LabelWhenSet, Never };

// One field of the status as its outside forms name and read it: the bus property, the JSON
// member and the line of the text report are all made from this one declaration, and tarnixctl
// reads the JSON back through it.
struct StatusField {
    std::string_view busName;  // the property of io.tarnix.Watchdog1
    std::string_view jsonName; // the member of the JSON object; none: not in the JSON
    std::string_view textLabel;
    TextForm textForm;
    int textRank;                    // its place among the text report's lines
    std::optional<ProgramKind> only; // a field only this program has (none: both)
    StatusValue (*read)(const ProgramStatus&);
    // False when the value cannot be a status's (a word no program or phase has).
    bool (*write)(ProgramStatus&, const StatusValue&);
};

// One field of a master's remote computer: its JSON member, and whether the bus's
// RemoteComputers entries (a(bssss)) carry it, in this order.
struct RemoteComputerField {
    std::string_view jsonName;
    bool onBus;
    StatusValue (*read)(const RemoteComputerStatus&);
    void (*write)(RemoteComputerStatus&, const StatusValue&);
};

std::span<const StatusField> StatusFields();
std::span<const RemoteComputerField> RemoteComputerFields();

// Whether the field belongs to a status of this program.
inline bool FieldOf(const StatusField& field, ProgramKind kind) {
    return !field.only || *field.only == kind;
}

} // namespace tarnix
