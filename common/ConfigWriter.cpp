#include <array>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

#include "common/AtomicFile.h"
#include "common/ConfigBoxes.h"
#include "common/ConfigFile.h"
#include "common/LenientNumber.h"
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

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// A value that would not read back as written: a line break would split its line (and could
// forge another key), and a number too large for a double has no decimal form to write.
bool CanBeWritten(ProgramKind kind, const ConfigScreenValues& v) {
    if (kind == ProgramKind::Master) {
        for (std::size_t i = 0; i <= RemoteComputerCount; ++i)
            if (HasLineBreak(v.CName[i]) || (i > 0 && HasLineBreak(v.IPAdd[i]))) return false;
    } else if (HasLineBreak(v.IPAdd[0])) {
        return false;
    }
    if (HasLineBreak(v.LogName) || HasLineBreak(v.LogPath)) return false;
    for (const std::string* number : {&v.Port1, &v.Port2, &v.CPUDelay, &v.StartDelay, &v.ShutTime})
        if (!std::isfinite(LeadingNumber(*number))) return false;
    return true;
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
        if (!CanBeWritten(kind, values)) return {ConfigWriteFailureBox(kind), false};
        const std::string text = ConfigurationText(kind, values, now);
        if (!ReplaceFileContents(file, text)) return {ConfigWriteFailureBox(kind), false};
        return {};
    } catch (const std::exception&) {
        return {ConfigWriteFailureBox(kind), false};
    }
}

} // namespace tarnix
