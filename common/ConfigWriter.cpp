#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/AtomicFile.h"
#include "common/ConfigBoxes.h"
#include "common/ConfigFile.h"
#include "common/LenientNumber.h"
#include "common/TextEncoding.h"
#include "common/TimeStamp.h"

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

std::string_view CheckState(bool checked) {
    return checked ? "2" : "1";
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

void AddRunSection(Lines& lines, const ConfigScreenValues& v) {
    lines.Add("");
    lines.Add("[Run]");
    lines.Add("CPUDelay=", NumberText(v.CPUDelay));
    lines.Add("LogLevel=", std::to_string(v.LogLevel));
    lines.Add("LogName=", v.LogName);
    lines.Add("LogPath=", v.LogPath);
    lines.Add("RunOnTop=", CheckState(v.RunOnTop));
    lines.Add("StartDelay=", NumberText(v.StartDelay));
    lines.Add("StartMin=", CheckState(v.StartMin));
    lines.Add("");
    lines.Add("[Shutdown]");
    lines.Add("ShutTime=", NumberText(v.ShutTime));
    lines.Add("ShutType=", std::to_string(v.ShutType));
    lines.Add(""); // the file ends in an empty line
}

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
    std::vector<std::pair<std::string, const std::string*>> texts;
    if (kind == ProgramKind::Master) {
        for (std::size_t i = 0; i <= RemoteComputerCount; ++i)
            texts.emplace_back("CName" + std::to_string(i), &v.CName[i]);
        for (std::size_t i = 1; i <= RemoteComputerCount; ++i)
            texts.emplace_back("IPAdd" + std::to_string(i), &v.IPAdd[i]);
    } else {
        texts.emplace_back("IPAdd", &v.IPAdd[0]);
    }
    texts.emplace_back("LogName", &v.LogName);
    texts.emplace_back("LogPath", &v.LogPath);
    for (const auto& [key, text] : texts)
        if (auto refusal = ControlCharacterIn(key, *text)) return refusal;
    const std::pair<const char*, const std::string*> numbers[] = {{"Port1", &v.Port1},
                                                                  {"Port2", &v.Port2},
                                                                  {"CPUDelay", &v.CPUDelay},
                                                                  {"StartDelay", &v.StartDelay},
                                                                  {"ShutTime", &v.ShutTime}};
    for (const auto& [key, number] : numbers)
        if (!std::isfinite(LeadingNumber(*number)))
            return std::string(key) + " is too large a number to be saved.";
    return std::nullopt;
}

} // namespace

std::string ConfigurationText(ProgramKind kind, const ConfigScreenValues& v, const std::tm& now) {
    Lines lines;
    lines.Add("# " + ProgramTitleOf(kind) + " Version ", ProgramVersion);
    lines.Add("# Configuration File");
    lines.Add("# ", FormatTimeStamp(now));
    lines.Add("");
    lines.Add("[Comms]");
    lines.Add("DName=", CheckState(v.DomainNames));
    if (kind == ProgramKind::Master) {
        for (std::size_t i = 0; i <= RemoteComputerCount; ++i)
            lines.Add("CName" + std::to_string(i) + "=", v.CName[i]);
        for (std::size_t i = 1; i <= RemoteComputerCount; ++i)
            lines.Add("IPAdd" + std::to_string(i) + "=", v.IPAdd[i]);
    } else {
        lines.Add("IPAdd=", v.IPAdd[0]);
    }
    lines.Add("Port1=", NumberText(v.Port1));
    lines.Add("Port2=", NumberText(v.Port2));
    AddRunSection(lines, v);
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
