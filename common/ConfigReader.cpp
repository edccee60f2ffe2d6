#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "common/ConfigBoxes.h"
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

bool IsSectionLine(std::string_view line) {
    return line == "[Comms]" || line == "[Run]" || line == "[Shutdown]";
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

struct Counters {
    std::int64_t keys = 0;
    std::int64_t sections = 3;
};

// One line with its line end removed. False when a value could not be stored.
bool ProcessLine(std::string_view line, ProgramKind kind, ConfigRecord& record, std::string& configText,
                 Counters& counters) {
    // A comment is recognised before trimming, so " # note" is an ordinary (unknown) line.
    if (line.empty() || line.front() == '#') return true;
    const std::string_view trimmed = TrimSpaces(line);
    for (const ConfigKey& key : KeysOf(kind)) {
        if (trimmed.size() <= key.name.size() || !trimmed.starts_with(key.name) ||
            trimmed[key.name.size()] != '=')
            continue;
        if (!Store(key, trimmed.substr(key.name.size() + 1), record)) return false;
        --counters.keys;
    }
    if (IsSectionLine(trimmed)) --counters.sections;
    if (trimmed.starts_with('[')) configText += "\r\n";
    configText += "\r\n";
    configText += trimmed;
    return true;
}

} // namespace

std::optional<FatalError> ReadConfiguration(const std::filesystem::path& file, ProgramKind kind,
                                            ConfigRecord& record, std::string& configText) {
    try {
        configText = "\r\nConfiguration\r\n-------------";
        std::error_code error;
        // A folder or a device in the file's place counts as no file: it would never read as one.
        if (!std::filesystem::is_regular_file(file, error)) return ConfigMissingBox();

        std::ifstream in(file, std::ios::binary);
        if (!in) return ConfigReadFailureBox(kind);
        const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (in.bad()) return ConfigReadFailureBox(kind);
        // The whole file decides its encoding: one stray byte means it was not written as UTF-8.
        const std::string text = StoredTextToUtf8(bytes);

        Counters counters{static_cast<std::int64_t>(KeysOf(kind).size()), 3};
        for (std::size_t start = 0; start < text.size();) {
            const std::size_t end = std::min(text.find('\n', start), text.size());
            std::string_view line(text.data() + start, end - start);
            if (line.ends_with('\r')) line.remove_suffix(1); // CR LF and LF both end a line
            if (!ProcessLine(line, kind, record, configText, counters)) return ConfigReadFailureBox(kind);
            start = end + 1;
        }
        if (counters.keys != 0 || counters.sections != 0) return ConfigCorruptedBox();
        return std::nullopt;
    } catch (const std::exception&) {
        return ConfigReadFailureBox(kind); // out of memory on an absurdly large file
    }
}

} // namespace tarnix
