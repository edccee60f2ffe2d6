#include "common/program/StatusReport.h"

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
    return {computer, remote.status, remote.letter};
}

std::string StatusReport::Text() const {
    const ProgramStatus& s = status_;
    std::string text = "Program    " + ProgramWord(s.kind) + "\n";
    text += "Phase      " + PhaseWord(s.phase) + "\n";
    text += "Count      " + std::to_string(s.count) + "\n";
    text += "Action     " + s.action + "\n";
    text += "Time left  " + std::to_string(s.timeLeft) + "\n";
    if (s.testRun) text += "Test run   yes\n";
    if (s.unconfigured) text += "Not configured\n";
    if (!s.masterLookupFailure.empty()) text += "Master     " + s.masterLookupFailure + "\n";
    if (s.kind != ProgramKind::Master) return text;

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
    text += "\n";
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

std::string StatusReport::Json() const {
    const ProgramStatus& s = status_;
    std::string json = "{\"program\":" + JsonString(ProgramWord(s.kind));
    json += ",\"phase\":" + JsonString(PhaseWord(s.phase));
    json += ",\"count\":" + std::to_string(s.count);
    json += ",\"timeLeft\":" + std::to_string(s.timeLeft);
    json += ",\"action\":" + JsonString(s.action);
    json += std::string(",\"testRun\":") + JsonBool(s.testRun);
    json += std::string(",\"unconfigured\":") + JsonBool(s.unconfigured);
    if (s.kind == ProgramKind::Slave) json += ",\"lookupFailure\":" + JsonString(s.masterLookupFailure);
    if (s.kind == ProgramKind::Master) {
        json += ",\"remoteComputers\":[";
        for (std::size_t i = 0; i < s.remote.size(); ++i) {
            const RemoteComputerStatus& r = s.remote[i];
            if (i > 0) json += ',';
            json += std::string("{\"configured\":") + JsonBool(r.configured);
            json += ",\"name\":" + JsonString(r.name) + ",\"address\":" + JsonString(r.address);
            json += ",\"status\":" + JsonString(r.status) + ",\"letter\":" + JsonString(r.letter);
            json += ",\"lookupFailure\":" + JsonString(r.lookupFailure) + '}';
        }
        json += ']';
    }
    return json + '}';
}

} // namespace tarnix
