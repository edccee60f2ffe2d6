#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "common/base/AtomicFile.h"
#include "common/base/LenientNumber.h"
#include "common/base/TextEncoding.h"
#include "common/base/TimeStamp.h"
#include "common/config/ConfigBoxes.h"
#include "common/config/ConfigFile.h"
#include "common/config/ConfigSchema.h"

namespace tarnix {
namespace {

// Shortest text that reads back as the same number, never in exponent form. Room for the
// longest such text of a double (a subnormal written out in full).
std::string PlainDecimal(double value) {
    if (value == 0) return "0"; // also turns -0 into 0
    std::array<char, 512> buffer{};
    const auto [end, error] =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed);
    if (error != std::errc()) return "0";
    return std::string(buffer.data(), end);
}

std::string NumberText(std::string_view screenText) {
    return PlainDecimal(LeadingNumber(screenText));
}

std::string CheckState(bool checked) {
    return std::to_string(checked ? FlagSet : FlagClear);
}

// The field's line value as the screen shows it.
std::string ValueText(const ConfigField& field, const ConfigScreenValues& v) {
    switch (field.kind) {
    case FieldKind::Flag:
        return CheckState(v.Of(field).flag);
    case FieldKind::Choice:
        return std::to_string(v.Of(field).code);
    case FieldKind::Number:
        return NumberText(v.Of(field).text);
    case FieldKind::Text:
    case FieldKind::Address:
        break;
    }
    return v.Of(field).text;
}

class Lines {
public:
    void Add(std::string_view key, std::string_view value) {
        text_ += key;
        text_ += value;
        text_ += "\r\n";
    }
    void Add(std::string_view line) { Add(line, {}); }
    std::string Take() { return std::move(text_); }

private:
    std::string text_;
};

// A control character is refused in every text: a line break would split its line (and could
// forge another key), and any other would reach the log's listing of the file.
std::optional<std::string> ControlCharacterIn(std::string_view key, std::string_view text) {
    const std::string control = FirstControlCharacter(text);
    if (control.empty()) return std::nullopt;
    return std::string(key) + " contains the control character " + control + ".";
}

// Why a value would not read back as written, or nothing when all would. A number too large
// for a double has no decimal form to write.
std::optional<std::string> Refusal(ProgramKind kind, const ConfigScreenValues& v) {
    for (const ConfigField* field : FieldsOf(kind))
        if (field->kind == FieldKind::Text || field->kind == FieldKind::Address)
            if (auto refusal = ControlCharacterIn(field->key, v.Of(*field).text)) return refusal;
    for (const ConfigField* field : FieldsOf(kind))
        if (field->kind == FieldKind::Number && !std::isfinite(LeadingNumber(v.Of(*field).text)))
            return std::string(field->key) + " is too large a number to be saved.";
    return std::nullopt;
}

} // namespace

std::string ConfigurationText(ProgramKind kind, const ConfigScreenValues& v, const std::tm& now) {
    Lines lines;
    lines.Add("# " + ProgramTitleOf(kind) + " Version ", ProgramVersion);
    lines.Add("# Configuration File");
    lines.Add("# ", FormatTimeStamp(now));
    std::optional<ConfigSection> section;
    for (const ConfigField* field : FieldsOf(kind)) {
        if (field->section != section) {
            section = field->section;
            lines.Add("");
            lines.Add(SectionLines[static_cast<std::size_t>(*section)]);
        }
        lines.Add(std::string(field->key) + "=", ValueText(*field, v));
    }
    lines.Add(""); // the file ends in an empty line
    return lines.Take();
}

WriteOutcome WriteConfiguration(const std::filesystem::path& file, ProgramKind kind,
                                const ConfigScreenValues& values, const std::tm& now) {
    try {
        // The slave only ever replaces its file: one that has vanished is not silently recreated.
        std::error_code error;
        if (kind == ProgramKind::Slave && !std::filesystem::is_regular_file(file, error))
            return {ConfigMissingBox(), true};
        if (auto refusal = Refusal(kind, values)) return {ConfigRefusedBox(kind, std::move(*refusal)), false};
        const std::string text = ConfigurationText(kind, values, now);
        if (!ReplaceFileContents(file, text)) return {ConfigWriteFailureBox(kind), false};
        return {};
    } catch (const std::exception&) {
        return {ConfigWriteFailureBox(kind), false};
    }
}

} // namespace tarnix
