#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "common/ConfigBoxes.h"
#include "common/ConfigFaults.h"
#include "common/ConfigFile.h"
#include "common/LenientNumber.h"
#include "common/TextEncoding.h"

namespace tarnix {
namespace {

using TextField = std::string& (*)(ConfigRecord&);
using ShortField = std::int16_t& (*)(ConfigRecord&);
using LongField = std::int32_t& (*)(ConfigRecord&);

struct ConfigKey {
    std::string_view name; // the line begins with name followed directly by "="
    std::variant<TextField, ShortField, LongField> field;
};

template <std::size_t I> std::string& CNameAt(ConfigRecord& r) {
    return r.CName[I];
}
template <std::size_t I> std::string& IPAddAt(ConfigRecord& r) {
    return r.IPAdd[I];
}

// Keys both programs have, after the computer keys of each.
void AddCommonKeys(std::vector<ConfigKey>& keys) {
    keys.push_back({"Port1", +[](ConfigRecord& r) -> std::int32_t& { return r.Port1; }});
    keys.push_back({"Port2", +[](ConfigRecord& r) -> std::int32_t& { return r.Port2; }});
    keys.push_back({"CPUDelay", +[](ConfigRecord& r) -> std::int16_t& { return r.CPUDelay; }});
    keys.push_back({"LogLevel", +[](ConfigRecord& r) -> std::int16_t& { return r.LogLevel; }});
    keys.push_back({"LogName", +[](ConfigRecord& r) -> std::string& { return r.LogName; }});
    keys.push_back({"LogPath", +[](ConfigRecord& r) -> std::string& { return r.LogPath; }});
    keys.push_back({"RunOnTop", +[](ConfigRecord& r) -> std::int16_t& { return r.RunOnTop; }});
    keys.push_back({"StartDelay", +[](ConfigRecord& r) -> std::int16_t& { return r.StartDelay; }});
    keys.push_back({"StartMin", +[](ConfigRecord& r) -> std::int16_t& { return r.StartMin; }});
    keys.push_back({"ShutTime", +[](ConfigRecord& r) -> std::int16_t& { return r.ShutTime; }});
    keys.push_back({"ShutType", +[](ConfigRecord& r) -> std::int16_t& { return r.ShutType; }});
}

std::vector<ConfigKey> MasterKeys() {
    std::vector<ConfigKey> keys;
    keys.push_back({"DName", +[](ConfigRecord& r) -> std::int16_t& { return r.DName; }});
    keys.push_back({"CName0", &CNameAt<0>});
    keys.push_back({"CName1", &CNameAt<1>});
    keys.push_back({"CName2", &CNameAt<2>});
    keys.push_back({"CName3", &CNameAt<3>});
    keys.push_back({"CName4", &CNameAt<4>});
    keys.push_back({"IPAdd1", &IPAddAt<1>});
    keys.push_back({"IPAdd2", &IPAddAt<2>});
    keys.push_back({"IPAdd3", &IPAddAt<3>});
    keys.push_back({"IPAdd4", &IPAddAt<4>});
    AddCommonKeys(keys);
    return keys;
}

std::vector<ConfigKey> SlaveKeys() {
    std::vector<ConfigKey> keys;
    keys.push_back({"DName", +[](ConfigRecord& r) -> std::int16_t& { return r.DName; }});
    keys.push_back({"IPAdd", &IPAddAt<0>});
    AddCommonKeys(keys);
    return keys;
}

const std::vector<ConfigKey>& KeysOf(ProgramKind kind) {
    static const std::vector<ConfigKey> master = MasterKeys();
    static const std::vector<ConfigKey> slave = SlaveKeys();
    return kind == ProgramKind::Master ? master : slave;
}

// Only blanks are trimmed: a tab in front of a key keeps the line from matching.
std::string_view TrimSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

constexpr std::array<std::string_view, 3> SectionLines = {"[Comms]", "[Run]", "[Shutdown]"};

// Where each key and section line was first met (0 while not met), and how many such lines the
// file holds: the file must have each exactly once, though a repeat may stand in for a missing
// one. What goes wrong first is kept for the box.
struct Counters {
    explicit Counters(std::size_t keyCount) : keyLines(keyCount, 0) {}
    std::vector<std::int64_t> keyLines;
    std::array<std::int64_t, SectionLines.size()> sectionLines{};
    std::size_t keys = 0;
    std::size_t sections = 0;
    std::string firstKeyRepeat;
    std::string firstSectionRepeat;
};

void Count(std::int64_t& firstLine, std::int64_t line, std::string_view name, std::string_view what,
           std::string& repeat) {
    if (firstLine == 0) {
        firstLine = line;
    } else if (repeat.empty()) {
        repeat = std::string(name) + " (line " + std::to_string(line) + ") repeats the " + std::string(what) +
                 " of line " + std::to_string(firstLine);
    }
}

// Stores one value; false when a number does not fit its field.
bool Store(const ConfigKey& key, std::string_view value, ConfigRecord& record) {
    if (auto* text = std::get_if<TextField>(&key.field)) {
        (*text)(record) = std::string(value);
        return true;
    }
    if (auto* small = std::get_if<ShortField>(&key.field)) {
        const auto number = ToInt16(LeadingNumber(value));
        if (!number) return false;
        (*small)(record) = *number;
        return true;
    }
    const auto number = ToInt32(LeadingNumber(value));
    if (!number) return false;
    std::get<LongField>(key.field)(record) = *number;
    return true;
}

// One line with its line end removed; the fault when a value could not be stored.
std::optional<std::string> ProcessLine(std::string_view line, std::int64_t lineNumber, ProgramKind kind,
                                       ConfigRecord& record, std::string& configText, Counters& counters) {
    // A comment is recognised before trimming, so " # note" is an ordinary (unknown) line.
    if (line.empty() || line.front() == '#') return std::nullopt;
    const std::string_view trimmed = TrimSpaces(line);
    const std::vector<ConfigKey>& keys = KeysOf(kind);
    for (std::size_t k = 0; k < keys.size(); ++k) {
        const ConfigKey& key = keys[k];
        if (trimmed.size() <= key.name.size() || !trimmed.starts_with(key.name) ||
            trimmed[key.name.size()] != '=')
            continue;
        const std::string_view value = trimmed.substr(key.name.size() + 1);
        record.readFrom.insert_or_assign(std::string(key.name), KeySource{lineNumber, std::string(value)});
        if (!Store(key, value, record))
            return KeyAndLine(record, key.name) + " is far out of range; " + MustBeText(LimitsOf(key.name));
        ++counters.keys;
        Count(counters.keyLines[k], lineNumber, key.name, "key", counters.firstKeyRepeat);
    }
    for (std::size_t i = 0; i < SectionLines.size(); ++i) {
        if (trimmed != SectionLines[i]) continue;
        ++counters.sections;
        Count(counters.sectionLines[i], lineNumber, trimmed, "section", counters.firstSectionRepeat);
    }
    if (trimmed.starts_with('[')) configText += "\r\n";
    configText += "\r\n";
    // The value stays as read, but the log must not show a lone CR or an escape sequence raw: a
    // terminal would draw a forged line or obey it.
    configText += EscapeControlCharacters(trimmed);
    return std::nullopt;
}

// Why the keys and sections are not each there once; nothing when they are.
std::optional<std::string> LayoutFault(ProgramKind kind, const Counters& counters) {
    const std::vector<ConfigKey>& keys = KeysOf(kind);
    if (counters.keys < keys.size()) {
        for (std::size_t k = 0; k < keys.size(); ++k)
            if (counters.keyLines[k] == 0) return "The key " + std::string(keys[k].name) + " is missing";
    }
    if (counters.keys > keys.size()) return counters.firstKeyRepeat;
    if (counters.sections < SectionLines.size()) {
        for (std::size_t i = 0; i < SectionLines.size(); ++i)
            if (counters.sectionLines[i] == 0)
                return "The section line " + std::string(SectionLines[i]) + " is missing";
    }
    if (counters.sections > SectionLines.size()) return counters.firstSectionRepeat;
    return std::nullopt;
}

// Why nothing at the path can be read as the file.
std::string WhyNoFile(const std::filesystem::path& file) {
    const std::string name = file.string();
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(file, error);
    switch (status.type()) {
    case std::filesystem::file_type::not_found: {
        std::error_code linkError;
        if (std::filesystem::is_symlink(std::filesystem::symlink_status(file, linkError)))
            return name + " is a link to a file that does not exist";
        return name + " does not exist";
    }
    case std::filesystem::file_type::directory:
        return name + " is a folder, not a file";
    case std::filesystem::file_type::none:
    case std::filesystem::file_type::unknown:
        return name + " cannot be reached (" + error.message() + ")";
    default:
        return name + " is not a regular file";
    }
}

} // namespace

std::optional<FatalError> ReadConfiguration(const std::filesystem::path& file, ProgramKind kind,
                                            ConfigRecord& record, std::string& configText) {
    try {
        configText = "\r\nConfiguration\r\n-------------";
        record.readFrom.clear();
        std::error_code error;
        // A folder or a device in the file's place counts as no file: it would never read as one.
        if (!std::filesystem::is_regular_file(file, error))
            return WithFault(ConfigMissingBox(), WhyNoFile(file));

        std::ifstream in(file, std::ios::binary);
        if (!in)
            return WithFault(ConfigReadFailureBox(kind), file.string() + " cannot be opened for reading");
        const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (in.bad())
            return WithFault(ConfigReadFailureBox(kind), file.string() + " could not be read to its end");
        // The whole file decides its encoding: one stray byte means it was not written as UTF-8.
        const std::string text = StoredTextToUtf8(bytes);

        Counters counters(KeysOf(kind).size());
        std::int64_t lineNumber = 1;
        for (std::size_t start = 0; start < text.size(); ++lineNumber) {
            const std::size_t end = std::min(text.find('\n', start), text.size());
            std::string_view line(text.data() + start, end - start);
            if (line.ends_with('\r')) line.remove_suffix(1); // CR LF and LF both end a line
            if (auto fault = ProcessLine(line, lineNumber, kind, record, configText, counters))
                return WithFault(ConfigReadFailureBox(kind), std::move(*fault));
            start = end + 1;
        }
        if (auto fault = LayoutFault(kind, counters))
            return WithFault(ConfigCorruptedBox(), std::move(*fault));
        return std::nullopt;
    } catch (const std::exception&) {
        // out of memory on an absurdly large file
        return WithFault(ConfigReadFailureBox(kind), file.string() + " is too large to read");
    }
}

} // namespace tarnix
