#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/base/TextEncoding.h"
#include "common/config/ConfigBoxes.h"
#include "common/config/ConfigFaults.h"
#include "common/config/ConfigFile.h"
#include "common/config/ConfigSchema.h"

namespace tarnix {
namespace {

// Only blanks are trimmed: a tab in front of a key keeps the line from matching.
std::string_view TrimSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

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

// One line with its line end removed; the fault when a value could not be stored.
std::optional<std::string> ProcessLine(std::string_view line, std::int64_t lineNumber, ProgramKind kind,
                                       ConfigRecord& record, std::string& configText, Counters& counters) {
    // A comment is recognised before trimming, so " # note" is an ordinary (unknown) line.
    if (line.empty() || line.front() == '#') return std::nullopt;
    const std::string_view trimmed = TrimSpaces(line);
    const std::vector<const ConfigField*>& keys = FieldsOf(kind);
    for (std::size_t k = 0; k < keys.size(); ++k) {
        const ConfigField& key = *keys[k];
        if (trimmed.size() <= key.key.size() || !trimmed.starts_with(key.key) ||
            trimmed[key.key.size()] != '=')
            continue;
        const std::string_view value = trimmed.substr(key.key.size() + 1);
        record.readFrom.insert_or_assign(std::string(key.key), KeySource{lineNumber, std::string(value)});
        if (!StoreValue(key, value, record))
            return KeyAndLine(record, key.key) + " is far out of range; " + MustBeText(LimitsOf(key.key));
        ++counters.keys;
        Count(counters.keyLines[k], lineNumber, key.key, "key", counters.firstKeyRepeat);
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
    const std::vector<const ConfigField*>& keys = FieldsOf(kind);
    if (counters.keys < keys.size()) {
        for (std::size_t k = 0; k < keys.size(); ++k)
            if (counters.keyLines[k] == 0) return "The key " + std::string(keys[k]->key) + " is missing";
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

        Counters counters(FieldsOf(kind).size());
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
