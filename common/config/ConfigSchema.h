#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "common/config/ConfigFile.h"
#include "common/config/ConfigRecord.h"
#include "common/config/ConfigScreenView.h"

namespace tarnix {

// The one description of the configuration: every key of both programs' files, where the file
// keeps it, what it holds, what Restore puts back, and the limits the start-up check and the
// configuration screen both hold it to. The reader, the writer, both checks, Restore and the
// screen's range notes all work from it, so that no limit can differ between them.

enum class ConfigSection { Comms, Run, Shutdown };

// The section lines, in the order of ConfigSection and of the file.
inline constexpr std::array<std::string_view, 3> SectionLines = {"[Comms]", "[Run]", "[Shutdown]"};

enum class FieldKind {
    Number,  // typed into a text box; the limits are the value's
    Choice,  // a code picked from a list; the limits are the codes'
    Flag,    // a check box, stored as FlagClear or FlagSet
    Text,    // the limits are its length in characters
    Address, // an IP address or, in domain-name mode, a name of at most `highest` characters
};

enum class FieldPrograms { Both, Master, Slave };

// The file's numbers for a check box.
inline constexpr std::int16_t FlagClear = 1;
inline constexpr std::int16_t FlagSet = 2;

// How the range note beside a field on the screen is put.
enum class HintForm {
    None,
    Plain,      // hintText as it stands
    Range,      // "(min 1024, max 65532)"
    Seconds,    // "seconds (min 5, max 600)"
    Characters, // "(Between 8 and 20 characters)"
    Folder,     // the length of a folder path counts its closing "\" apart
};

using ComputerTexts = std::array<std::string, RemoteComputerCount + 1>;

// Where a field lives in the record: one member, or one element of CName or IPAdd.
struct FieldAccess {
    std::string ConfigRecord::*text = nullptr;
    std::int16_t ConfigRecord::*shortNumber = nullptr;
    std::int32_t ConfigRecord::*longNumber = nullptr;
    ComputerTexts ConfigRecord::*element = nullptr;
    std::size_t index = 0; // of the element
};

// Where the configuration screen shows a field: its text box or check box (the two lists show
// the names of codes and are the screen's own), the note a refused value highlights, and the
// column of the master's table of computers it stands in.
struct ScreenPlace {
    std::optional<ConfigTextBox> textBox = std::nullopt;
    std::optional<ConfigCheckBox> checkBox = std::nullopt;
    std::optional<ConfigLabel> label = std::nullopt;
    std::optional<ConfigLabel> column = std::nullopt;
};

struct ConfigField {
    std::string_view key; // the line is the key, "=" and the value
    ConfigSection section;
    FieldKind kind;
    FieldPrograms programs = FieldPrograms::Both;
    std::int32_t lowest = 0;
    std::int32_t highest = 0;
    // An empty value leaves the program waiting to be set up, and the screen refuses it.
    bool required = false;
    // What Restore puts back, as the file stores it; empty for a field Restore leaves alone.
    std::string_view restore = {};
    bool restoreAfterProgram = false; // the restored value follows the executable's name
    HintForm hint = HintForm::None;
    std::string_view hintText = {};
    FieldAccess access = {};
    ScreenPlace screen = {};
};

// Every field, in the order of the files.
std::span<const ConfigField> ConfigFields();

// What the configuration screen shows of one field: the text in its text box (Number, Text and
// Address fields), the state of its check box (Flag) or the code picked from its list (Choice).
struct ShownValue {
    std::string text;
    bool flag = false;
    std::int16_t code = 0;

    bool operator==(const ShownValue&) const = default;
};

// The configuration screen's values, one for every field, as the writer takes them. A new set
// has empty texts, clear boxes and the lists at their restored codes.
class ConfigScreenValues {
public:
    ConfigScreenValues();

    ShownValue& Of(const ConfigField& field);
    const ShownValue& Of(const ConfigField& field) const;
    // The field with that key, which must exist.
    ShownValue& Of(std::string_view key);
    const ShownValue& Of(std::string_view key) const;

    bool operator==(const ConfigScreenValues&) const = default;

private:
    std::vector<ShownValue> values_;
};

// The fields of one program's file, in the file's order.
const std::vector<const ConfigField*>& FieldsOf(ProgramKind kind);

// The field with that key, or nothing.
const ConfigField* FindField(std::string_view key);

// Number, Choice and Flag fields hold numbers; Text and Address fields hold texts.
bool HoldsNumber(const ConfigField& field);

// A field's value in the record: numbers of Number, Choice and Flag fields, texts of the others.
std::int32_t StoredNumber(const ConfigField& field, const ConfigRecord& record);
const std::string& StoredText(const ConfigField& field, const ConfigRecord& record);

// Stores a value as the file writes it, a number read leniently and rounded; false when the
// number does not fit its field.
bool StoreValue(const ConfigField& field, std::string_view value, ConfigRecord& record);

// The screen's values of a record: numbers in decimal, check boxes set for FlagSet, and the
// codes as stored (the screen itself drops a code its list does not have).
ConfigScreenValues ScreenValuesOf(ProgramKind kind, const ConfigRecord& record);

// Puts back every value Restore restores; the others stay.
void RestoreDefaults(ProgramKind kind, ConfigScreenValues& values);

// The range note the screen shows beside the field; empty for a field without one.
std::string HintOf(const ConfigField& field);

// Why an address does not suit its mode, or nothing when it does; an empty address suits both
// (whether one is needed is the `required` rule's and the set-up's matter).
std::optional<std::string> AddressFault(const ConfigField& field, bool domainNames,
                                        const std::string& address);

} // namespace tarnix
