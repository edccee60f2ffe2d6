// The layout of one log line: fixed columns so that a log can be read down the page.
#include "common/log/LogFile.h"

namespace tarnix {

namespace {

constexpr std::size_t ColumnWidth = 10;
constexpr std::size_t CounterWidth = 4;

// Pads with spaces or cuts, so every line keeps its columns whatever the word.
std::string Column(std::string text) {
    text.resize(ColumnWidth, ' ');
    return text;
}

// Right-aligned; a value wider than the field keeps its last characters rather than shifting
// the rest of the line.
std::string CounterField(std::int16_t counter) {
    const std::string text = std::string(CounterWidth - 1, ' ') + std::to_string(counter);
    return text.substr(text.size() - CounterWidth);
}

} // namespace

std::string MasterCommsText(const std::array<std::int16_t, RemoteComputerCount + 1>& peerStatus,
                            bool networkOK) {
    if (!networkOK) return "No Network";
    std::string text;
    for (std::size_t i = 1; i < peerStatus.size(); ++i) {
        if (i > 1) text += ", ";
        text += std::to_string(peerStatus[i]);
    }
    return text;
}

std::string FormatLogLine(const std::string& timeStamp, const std::string& event, const std::string& detail,
                          bool fullLevel, const LogLineState& state) {
    if (event.empty() && detail.empty()) return "\r\n";
    const std::string testRunMark = state.TestRun ? "*" : " ";
    std::string text = timeStamp + ", " + Column(testRunMark + event) + ", " + Column(detail);
    if (fullLevel) text += ", Count:" + CounterField(state.PhaseCounter) + ", Comms: " + state.CommsText;
    return text;
}

std::string FormatLogNote(const std::string& timeStamp, const std::string& event, const std::string& text) {
    return timeStamp + ", " + Column(" " + event) + ", " + text;
}

} // namespace tarnix
