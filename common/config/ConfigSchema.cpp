#include "common/config/ConfigSchema.h"

#include <utility>

#include "common/base/LenientNumber.h"
#include "common/base/TextEncoding.h"
#include "common/config/IPAddress.h"
#include "common/program/ProgramNames.h"

namespace tarnix {
namespace {

template <auto Member> constexpr FieldAccess MemberAccess() {
    using Stored = std::remove_cvref_t<decltype(std::declval<ConfigRecord&>().*Member)>;
    FieldAccess access;
    if constexpr (std::is_same_v<Stored, std::string>) access.text = Member;
    if constexpr (std::is_same_v<Stored, std::int16_t>) access.shortNumber = Member;
    if constexpr (std::is_same_v<Stored, std::int32_t>) access.longNumber = Member;
    return access;
}

// The control or label `index` places after `first`, in the screen's numbering of its rows.
template <typename Control> constexpr Control Nth(Control first, std::size_t index) {
    return static_cast<Control>(static_cast<int>(first) + static_cast<int>(index));
}

template <std::size_t I> constexpr ConfigField ComputerName(bool required = false) {
    constexpr std::string_view keys[] = {"CName0", "CName1", "CName2", "CName3", "CName4"};
    static_assert(I < std::size(keys));
    return {.key = keys[I],
            .section = ConfigSection::Comms,
            .kind = FieldKind::Text,
            .programs = FieldPrograms::Master,
            .lowest = 0,
            .highest = static_cast<std::int32_t>(MaxComputerName),
            .required = required,
            .access = {.element = &ConfigRecord::CName, .index = I},
            .screen = {.textBox = Nth(ConfigTextBox::CompT0, I),
                       .label = Nth(ConfigLabel::IPAddM0, I),
                       .column = ConfigLabel::CompL}};
}

// Address 0 is the slave's one (its master's); 1 to 4 are the master's remote computers.
template <std::size_t I> constexpr ConfigField AddressOf() {
    constexpr std::string_view keys[] = {"IPAdd", "IPAdd1", "IPAdd2", "IPAdd3", "IPAdd4"};
    static_assert(I < std::size(keys));
    return {.key = keys[I],
            .section = ConfigSection::Comms,
            .kind = FieldKind::Address,
            .programs = I == 0 ? FieldPrograms::Slave : FieldPrograms::Master,
            .lowest = 0,
            .highest = static_cast<std::int32_t>(MaxDomainName),
            .required = I == 0, // a master may leave a remote computer unused
            .access = {.element = &ConfigRecord::IPAdd, .index = I},
            .screen = I == 0 ? ScreenPlace{.textBox = ConfigTextBox::IPAddT, .label = ConfigLabel::IPAddM}
                             : ScreenPlace{.textBox = Nth(ConfigTextBox::IPAddT, I),
                                           .label = Nth(ConfigLabel::IPAddM0, I),
                                           .column = ConfigLabel::IPAddL}};
}

using R = ConfigRecord;
using enum ConfigSection;
using enum FieldKind;

constexpr ConfigField Fields[] = {
    {.key = "DName",
     .section = Comms,
     .kind = Flag,
     .lowest = FlagClear,
     .highest = FlagSet,
     .access = MemberAccess<&R::DName>(),
     .screen = {.checkBox = ConfigCheckBox::DNameT}},
    ComputerName<0>(true),
    ComputerName<1>(),
    ComputerName<2>(),
    ComputerName<3>(),
    ComputerName<4>(),
    AddressOf<1>(),
    AddressOf<2>(),
    AddressOf<3>(),
    AddressOf<4>(),
    AddressOf<0>(),
    {.key = "Port1",
     .section = Comms,
     .kind = Number,
     .lowest = 1024,
     .highest = 65532,
     .restore = "10001",
     .hint = HintForm::Range, // the note beside both ports
     .access = MemberAccess<&R::Port1>(),
     .screen = {.textBox = ConfigTextBox::Port1T, .label = ConfigLabel::Port1M}},
    {.key = "Port2",
     .section = Comms,
     .kind = Number,
     .lowest = 1024,
     .highest = 65532,
     .restore = "10000",
     .access = MemberAccess<&R::Port2>(),
     .screen = {.textBox = ConfigTextBox::Port2T, .label = ConfigLabel::Port1M}},
    {.key = "CPUDelay",
     .section = Run,
     .kind = Number,
     .lowest = 5,
     .highest = 600,
     .restore = "60",
     .hint = HintForm::Seconds,
     .access = MemberAccess<&R::CPUDelay>(),
     .screen = {.textBox = ConfigTextBox::CPUDelayT, .label = ConfigLabel::CPUDelayM}},
    {.key = "LogLevel",
     .section = Run,
     .kind = Choice,
     .lowest = 1,
     .highest = 3,
     .restore = "2",
     .hint = HintForm::Plain,
     .hintText = "(Setting this to full will generate big log files)",
     .access = MemberAccess<&R::LogLevel>(),
     .screen = {.label = ConfigLabel::LogLevelM}},
    {.key = "LogName",
     .section = Run,
     .kind = Text,
     .lowest = 8,
     .highest = 20,
     .restore = ".log",
     .restoreAfterProgram = true,
     .hint = HintForm::Characters,
     .access = MemberAccess<&R::LogName>(),
     .screen = {.textBox = ConfigTextBox::LogNameT, .label = ConfigLabel::LogNameM}},
    {.key = "LogPath",
     .section = Run,
     .kind = Text,
     .lowest = 2,
     .highest = 100,
     .restore = "Log\\",
     .hint = HintForm::Folder,
     .access = MemberAccess<&R::LogPath>(),
     .screen = {.textBox = ConfigTextBox::LogPathT, .label = ConfigLabel::LogPathM}},
    {.key = "RunOnTop",
     .section = Run,
     .kind = Flag,
     .lowest = FlagClear,
     .highest = FlagSet,
     .restore = "1",
     .access = MemberAccess<&R::RunOnTop>(),
     .screen = {.checkBox = ConfigCheckBox::RunOnTopT}},
    {.key = "StartDelay",
     .section = Run,
     .kind = Number,
     .lowest = 1,
     .highest = 3600,
     .restore = "2",
     .hint = HintForm::Seconds,
     .access = MemberAccess<&R::StartDelay>(),
     .screen = {.textBox = ConfigTextBox::StartDelayT, .label = ConfigLabel::StartDelayM}},
    {.key = "StartMin",
     .section = Run,
     .kind = Flag,
     .lowest = FlagClear,
     .highest = FlagSet,
     .restore = "1",
     .access = MemberAccess<&R::StartMin>(),
     .screen = {.checkBox = ConfigCheckBox::StartMinT}},
    {.key = "ShutTime",
     .section = Shutdown,
     .kind = Number,
     .lowest = 2,
     .highest = 600,
     .restore = "60",
     .hint = HintForm::Seconds,
     .access = MemberAccess<&R::ShutTime>(),
     .screen = {.textBox = ConfigTextBox::ShutTimeT, .label = ConfigLabel::ShutTimeM}},
    {.key = "ShutType",
     .section = Shutdown,
     .kind = Choice,
     .lowest = 1,
     .highest = 6,
     .restore = "1",
     .access = MemberAccess<&R::ShutType>(),
     .screen = {.label = ConfigLabel::ShutTypeM}},
};

bool BelongsTo(const ConfigField& field, ProgramKind kind) {
    switch (field.programs) {
    case FieldPrograms::Both:
        return true;
    case FieldPrograms::Master:
        return kind == ProgramKind::Master;
    case FieldPrograms::Slave:
        return kind == ProgramKind::Slave;
    }
    return false;
}

std::vector<const ConfigField*> Select(ProgramKind kind) {
    std::vector<const ConfigField*> fields;
    for (const ConfigField& field : Fields)
        if (BelongsTo(field, kind)) fields.push_back(&field);
    return fields;
}

} // namespace

std::span<const ConfigField> ConfigFields() {
    return Fields;
}

const std::vector<const ConfigField*>& FieldsOf(ProgramKind kind) {
    static const std::vector<const ConfigField*> master = Select(ProgramKind::Master);
    static const std::vector<const ConfigField*> slave = Select(ProgramKind::Slave);
    return kind == ProgramKind::Master ? master : slave;
}

const ConfigField* FindField(std::string_view key) {
    for (const ConfigField& field : Fields)
        if (field.key == key) return &field;
    return nullptr;
}

bool HoldsNumber(const ConfigField& field) {
    return field.kind == Number || field.kind == Choice || field.kind == Flag;
}

std::int32_t StoredNumber(const ConfigField& field, const ConfigRecord& record) {
    if (field.access.longNumber != nullptr) return record.*field.access.longNumber;
    return record.*field.access.shortNumber;
}

const std::string& StoredText(const ConfigField& field, const ConfigRecord& record) {
    if (field.access.element != nullptr) return (record.*field.access.element)[field.access.index];
    return record.*field.access.text;
}

bool StoreValue(const ConfigField& field, std::string_view value, ConfigRecord& record) {
    const FieldAccess& a = field.access;
    if (a.element != nullptr) {
        (record.*a.element)[a.index] = std::string(value);
        return true;
    }
    if (a.text != nullptr) {
        record.*a.text = std::string(value);
        return true;
    }
    if (a.shortNumber != nullptr) {
        const auto number = ToInt16(LeadingNumber(value));
        if (!number) return false;
        record.*a.shortNumber = *number;
        return true;
    }
    const auto number = ToInt32(LeadingNumber(value));
    if (!number) return false;
    record.*a.longNumber = *number;
    return true;
}

ConfigScreenValues::ConfigScreenValues() : values_(ConfigFields().size()) {
    for (const ConfigField& field : ConfigFields())
        if (field.kind == Choice) Of(field).code = static_cast<std::int16_t>(LeadingNumber(field.restore));
}

ShownValue& ConfigScreenValues::Of(const ConfigField& field) {
    return values_[static_cast<std::size_t>(&field - ConfigFields().data())];
}

const ShownValue& ConfigScreenValues::Of(const ConfigField& field) const {
    return values_[static_cast<std::size_t>(&field - ConfigFields().data())];
}

ShownValue& ConfigScreenValues::Of(std::string_view key) {
    return Of(*FindField(key));
}

const ShownValue& ConfigScreenValues::Of(std::string_view key) const {
    return Of(*FindField(key));
}

namespace {

// Sets the shown value of field from value as the file stores it.
void Show(const ConfigField& field, const std::string& value, ShownValue& shown) {
    if (field.kind == Flag) {
        shown.flag = LeadingNumber(value) == FlagSet;
    } else if (field.kind == Choice) {
        shown.code = static_cast<std::int16_t>(LeadingNumber(value));
    } else {
        shown.text = value;
    }
}

} // namespace

ConfigScreenValues ScreenValuesOf(ProgramKind kind, const ConfigRecord& record) {
    ConfigScreenValues values;
    for (const ConfigField* field : FieldsOf(kind)) {
        const std::string value =
            HoldsNumber(*field) ? std::to_string(StoredNumber(*field, record)) : StoredText(*field, record);
        Show(*field, value, values.Of(*field));
    }
    return values;
}

void RestoreDefaults(ProgramKind kind, ConfigScreenValues& values) {
    for (const ConfigField* field : FieldsOf(kind)) {
        if (field->restore.empty()) continue;
        std::string value(field->restore);
        if (field->restoreAfterProgram) value = ExecutableNameOf(kind) + value;
        Show(*field, value, values.Of(*field));
    }
}

std::string HintOf(const ConfigField& field) {
    const std::string lowest = std::to_string(field.lowest), highest = std::to_string(field.highest);
    switch (field.hint) {
    case HintForm::None:
        return {};
    case HintForm::Plain:
        return std::string(field.hintText);
    case HintForm::Range:
        return "(min " + lowest + ", max " + highest + ")";
    case HintForm::Seconds:
        return "seconds (min " + lowest + ", max " + highest + ")";
    case HintForm::Characters:
        return "(Between " + lowest + " and " + highest + " characters)";
    case HintForm::Folder:
        return "(Must exist and be between " + std::to_string(field.lowest - 1) + " and " +
               std::to_string(field.highest - 1) + " characters plus '\\')";
    }
    return {};
}

// Only blanks are trimmed from a line, so one after "=" stays in the address.
std::optional<std::string> AddressFault(const ConfigField& field, bool domainNames,
                                        const std::string& address) {
    if (!domainNames) {
        if (address.empty() || IsValidIPAddress(address)) return std::nullopt;
        const std::size_t blank = address.find(' ');
        return blank == 0                   ? "begins with a blank"
               : blank != std::string::npos ? "contains a blank"
                                            : "is not a valid IP address";
    }
    if (CharacterCount(address) > static_cast<std::size_t>(field.highest))
        return "is longer than " + std::to_string(field.highest) + " characters";
    if (IsStrictIPAddress(address)) return "is an IP address, but DName=2 asks for a domain name";
    return std::nullopt;
}

} // namespace tarnix
