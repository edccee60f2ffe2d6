#include "common/program/StatusReport.h"

#include "common/program/StatusFields.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

namespace tarnix {

namespace {

constexpr const char* NotConfigured = "---";

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            std::array<char, 8> escaped{};
            std::snprintf(escaped.data(), escaped.size(), "\\u%04x", byte);
            out += escaped.data();
        } else {
            out += c;
        }
    }
    return out + '"';
}

const char* JsonBool(bool value) {
    return value ? "true" : "false";
}

std::string Padded(const std::string& text, std::size_t width) {
    return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

} // namespace

std::string PhaseWord(SupervisionPhase phase) {
    switch (phase) {
    case PhaseRun:
        return "Run";
    case PhaseCountdown:
        return "Countdown";
    case PhaseActivation:
        break;
    }
    return "Activation";
}

std::optional<SupervisionPhase> PhaseFromWord(const std::string& word) {
    for (SupervisionPhase phase : {PhaseActivation, PhaseRun, PhaseCountdown})
        if (PhaseWord(phase) == word) return phase;
    return std::nullopt;
}

std::string ProgramWord(ProgramKind kind) {
    return kind == ProgramKind::Master ? "master" : "slave";
}

std::optional<ProgramKind> ProgramFromWord(const std::string& word) {
    for (ProgramKind kind : {ProgramKind::Master, ProgramKind::Slave})
        if (ProgramWord(kind) == word) return kind;
    return std::nullopt;
}

RemoteComputerRow RowOf(const RemoteComputerStatus& remote) {
    const std::string& computer = !remote.name.empty() ? remote.name : remote.address;
    if (!remote.configured || computer.empty()) return {NotConfigured, NotConfigured, NotConfigured};
    return {computer, remote.link ? LinkWord(*remote.link) : std::string(), remote.letter};
}

namespace {

std::string ValueText(const StatusValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) return *text;
    if (const auto* number = std::get_if<std::int32_t>(&value)) return std::to_string(*number);
    if (const auto* count = std::get_if<std::uint64_t>(&value)) return std::to_string(*count);
    return std::get<bool>(value) ? "yes" : "no";
}

bool IsSet(const StatusValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) return !text->empty();
    if (const auto* number = std::get_if<std::int32_t>(&value)) return *number != 0;
    if (const auto* count = std::get_if<std::uint64_t>(&value)) return *count != 0;
    return std::get<bool>(value);
}

std::string ValueJson(const StatusValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) return JsonString(*text);
    if (const auto* number = std::get_if<std::int32_t>(&value)) return std::to_string(*number);
    if (const auto* count = std::get_if<std::uint64_t>(&value)) return std::to_string(*count);
    return JsonBool(std::get<bool>(value));
}

// The report's label column is as wide as its longest label and two spaces.
constexpr std::size_t LabelWidth = 11;

std::string TextLine(const StatusField& field, const StatusValue& value) {
    switch (field.textForm) {
    case TextForm::Always:
        break;
    case TextForm::WhenSet:
        if (!IsSet(value)) return {};
        break;
    case TextForm::LabelWhenSet:
        return IsSet(value) ? std::string(field.textLabel) + "\n" : std::string();
    case TextForm::Never:
        return {};
    }
    return Padded(std::string(field.textLabel), LabelWidth) + ValueText(value) + "\n";
}

std::string ComputerTable(const ProgramStatus& s) {
    std::vector<std::array<std::string, 5>> table = {{"#", "Computer", "Address", "Status", "Action"}};
    for (std::size_t i = 0; i < s.remote.size(); ++i) {
        const RemoteComputerRow row = RowOf(s.remote[i]);
        const std::string address = s.remote[i].configured && !s.remote[i].address.empty()
                                        ? s.remote[i].address
                                        : std::string(NotConfigured);
        table.push_back({std::to_string(i + 1), row.computer, address, row.status, row.letter});
    }
    std::array<std::size_t, 5> widths{};
    for (const auto& line : table)
        for (std::size_t c = 0; c < line.size(); ++c)
            widths[c] = std::max(widths[c], line[c].size());
    std::string text = "\n";
    for (const auto& line : table) {
        std::string out;
        for (std::size_t c = 0; c < line.size(); ++c)
            out += c + 1 < line.size() ? Padded(line[c], widths[c] + 2) : line[c];
        text += out.substr(0, out.find_last_not_of(' ') + 1) + "\n";
    }
    for (std::size_t i = 0; i < s.remote.size(); ++i)
        if (!s.remote[i].lookupFailure.empty())
            text += "Computer " + std::to_string(i + 1) + ": " + s.remote[i].lookupFailure + "\n";
    return text;
}

} // namespace

std::string StatusReport::Text() const {
    std::vector<const StatusField*> fields;
    for (const StatusField& field : StatusFields())
        if (FieldOf(field, status_.kind)) fields.push_back(&field);
    std::sort(fields.begin(), fields.end(),
              [](const StatusField* a, const StatusField* b) { return a->textRank < b->textRank; });
    std::string text;
    for (const StatusField* field : fields)
        text += TextLine(*field, field->read(status_));
    if (status_.kind == ProgramKind::Master) text += ComputerTable(status_);
    return text;
}

std::string StatusReport::Json() const {
    std::string json;
    for (const StatusField& field : StatusFields())
        if (FieldOf(field, status_.kind) && !field.jsonName.empty())
            json += (json.empty() ? "{" : ",") + JsonString(std::string(field.jsonName)) + ":" +
                    ValueJson(field.read(status_));
    if (status_.kind == ProgramKind::Master) {
        json += ",\"remoteComputers\":[";
        for (std::size_t i = 0; i < status_.remote.size(); ++i) {
            std::string entry;
            for (const RemoteComputerField& field : RemoteComputerFields())
                entry += (entry.empty() ? "{" : ",") + JsonString(std::string(field.jsonName)) + ":" +
                         ValueJson(field.read(status_.remote[i]));
            json += (i > 0 ? "," : "") + entry + "}";
        }
        json += ']';
    }
    return json + '}';
}

} // namespace tarnix
